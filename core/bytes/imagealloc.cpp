#include "imagealloc.h"

#include <QImageReader>

QImage imageAlloc(qint64 width, qint64 height, QImage::Format format)
{
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide)
        return QImage();
    const qint64 bytesPerPixel = QImage::toPixelFormat(format).bitsPerPixel() / 8;
    const qint64 limitBytes = qint64(QImageReader::allocationLimit()) << 20;
    if (limitBytes > 0 && width * height * bytesPerPixel > limitBytes)
        return QImage();
    return QImage(int(width), int(height), format);
}
