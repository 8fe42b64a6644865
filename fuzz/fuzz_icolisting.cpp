// The .ico listing on arbitrary file contents.

#include "fuzzcommon.h"
#include "ico/iconlisting.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QList<IconGroupRecord> records;
    IconListing::listIcoBytes(FuzzCommon::bytes(data, size), records);
    return 0;
}
