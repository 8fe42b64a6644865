// The quick PNG road on arbitrary bytes.  Each chunk's CRC is set right before decoding,
// so that mutations reach the zlib stream and the unfiltering instead of stopping at the
// first CRC check; whatever it decodes must match what Qt's reader decodes (a stream that
// zlib refuses for reaching past its window may decode here alone, see fastpng.h).

#include <QImage>

#include <libdeflate.h>

#include "ico/fastpng.h"
#include "fuzzcommon.h"

namespace {

quint32 be32(const QByteArray& bytes, qsizetype at)
{
    return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16
        | quint32(quint8(bytes[at + 2])) << 8 | quint8(bytes[at + 3]);
}

void fixCrcs(QByteArray* png)
{
    for (qsizetype at = 8; at + 12 <= png->size();) {
        const quint32 length = be32(*png, at);
        if (length > quint32(png->size() - at - 12))
            return;
        const quint32 crc = libdeflate_crc32(0, png->constData() + at + 4, length + 4);
        char* out = png->data() + at + 8 + length;
        for (int i = 0; i < 4; ++i)
            out[i] = char(crc >> (24 - 8 * i));
        at += 12 + qsizetype(length);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray png = FuzzCommon::bytes(data, size);
    fixCrcs(&png);
    // an exact-size copy, so that a read one byte past the end is caught
    const QByteArray exact(png.constData(), png.size());
    const QImage fast = FastPng::decode(exact);
    if (!fast.isNull()) {
        const QImage qt = QImage::fromData(exact, "PNG");
        if (!qt.isNull() && (qt.format() != fast.format() || !(qt == fast)))
            __builtin_trap();
    }
    return 0;
}
