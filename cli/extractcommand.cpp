// glyphora-cli extract FILE -o OUTPUT.ico: every icon group of an .exe/.dll as its own
// .ico file, OUTPUT_0.ico, OUTPUT_1.ico, ... (OUTPUT.ico itself for a single group).

#include <QFileInfo>

#include <cstdio>

#include "clicommand.h"
#include "ico/icoassembly.h"

namespace Cli {

QString extractUsage()
{
    return QStringLiteral(
        "Usage: glyphora-cli extract FILE -o OUTPUT.ico\n"
        "  Writes every icon group of an .exe or .dll as an .ico file, the images copied\n"
        "  byte for byte.  One group goes to OUTPUT.ico itself; several go to OUTPUT_0.ico,\n"
        "  OUTPUT_1.ico, ... (OUTPUT cut before its last \".\").  Each file is replaced only\n"
        "  when it was written whole.\n"
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
    QString reason;
    if (!exportFileGroupsAsIco(input, output, &reason)) {
        printError(QStringLiteral("extract: %1: %2").arg(input, reason));
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace Cli
