// glyphora-cli extract FILE -o OUTPUT.ico: every icon group of an .exe/.dll as its own
// .ico file, OUTPUT_0.ico, OUTPUT_1.ico, ... (OUTPUT.ico itself for a single group).

#include <QFileInfo>

#include <cstdio>

#include "clicommand.h"
#include "ico/icoassembly.h"
#include "stagedfolder.h"

namespace Cli {

QString extractUsage()
{
    return QStringLiteral(
        "Usage: glyphora-cli extract FILE -o OUTPUT.ico\n"
        "  Writes every icon group of an .exe or .dll as an .ico file, the images copied\n"
        "  byte for byte.  One group goes to OUTPUT.ico itself; several go to OUTPUT_0.ico,\n"
        "  OUTPUT_1.ico, ... (OUTPUT cut before its last \".\").  The files are written\n"
        "  into a hidden folder beside OUTPUT first and take their names only when all\n"
        "  were written, so a run that fails writes nothing and replaces no file.\n"
        "  -o, --output FILE  the icon file to write\n"
        "  -q, --quiet        print no log lines\n"
        "  --verbose          print the debug lines too\n");
}

int runExtract(const QStringList& args)
{
    FileAndOutput parsed;
    if (const auto status = parseFileAndOutput(QStringLiteral("extract"), args, extractUsage(), parsed))
        return *status;
    const QString& input = parsed.file;
    const QString& output = parsed.output;
    if (!QFileInfo(input).isFile()) {
        printError(QStringLiteral("extract: %1: no such file").arg(input));
        return kExitFailed;
    }
    const QFileInfo target(output);
    StagedFolder staged(target.path());
    if (const QString reason = staged.open(StagedFolder::Missing::Fail); !reason.isEmpty()) {
        printError(QStringLiteral("extract: %1: %2").arg(target.path(), reason));
        return kExitFailed;
    }
    const IcoAssembly::ExportResult result =
        IcoAssembly::exportFileGroups(input, output, staged.stagingFolder());
    if (!result.error.isEmpty()) {
        printError(QStringLiteral("extract: %1: %2").arg(input, result.error));
        return kExitFailed;
    }
    const QList<IcoAssembly::FileResult> failures = result.failures();
    for (const IcoAssembly::FileResult& file : failures)
        printError(QStringLiteral("extract: %1: %2: %3").arg(input, file.path, file.error));
    if (!failures.isEmpty()) {
        if (result.files.size() > 1) {
            printError(QStringLiteral("extract: %1: %2 of %3 icon files failed; nothing written")
                           .arg(input)
                           .arg(failures.size())
                           .arg(result.files.size()));
        }
        return kExitFailed;
    }
    QStringList names;
    for (const IcoAssembly::FileResult& file : result.files)
        names.append(QFileInfo(file.path).fileName());
    if (const QString reason = staged.commit(names); !reason.isEmpty()) {
        printError(QStringLiteral("extract: %1").arg(reason));
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace Cli
