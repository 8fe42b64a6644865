// glyphora-cli compose DOC.glyphora -o OUT.ico | --png-dir DIR [--sizes LIST]: a saved
// composition rendered as the edit page's "Go" writes it.

#include "clicommand.h"
#include "ico/exportnames.h"
#include "ico/icoencoder.h"
#include "render/composition.h"
#include "render/compositiondocument.h"
#include "render/iconrenderer.h"
#include "render/pngexport.h"
#include "stagedfolder.h"

namespace Cli {

QString composeUsage()
{
    return QStringLiteral(
        "Usage: glyphora-cli compose DOC.glyphora -o OUTPUT.ico [--sizes LIST]\n"
        "       glyphora-cli compose DOC.glyphora --png-dir DIR [--sizes LIST]\n"
        "  Renders a composition saved by the Create tab (\"Save Composition...\"): the\n"
        "  container, background, effects, image objects and badge, at the canvas size the\n"
        "  document names.  With -o the icon is written as \"Go\" writes it for Windows:\n"
        "  16, 24, 32, 48, 64, 128 (32-bit bitmaps), 256 and, from the 512 and 1024 canvas,\n"
        "  512 and 1024 (PNG); --sizes chooses others (below 256 bitmaps, from 256 PNG).\n"
        "  With --png-dir one PNG file per size, NxN.png, the render scaled smoothly;\n"
        "  they are written into a hidden folder in DIR first and take their names only\n"
        "  when all were written, so a run that fails leaves DIR as it was.\n"
        "  Pictures are found relative to the document; they must be files of this\n"
        "  machine.  A document of more than %2 objects, or whose display images or\n"
        "  decoded pictures would pass %3 MB, is refused before any decoding.  The same\n"
        "  document and options give the same bytes.\n"
        "  -o, --output FILE  the icon file to write\n"
        "  --png-dir DIR      the folder of the PNG files (made when missing)\n"
        "  --sizes LIST       the sizes, comma-separated, 1 to %1, or a set as ico has\n"
        "                     them (%4); default for --png-dir: 16, 32, 48, 256\n"
        "  -q, --quiet        print no log lines\n"
        "  --verbose          print the debug lines too\n")
        .arg(IcoEncoder::kMaxIconSide)
        .arg(CompositionDocument::kMaxObjects)
        .arg((CompositionDocument::kMaxDisplayPixels * 4) >> 20)
        .arg(sizeSetNames());
}

int runCompose(const QStringList& args)
{
    const QCommandLineOption outputOption(QStringList{QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                          QStringLiteral("FILE"));
    const QCommandLineOption pngDirOption(QStringLiteral("png-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption sizesOption(QStringLiteral("sizes"), QString(), QStringLiteral("LIST"));
    QCommandLineParser parser;
    if (const auto status = parseCommand(QStringLiteral("compose"), args, composeUsage(),
                                         {outputOption, pngDirOption, sizesOption}, parser))
        return *status;
    QString input;
    if (const auto status = takeOneFile(QStringLiteral("compose"), parser, input))
        return *status;
    const QStringList outputs = parser.values(outputOption);
    const QStringList pngDirs = parser.values(pngDirOption);
    if (outputs.size() + pngDirs.size() != 1)
        return usageError(QStringLiteral("compose: give one of -o OUTPUT.ico and --png-dir DIR"));
    const QString output = outputs.isEmpty() ? QString() : outputs.constFirst();
    const QString pngDir = pngDirs.isEmpty() ? QString() : pngDirs.constFirst();
    if (outputs.size() == 1 && output.isEmpty())
        return usageError(QStringLiteral("compose: no output given (-o OUTPUT.ico)"));
    if (pngDirs.size() == 1 && pngDir.isEmpty())
        return usageError(QStringLiteral("compose: no folder given (--png-dir DIR)"));
    // For the icon an empty list leaves the sizes to the encoder, as "Go" has them.
    const QList<int> defaultSizes = pngDir.isEmpty() ? QList<int>() : QList<int>{16, 32, 48, 256};
    QList<int> sizes;
    if (const auto status = parseSizes(QStringLiteral("compose"), parser.values(sizesOption), defaultSizes, sizes))
        return *status;

    CompositionDocument document;
    QString error;
    if (!document.load(input, &error)) {
        printError(QStringLiteral("compose: %1: %2").arg(input, error));
        return kExitFailed;
    }
    // The same composition the edit page works on, without its undo history.
    Composition composition;
    composition.reset(document.style, document.objects);
    const QImage render = IconRenderer::renderOutput(composition.iconStyle(), composition.iconStyle().canvasSize,
                                                     composition.imageDataList());
    if (render.isNull()) {
        printError(QStringLiteral("compose: %1: the composition could not be drawn").arg(input));
        return kExitFailed;
    }

    if (!output.isEmpty()) {
        if (!IcoEncoder::writeIcoFromImage(render, output, &error, sizes)) {
            printError(QStringLiteral("compose: %1: %2").arg(input, error));
            return kExitFailed;
        }
        return kExitOk;
    }

    StagedFolder staged(pngDir);
    if (const QString reason = staged.open(StagedFolder::Missing::Make); !reason.isEmpty()) {
        printError(QStringLiteral("compose: %1: %2").arg(pngDir, reason));
        return kExitFailed;
    }
    QStringList names;
    for (const int size : std::as_const(sizes)) {
        const QString name = ExportNames::composedPngFileName(size);
        // The set is kept from the folder after one failure: one line says why.
        const QString reason = PngExport::savePng(PngExport::composedAtSize(render, size), staged.stagedPath(name));
        if (!reason.isEmpty()) {
            printError(QStringLiteral("compose: cannot write %1: %2; nothing written").arg(staged.finalPath(name), reason));
            return kExitFailed;
        }
        names.append(name);
    }
    if (const QString reason = staged.commit(names); !reason.isEmpty()) {
        printError(QStringLiteral("compose: %1").arg(reason));
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace Cli
