// decodeIconEntry on arbitrary payloads (DIBs, and PNGs when the bytes start with one).

#include "fuzzcommon.h"
#include "ico/icondecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size copy, so that a read one byte past the payload is caught.
    const QByteArray payload = FuzzCommon::bytes(data, size);
    IconGroupRecord record;
    decodeIconEntry(payload, 0, record, 32);
    return 0;
}
