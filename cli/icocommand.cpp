// glyphora-cli ico INPUT -o OUTPUT.ico: the source-file road of the Create tab, without
// its message box.

#include <cstdio>

#include "clicommand.h"
#include "icoencoder.h"

namespace Cli {

QString icoUsage()
{
    return QStringLiteral(
        "Usage: glyphora-cli ico INPUT -o OUTPUT.ico\n"
        "  Writes a Windows icon with the sizes 16, 24, 32, 48, 64, 128 (32-bit bitmaps)\n"
        "  and 256 (PNG).  An SVG INPUT is drawn afresh at every size; any other picture\n"
        "  is fitted into 256 x 256 and scaled down from there.  An existing OUTPUT is\n"
        "  replaced only when the whole icon was written.\n"
        "  -o, --output FILE  the icon file to write\n"
        "  -q, --quiet        print no log lines\n");
}

int runIco(const QStringList& args)
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
                    return usageError(QStringLiteral("ico: %1 needs a file name").arg(arg));
                if (outputGiven)
                    return usageError(QStringLiteral("ico: more than one output given"));
                output = args.at(++i);
                outputGiven = true;
            } else if (arg.startsWith(QLatin1String("--output="))) {
                if (outputGiven)
                    return usageError(QStringLiteral("ico: more than one output given"));
                output = arg.mid(int(qstrlen("--output=")));
                outputGiven = true;
            } else if (arg == QLatin1String("-q") || arg == QLatin1String("--quiet")) {
                setQuiet(true);
            } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
                std::fputs(qPrintable(icoUsage()), stdout);
                return kExitOk;
            } else {
                return usageError(QStringLiteral("ico: unknown option '%1'").arg(arg));
            }
            continue;
        }
        if (!input.isEmpty())
            return usageError(QStringLiteral("ico: more than one input given ('%1')").arg(arg));
        input = arg;
    }
    if (input.isEmpty())
        return usageError(QStringLiteral("ico: no INPUT given"));
    if (!outputGiven || output.isEmpty())
        return usageError(QStringLiteral("ico: no output given (-o OUTPUT.ico)"));

    QString reason;
    if (!IcoEncoder::writeIcoFromSourceFile(input, output, &reason)) {
        printError(QStringLiteral("%1: %2").arg(input, reason));
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace Cli
