#pragma once

// Set-up shared by the fuzz targets: a QCoreApplication for Qt's image plugins, and a
// message handler that drops the readers' log lines (they would slow every run down).

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

namespace FuzzCommon {

inline void initialise()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
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
