// The JPEG XL reader (libjxl underneath) on arbitrary file contents.

#include "fuzzimagehandler.h"
#include "jxlhandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzCommon::readWithHandler<JxlHandler>(data, size, "jxl");
    return 0;
}
