// The program's own limits on source pictures, driven from bytes: the allocation gate every
// decoder and the SVG rasteriser go through, and the SVG document's size and raster gate.
// Bytes 0-7: a width and a height (i32 little-endian) asked of the gate and of the
// rasteriser; byte 8: the pixel format; the rest: an SVG document.

#include <QtGlobal>

#include "bytes/bytereader.h"
#include "bytes/imagealloc.h"
#include "fuzzcommon.h"
#include "picture/svgdocument.h"

namespace {

constexpr QImage::Format kFormats[] = {QImage::Format_ARGB32, QImage::Format_RGBA64,
                                       QImage::Format_Grayscale8, QImage::Format_Mono,
                                       QImage::Format_RGB888, QImage::Format_RGBA8888};

// What a granted image must be: the size asked, within the sides and the byte limit.
void checkGranted(const QImage& image, qint64 width, qint64 height, qint64 maxSide)
{
    if (image.isNull())
        return;
    if (image.width() != width || image.height() != height || width > maxSide || height > maxSide)
        __builtin_trap();
    const qint64 limit = allocationLimitBytes();
    const qint64 bytesPerPixel = qMax(1, image.depth() / 8);
    if (limit && width * height * bytesPerPixel > limit)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = FuzzCommon::bytes(data, size);
    const ByteReader reader(bytes);
    const auto width = reader.i32le(0);
    const auto height = reader.i32le(4);
    const auto formatByte = reader.u8(8);
    if (!allRead(width, height, formatByte))
        return 0;
    const QImage::Format format = kFormats[*formatByte % std::size(kFormats)];
    checkGranted(imageAlloc(*width, *height, format), *width, *height, kMaxImageSide);
    checkGranted(imageAlloc(*width, *height, format, SvgDocument::kMaxSide), *width, *height,
                 SvgDocument::kMaxSide);

    SvgDocument document;
    if (!document.load(bytes.mid(9)))
        return 0;
    const QSizeF natural = document.size();
    if (!(natural.width() > 0) || !(natural.height() > 0) || !qIsFinite(natural.width())
        || !qIsFinite(natural.height()))
        __builtin_trap();
    QImage out;
    if (document.render(*width, *height, out)) {
        checkGranted(out, *width, *height, SvgDocument::kMaxSide);
        if (out.format() != QImage::Format_RGBA8888)
            __builtin_trap();
    }
    return 0;
}
