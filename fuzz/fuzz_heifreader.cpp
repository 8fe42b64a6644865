// The HEIF, HEIC and AVIF reader (libheif underneath) on arbitrary file contents, as Qt's image
// reader drives it: the signature check, the header, then the picture.

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include "fuzzcommon.h"
#include "heifhandler.h"

namespace {

// Qt's allocation limit in MB for these runs: stated sizes past it are refused before
// decoding, the rest keep each run's memory well under the fuzzer's RSS limit.
constexpr int kAllocationLimitMb = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QImageReader::setAllocationLimit(kAllocationLimitMb);
    QByteArray bytes = FuzzCommon::bytes(data, size);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    HeifHandler handler;
    handler.setDevice(&buffer);
    handler.setFormat("heic");
    if (!handler.canRead())
        return 0;
    handler.option(QImageIOHandler::Size);
    QImage image;
    handler.read(&image);
    return 0;
}
