// The HEIF, HEIC and AVIF reader (libheif underneath) on arbitrary file contents.

#include "fuzzimagehandler.h"
#include "heifhandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzCommon::readWithHandler<HeifHandler>(data, size, "heic");
    return 0;
}
