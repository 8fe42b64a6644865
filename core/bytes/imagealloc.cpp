#include "imagealloc.h"

#include <QImageReader>

qint64 allocationLimitBytes()
{
    return qint64(qMax(0, QImageReader::allocationLimit())) << 20;
}

bool fitsAllocationLimit(qint64 width, qint64 height, int bytesPerPixel, qint64 maxSide)
{
    if (width < 1 || height < 1 || width > maxSide || height > maxSide || bytesPerPixel < 1)
        return false;
    // sides below 2^31, so the products stay far inside 64 bits
    if (width > kMaxAnyImageSide || height > kMaxAnyImageSide)
        return false;
    // QImage itself refuses lines past INT_MAX bytes
    if (width * bytesPerPixel > kMaxAnyImageSide)
        return false;
    const qint64 limit = allocationLimitBytes();
    return limit == 0 || width * height * bytesPerPixel <= limit;
}

QImage imageAlloc(qint64 width, qint64 height, QImage::Format format, qint64 maxSide)
{
    const int bytesPerPixel = qMax(1, QImage::toPixelFormat(format).bitsPerPixel() / 8);
    if (!fitsAllocationLimit(width, height, bytesPerPixel, maxSide))
        return QImage();
    return QImage(int(width), int(height), format);
}
