#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QImageReader>
#include <QSize>

// Limits shared by the program's image-format plugins.
namespace ImageLimits {

// The whole file is held in memory while it decodes; a compressed picture past this size
// is no photo a desktop icon is made from, and refusing it bounds what a hostile stream
// can make us allocate.
constexpr qint64 kMaxFileBytes = qint64(512) << 20;
constexpr qint64 kReadChunkBytes = qint64(1) << 20;

// Reads what is left of the device, at most kMaxFileBytes.  False if the device had more;
// the bytes are grown chunk by chunk, so a device that claims a large size but delivers
// little costs only what it delivered.
inline bool readAll(QIODevice *device, QByteArray *bytes)
{
    bytes->clear();
    if (!device || !device->isReadable())
        return false;
    for (;;) {
        const qint64 have = bytes->size();
        if (have > kMaxFileBytes)
            return false;
        const qint64 chunk = qMin(kReadChunkBytes, kMaxFileBytes + 1 - have);
        bytes->resize(have + chunk);
        const qint64 got = device->read(bytes->data() + have, chunk);
        bytes->resize(have + qMax<qint64>(0, got));
        // 0 is the end of a file; a sequential device reports its end as -1
        if (got <= 0)
            break;
    }
    return bytes->size() <= kMaxFileBytes;
}

// QImageReader::allocationLimit() in bytes, 0 when the limit is switched off.
inline qint64 allocationLimitBytes()
{
    return qint64(qMax(0, QImageReader::allocationLimit())) << 20;
}

// Whether an image of the stated size at bytesPerPixel stays inside the allocation limit.
// The product is taken in 64 bits from sides that are each below 2^31.
inline bool fitsAllocationLimit(qint64 width, qint64 height, int bytesPerPixel)
{
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX)
        return false;
    // QImage itself refuses lines past INT_MAX bytes
    if (width * bytesPerPixel > INT_MAX)
        return false;
    const qint64 limit = allocationLimitBytes();
    if (limit == 0)
        return true;
    return width * height * bytesPerPixel <= limit;
}

} // namespace ImageLimits
