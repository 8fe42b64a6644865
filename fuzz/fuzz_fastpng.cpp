// The quick PNG road on arbitrary bytes.  Each chunk's CRC is set right before decoding,
// so that mutations reach the zlib stream and the unfiltering instead of stopping at the
// first CRC check; whatever it decodes must match what Qt's reader decodes (a stream that
// zlib refuses for reaching past its window may decode here alone, see fastpng.h).

#include <QImage>

#include <libdeflate.h>

#include "bytes/bytereader.h"
#include "ico/fastpng.h"
#include "fuzzcommon.h"

namespace {

void fixCrcs(QByteArray* png)
{
    // each chunk: a big-endian length, the type, the data, the CRC of type and data
    for (qsizetype at = 8;;) {
        const ByteReader bytes(*png);
        const auto length = bytes.u32be(at);
        if (!length || !bytes.contains(at, qint64(*length) + 12))
            return;
        const quint32 crc = libdeflate_crc32(0, png->constData() + at + 4, *length + 4);
        char* out = png->data() + at + 8 + *length;
        for (int i = 0; i < 4; ++i)
            out[i] = char(crc >> (24 - 8 * i));
        at += 12 + qsizetype(*length);
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
