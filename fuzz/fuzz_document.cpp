// The .glyphora document reader on arbitrary bytes: the JSON, the fields, the remote-path
// refusal and the limits, with a few tiny pictures written once at start (a PNG, a PNG
// with alpha, a JPEG and an SVG) for the objects to name.  The limits are lowered so that
// every admitted document draws a few kilobytes; what must hold:
// - a refused document leaves the document as it was (here: empty);
// - an admitted one keeps within the limits, reads only files of this machine, and
//   objects of one picture share its decode.

#include <QDir>
#include <QGuiApplication>
#include <QImageReader>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

#include "render/compositiondocument.h"

namespace {

// A display budget of 128 x 128 pixels for the whole document.
constexpr qint64 kFuzzDisplayPixels = 128 * 128;
constexpr int kFuzzObjects = 32;

QDir* pictures = nullptr;

void writePictures(const QDir& dir)
{
    QImage opaque(4, 4, QImage::Format_RGB32);
    opaque.fill(QColor(10, 200, 30));
    opaque.save(dir.filePath(QStringLiteral("a.png")));
    opaque.save(dir.filePath(QStringLiteral("d.jpg")));
    QImage clear(3, 7, QImage::Format_ARGB32);
    clear.fill(QColor(200, 10, 30, 100));
    clear.save(dir.filePath(QStringLiteral("b.png")));
    QFile svg(dir.filePath(QStringLiteral("c.svg")));
    if (svg.open(QIODevice::WriteOnly))
        svg.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\" height=\"10\">"
                  "<rect width=\"20\" height=\"10\" fill=\"#123456\"/></svg>");
    dir.mkpath(QStringLiteral("sub"));
}

bool isRemote(const QString& path)
{
    return path.startsWith(QLatin1String("//")) || path.startsWith(QLatin1String("\\\\"))
        || path.contains(QLatin1String("://"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv); // the style's font needs a GUI application
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QImageReader::setAllocationLimit(8); // MB: the SVG is drawn at 1024 x 1024
    static QTemporaryDir dir;
    pictures = new QDir(dir.path());
    writePictures(*pictures);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    CompositionDocument document;
    document.limits.maxObjects = kFuzzObjects;
    document.limits.maxDisplayPixels = kFuzzDisplayPixels;
    QString error;
    QStringList warnings;
    if (!document.fromJson(json, *pictures, &error, &warnings)) {
        if (!document.objects.isEmpty() || error.isEmpty())
            __builtin_trap();
        return 0;
    }
    if (document.objects.size() > kFuzzObjects)
        __builtin_trap();
    qint64 displayPixels = 0;
    for (const ImageData& object : std::as_const(document.objects)) {
        if (object.image.isNull() || isRemote(object.path))
            __builtin_trap();
        displayPixels += qint64(object.displayImage.width()) * object.displayImage.height();
        for (const ImageData& other : std::as_const(document.objects)) {
            if (other.path == object.path && other.image.constBits() != object.image.constBits())
                __builtin_trap();
        }
    }
    if (displayPixels > kFuzzDisplayPixels)
        __builtin_trap();
    return 0;
}
