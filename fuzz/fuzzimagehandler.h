#pragma once

// One of the program's image-format handlers on arbitrary file contents, as Qt's image
// reader drives it: the signature check, the header, then the picture.

#include <QBuffer>
#include <QImage>
#include <QImageIOHandler>
#include <QImageReader>

#include "fuzzcommon.h"

namespace FuzzCommon {

// Qt's allocation limit in MB for these runs: stated sizes past it are refused before
// decoding, the rest keep each run's memory well under the fuzzer's RSS limit.
constexpr int kAllocationLimitMb = 64;

template<typename Handler>
void readWithHandler(const uint8_t* data, size_t size, const char* format)
{
    QImageReader::setAllocationLimit(kAllocationLimitMb);
    QByteArray bytes = FuzzCommon::bytes(data, size);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Handler handler;
    handler.setDevice(&buffer);
    handler.setFormat(format);
    if (!handler.canRead())
        return;
    handler.option(QImageIOHandler::Size);
    QImage image;
    handler.read(&image);
}

} // namespace FuzzCommon
