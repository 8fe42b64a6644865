// --sizes LIST of ico and compose: comma-separated sizes, or the name of a set.

#include "clicommand.h"
#include "ico/icoencoder.h"

namespace Cli {

namespace {

struct SizeSet
{
    const char* name;
    QList<int> sizes;
};

// "default" is no list of its own: each road keeps the sizes it always wrote.
const SizeSet kSizeSets[] = {
    // Every size the Windows 11 shell asks for, from the 100 % to the 400 % scale factor
    // (title bar, taskbar, Start, Explorer views); a missing one is scaled from the next
    // larger and goes soft.
    {"dpi", {16, 20, 24, 30, 32, 36, 40, 48, 60, 64, 72, 80, 96, 256}},
    {"minimal", {16, 32, 48, 256}},
};

} // namespace

QString sizeSetNames()
{
    QStringList names{QStringLiteral("default")};
    for (const SizeSet& set : kSizeSets)
        names << QLatin1String(set.name);
    return names.join(QLatin1String(", "));
}

std::optional<int> parseSizes(const QString& command, const QStringList& values, const QList<int>& defaultSizes,
                              QList<int>& sizes)
{
    sizes.clear();
    if (values.isEmpty()) {
        sizes = defaultSizes;
        return std::nullopt;
    }
    // Given more than once, the lists add up, as they always have.
    const QString text = values.join(QLatin1Char(',')).trimmed();
    if (text == QLatin1String("default")) {
        sizes = defaultSizes;
        return std::nullopt;
    }
    for (const SizeSet& set : kSizeSets) {
        if (text == QLatin1String(set.name)) {
            sizes = set.sizes;
            return std::nullopt;
        }
    }
    for (const QString& word : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int size = word.trimmed().toInt(&ok);
        if (!ok || size < 1 || size > IcoEncoder::kMaxIconSide) {
            sizes.clear();
            return usageError(QStringLiteral("%1: '%2' is not a size from 1 to %3 or a size set (%4)")
                                  .arg(command, word, QString::number(IcoEncoder::kMaxIconSide), sizeSetNames()));
        }
        if (!sizes.contains(size))
            sizes.append(size);
    }
    return std::nullopt;
}

} // namespace Cli
