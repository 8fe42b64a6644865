// glyphora-cli png FILE --group ROW|NAME --out-dir DIR [--name NAME]: the images of one
// listed icon group as PNG files, named as the Extract tab's "Export Icon to PNG" dialog
// names them.

#include <QHash>

#include "clicommand.h"
#include "ico/exportnames.h"
#include "render/pngexport.h"
#include "stagedfolder.h"

namespace Cli {

namespace {

// What --group names: a row (digits alone), a group's integer name ("#768") or its
// string name (anything else).
struct GroupChoice
{
    int row = -1;
    std::optional<IconResourceName> name;
};

bool allDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

std::optional<GroupChoice> parseGroup(const QString& text)
{
    GroupChoice choice;
    bool ok = false;
    if (allDigits(text)) {
        choice.row = text.toInt(&ok);
        return ok ? std::optional<GroupChoice>(choice) : std::nullopt;
    }
    if (text.startsWith(QLatin1Char('#'))) {
        const uint id = text.mid(1).toUInt(&ok);
        if (!allDigits(text.mid(1)) || !ok || id > 0xFFFF)
            return std::nullopt;
        choice.name = IconResourceName::fromId(quint16(id));
        return choice;
    }
    if (text.isEmpty())
        return std::nullopt;
    choice.name = IconResourceName::fromString(text);
    return choice;
}

// The row of the group of that name, -1 when none has it.  String names are matched
// without regard to case, as the loader finds them.
int rowNamed(const QList<IconGroupRecord>& records, const IconResourceName& name)
{
    for (int row = 0; row < records.size(); ++row) {
        const auto& own = records.at(row).name;
        if (!own || own->isId != name.isId)
            continue;
        if (name.isId ? own->id == name.id : own->name.compare(name.name, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

} // namespace

QString pngUsage()
{
    return QStringLiteral(
        "Usage: glyphora-cli png FILE --group ROW|NAME --out-dir DIR [--name NAME]\n"
        "  Writes every image of one icon group of an .exe, .dll or .ico (ROW as\n"
        "  'glyphora-cli list FILE' numbers the groups, or the group's resource name as\n"
        "  it lists them: '#768' for the number 768, MAINICON for a string) as a PNG\n"
        "  file in DIR, named NAME_WxW_Dbits.png (W the width, D the bits per pixel),\n"
        "  as the Extract tab's export to PNG names them.  Two images that would get\n"
        "  the same name are an error, and then nothing is written.  The files are\n"
        "  written into a hidden folder in DIR first and take their names only when all\n"
        "  were written, so a run that fails leaves DIR as it was.\n"
        "  --group ROW|NAME   the group's row, from 0, or its name: #NUMBER or a string\n"
        "                     (any case)\n"
        "  --out-dir DIR      the folder of the PNG files (made when missing)\n"
        "  --name NAME        the start of each file name (default: the group's id)\n"
        "  -q, --quiet        print no log lines\n"
        "  --verbose          print the debug lines too\n");
}

int runPng(const QStringList& args)
{
    const QCommandLineOption groupOption(QStringLiteral("group"), QString(), QStringLiteral("ROW"));
    const QCommandLineOption outDirOption(QStringLiteral("out-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption nameOption(QStringLiteral("name"), QString(), QStringLiteral("NAME"));
    QCommandLineParser parser;
    if (const auto status = parseCommand(QStringLiteral("png"), args, pngUsage(),
                                         {groupOption, outDirOption, nameOption}, parser))
        return *status;
    QString input;
    if (const auto status = takeOneFile(QStringLiteral("png"), parser, input))
        return *status;
    for (const QCommandLineOption* option : {&groupOption, &outDirOption, &nameOption}) {
        if (parser.values(*option).size() > 1)
            return usageError(QStringLiteral("png: --%1 given more than once").arg(option->names().constFirst()));
    }
    const auto group = parseGroup(parser.value(groupOption));
    if (!parser.isSet(groupOption) || !group)
        return usageError(QStringLiteral("png: --group needs a row number from 0 or a group's name (#NUMBER, or a string)"));
    const QString outDir = parser.value(outDirOption);
    if (outDir.isEmpty())
        return usageError(QStringLiteral("png: no folder given (--out-dir DIR)"));
    // The name starts a file name in DIR: a path would write somewhere else.
    const QString givenName = parser.value(nameOption);
    if (givenName.contains(QLatin1Char('/')) || givenName.contains(QLatin1Char('\\')))
        return usageError(QStringLiteral("png: --name '%1' is a path, not a name").arg(givenName));

    QList<IconGroupRecord> records;
    if (const auto status = loadGroups(QStringLiteral("png"), input, records))
        return *status;
    int row = group->row;
    if (group->name) {
        row = rowNamed(records, *group->name);
        if (row < 0) {
            printError(QStringLiteral("png: %1: no group named %2").arg(input, parser.value(groupOption)));
            return kExitFailed;
        }
    } else if (row >= records.size()) {
        // A number that is no row may be meant as a name, as list shows it beside the row.
        const int named = rowNamed(records, IconResourceName::fromId(quint16(std::min(row, 0xFFFF))));
        const QString hint = row <= 0xFFFF && named >= 0
            ? QStringLiteral("; the group named %1 is --group '#%1'").arg(row)
            : QString();
        printError(QStringLiteral("png: %1: no group at row %2 (%3 groups)%4")
                       .arg(input)
                       .arg(row)
                       .arg(records.size())
                       .arg(hint));
        return kExitFailed;
    }
    const IconGroupRecord& record = records.at(row);
    if (record.id < 0 || record.entries.isEmpty()) {
        printError(QStringLiteral("png: %1: the group at row %2 holds no image").arg(input).arg(row));
        return kExitFailed;
    }
    const QString name = parser.isSet(nameOption) ? givenName : QString::number(record.id);

    // The dialog lists the images last first and writes them from the top, so a later
    // image of the same size and depth would replace an earlier one: refuse that here.
    QStringList names;
    QHash<QString, int> seen;
    for (int i = record.entries.size() - 1; i >= 0; --i) {
        const IconImageEntry& entry = record.entries.at(i);
        const QString file = ExportNames::groupPngFileName(name, entry.width, entry.depth);
        if (seen.contains(file)) {
            printError(QStringLiteral("png: %1: images %2 and %3 of row %4 would both be written to %5; nothing "
                                      "written")
                           .arg(input)
                           .arg(i)
                           .arg(seen.value(file))
                           .arg(row)
                           .arg(file));
            return kExitFailed;
        }
        seen.insert(file, i);
        names.append(file);
    }
    StagedFolder staged(outDir);
    if (const QString reason = staged.open(StagedFolder::Missing::Make); !reason.isEmpty()) {
        printError(QStringLiteral("png: %1: %2").arg(outDir, reason));
        return kExitFailed;
    }
    for (int i = record.entries.size() - 1, n = 0; i >= 0; --i, ++n) {
        // The set is kept from the folder after one failure: one line says why.
        const QString reason = PngExport::savePng(record.entries.at(i).image, staged.stagedPath(names.at(n)));
        if (!reason.isEmpty()) {
            printError(QStringLiteral("png: cannot write %1: %2; nothing written").arg(staged.finalPath(names.at(n)), reason));
            return kExitFailed;
        }
    }
    if (const QString reason = staged.commit(names); !reason.isEmpty()) {
        printError(QStringLiteral("png: %1").arg(reason));
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace Cli
