#pragma once

#include <QByteArray>
#include <QIODevice>

// The file size limit shared by the program's image-format plugins; the decoded image's
// limit is the core's allocation gate (bytes/imagealloc.h).
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

} // namespace ImageLimits
