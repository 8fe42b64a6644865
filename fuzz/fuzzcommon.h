#pragma once

// Set-up shared by the fuzz targets: a QCoreApplication for Qt's image plugins, a
// message handler that drops the readers' log lines (they would slow every run down), and
// an allocation limit that still holds every real icon.

#include <QCoreApplication>
#include <QImageReader>

#include <cstddef>
#include <cstdint>

namespace FuzzCommon {

// Qt's allocation limit in MB, which imageAlloc() honours too: a 256 x 256 icon takes
// 512 KB at 64 bits a pixel.  The default (256 MB) lets a 60-byte DIB stating 4096 x 4096
// fill 128 MB pixel by pixel, a few runs a second; the refusal is the same branch either way.
constexpr int kIconAllocationLimitMb = 1;

inline void initialise()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QImageReader::setAllocationLimit(kIconAllocationLimitMb);
}

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

} // namespace FuzzCommon

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzCommon::initialise();
    return 0;
}
