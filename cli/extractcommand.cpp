// glyphora-cli extract FILE -o OUTPUT.ico: every icon group of an .exe/.dll as its own
// .ico file, named as the Extract tab's export names them.

#include <QFileInfo>

#include <cstdio>

#include "clicommand.h"
#include "icoassembly.h"

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
        "  -q, --quiet        print no log lines\n");
}

int runExtract(const QStringList& args)
{
    QString input;
    QString output;
    bool outputGiven = false;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            if (arg == QLatin1String("--")) {
                optionsEnded = true;
            } else if (arg == QLatin1String("-o") || arg == QLatin1String("--output")) {
                if (i + 1 >= args.size())
                    return usageError(QStringLiteral("extract: %1 needs a file name").arg(arg));
                if (outputGiven)
                    return usageError(QStringLiteral("extract: more than one output given"));
                output = args.at(++i);
                outputGiven = true;
            } else if (arg.startsWith(QLatin1String("--output="))) {
                if (outputGiven)
                    return usageError(QStringLiteral("extract: more than one output given"));
                output = arg.mid(int(qstrlen("--output=")));
                outputGiven = true;
            } else if (arg == QLatin1String("-q") || arg == QLatin1String("--quiet")) {
                setQuiet(true);
            } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
                std::fputs(qPrintable(extractUsage()), stdout);
                return kExitOk;
            } else {
                return usageError(QStringLiteral("extract: unknown option '%1'").arg(arg));
            }
            continue;
        }
        if (!input.isEmpty())
            return usageError(QStringLiteral("extract: more than one file given ('%1')").arg(arg));
        input = arg;
    }
    if (input.isEmpty())
        return usageError(QStringLiteral("extract: no file given"));
    if (!outputGiven || output.isEmpty())
        return usageError(QStringLiteral("extract: no output given (-o OUTPUT.ico)"));
    if (!QFileInfo(input).isFile()) {
        printError(QStringLiteral("extract: %1: no such file").arg(input));
        return kExitFailed;
    }
    if (!exportFileGroupsAsIco(input, output)) {
        printError(QStringLiteral("extract: %1: not every icon group could be written").arg(input));
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace Cli
