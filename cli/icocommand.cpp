// glyphora-cli ico INPUT -o OUTPUT.ico: the source-file road of the Create tab, without
// its message box.

#include <cstdio>

#include "clicommand.h"
#include "ico/icoencoder.h"
#include "picture/picturetypes.h"

namespace Cli {

QString icoUsage()
{
    return QStringLiteral(
        "Usage: glyphora-cli ico INPUT -o OUTPUT.ico\n"
        "  Writes a Windows icon with the sizes 16, 24, 32, 48, 64, 128 (32-bit bitmaps)\n"
        "  and 256 (PNG).  An SVG INPUT is drawn afresh at every size; any other picture\n"
        "  is fitted into 256 x 256 and scaled down from there.  An existing OUTPUT is\n"
        "  replaced only when the whole icon was written.\n"
        "  INPUT: %1,\n"
        "  or another picture that a Qt image reader here decodes (bmp, ...).\n"
        "  -o, --output FILE  the icon file to write\n"
        "  -q, --quiet        print no log lines\n")
        .arg(PictureTypes::sourceSuffixes().join(QLatin1String(", ")));
}

int runIco(const QStringList& args)
{
    FileAndOutput parsed;
    if (const auto status = parseFileAndOutput(QStringLiteral("ico"), args, icoUsage(), parsed))
        return *status;
    const QString& input = parsed.file;
    const QString& output = parsed.output;

    QString reason;
    if (!IcoEncoder::writeIcoFromSourceFile(input, output, &reason)) {
        printError(QStringLiteral("%1: %2").arg(input, reason));
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace Cli
