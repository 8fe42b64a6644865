// glyphora-cli list FILE [--json]: the icon groups of an .exe/.dll (through the program's
// own PE reader) or of an .ico file, every image of every group decoded.

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

#include "clicommand.h"
#include "ico/iconlisting.h"

namespace Cli {

QString listUsage()
{
    return QStringLiteral(
        "Usage: glyphora-cli list FILE [--json]\n"
        "  Lists the icon groups of an .exe or .dll (its own resources, read without the\n"
        "  system loader) or of an .ico file: one line per group with its row, its id (the\n"
        "  Extract tab's: an RT_ICON ID of the group), its own resource name (a number,\n"
        "  or a string in quotes; as wrestool --name takes it) and each image's width x\n"
        "  height and bits per pixel.\n"
        "  --json             one JSON document instead:\n"
        "                     {\"file\": ..., \"groups\": [{\"row\": ..., \"id\": ...,\n"
        "                      \"name\": number, string or null (an .ico file),\n"
        "                      \"entries\": [{\"width\": ..., \"height\": ..., \"depth\": ...}]}]}\n"
        "  -q, --quiet        print no log lines\n"
        "  --verbose          print the debug lines too\n");
}

namespace {

bool isIcoFile(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("ico"), Qt::CaseInsensitive) == 0;
}

QJsonValue nameValue(const IconGroupRecord& record)
{
    if (!record.name)
        return QJsonValue(QJsonValue::Null);
    return record.name->isId ? QJsonValue(int(record.name->id)) : QJsonValue(record.name->name);
}

QJsonDocument toJson(const QString& file, const QList<IconGroupRecord>& records)
{
    QJsonArray groups;
    for (int row = 0; row < records.size(); ++row) {
        const IconGroupRecord& record = records.at(row);
        QJsonArray entries;
        for (const IconImageEntry& entry : record.entries) {
            entries.append(QJsonObject{{"width", entry.width},
                                       {"height", entry.image.height()},
                                       {"depth", entry.depth}});
        }
        groups.append(QJsonObject{{"row", row}, {"id", record.id}, {"name", nameValue(record)}, {"entries", entries}});
    }
    return QJsonDocument(QJsonObject{{"file", file}, {"groups", groups}});
}

// A string name in quotes, its quotes, backslashes and control characters escaped: a
// name is any UTF-16 a file holds, and a line break in it would split its group's line.
QString quoted(const QString& name)
{
    QString text(QLatin1Char('"'));
    for (const QChar c : name) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            text += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            text += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            text += c;
    }
    return text + QLatin1Char('"');
}

QString toText(const QList<IconGroupRecord>& records)
{
    QString text;
    QTextStream out(&text);
    for (int row = 0; row < records.size(); ++row) {
        const IconGroupRecord& record = records.at(row);
        out << "row " << row << ", id " << record.id;
        if (record.name)
            out << ", name " << (record.name->isId ? QString::number(record.name->id) : quoted(record.name->name));
        out << ":";
        if (record.entries.isEmpty())
            out << " no images";
        for (int i = 0; i < record.entries.size(); ++i) {
            const IconImageEntry& entry = record.entries.at(i);
            out << (i ? ", " : " ") << entry.width << "x" << entry.image.height() << " "
                << entry.depth << "-bit";
        }
        out << "\n";
    }
    return text;
}

} // namespace

std::optional<int> loadGroups(const QString& command, const QString& input, QList<IconGroupRecord>& records)
{
    if (!QFileInfo(input).isFile()) {
        printError(QStringLiteral("%1: %2: no such file").arg(command, input));
        return kExitFailed;
    }
    if (isIcoFile(input)) {
        if (!IconListing::loadIcoFile(input, records)) {
            printError(QStringLiteral("%1: %2: cannot be opened").arg(command, input));
            return kExitFailed;
        }
        if (records.isEmpty() || records.first().entries.isEmpty()) {
            printError(QStringLiteral("%1: %2: no icon image could be read").arg(command, input));
            return kExitFailed;
        }
    } else if (!IconListing::listFileIcons(input, records)) {
        printError(QStringLiteral("%1: %2: not a readable executable or library").arg(command, input));
        return kExitFailed;
    }
    return std::nullopt;
}

int runList(const QStringList& args)
{
    const QCommandLineOption jsonOption(QStringLiteral("json"));
    QCommandLineParser parser;
    if (const auto status = parseCommand(QStringLiteral("list"), args, listUsage(), {jsonOption}, parser))
        return *status;
    QString input;
    if (const auto status = takeOneFile(QStringLiteral("list"), parser, input))
        return *status;
    const bool json = parser.isSet(jsonOption);
    QList<IconGroupRecord> records;
    if (const auto status = loadGroups(QStringLiteral("list"), input, records))
        return *status;

    // A file without icons is read as it is, not a failure; the text says so rather than
    // print nothing.
    const QByteArray out = json              ? toJson(input, records).toJson(QJsonDocument::Indented)
        : records.isEmpty()                  ? QByteArrayLiteral("no icon groups\n")
                                             : toText(records).toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return kExitOk;
}

} // namespace Cli
