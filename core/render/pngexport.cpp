#include "pngexport.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>

#include "filesave.h"

namespace PngExport {

QImage composedAtSize(const QImage& render, int side)
{
    if (render.isNull() || side <= 0)
        return QImage();
    if (render.size() == QSize(side, side))
        return render;
    return render.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QString savePng(const QImage& image, const QString& path)
{
    if (image.isNull())
        return QStringLiteral("no image");
    // Encoded in memory first: a write that fails inside libpng (a full disk) gives
    // nothing but "Unknown error", while FileSave keeps the system's reason.  A PNG of
    // the largest side is a few MB.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "PNG");
    writer.setOptimizedWrite(true);
    writer.setProgressiveScanWrite(true);
    if (!writer.write(image))
        return writer.errorString();
    return FileSave::save(path, {buffer.data()}).error;
}

bool writePng(const QImage& image, const QString& path, QString* error)
{
    const QString reason = savePng(image, path);
    if (reason.isEmpty())
        return true;
    if (error)
        *error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
    return false;
}

} // namespace PngExport
