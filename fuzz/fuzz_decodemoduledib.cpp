// decodeModuleDib: the first two bytes are the directory entry's width and height, the
// rest is the payload.

#include "fuzzcommon.h"
#include "ico/icondecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const QByteArray payload = FuzzCommon::bytes(data + 2, size - 2);
    int bitCount = 0;
    decodeModuleDib(payload, data[0], data[1], &bitCount);
    return 0;
}
