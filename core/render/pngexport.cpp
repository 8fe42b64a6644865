#include "pngexport.h"

#include <QDir>
#include <QImageWriter>
#include <QSaveFile>

namespace PngExport {

QImage composedAtSize(const QImage& render, int side)
{
    if (render.isNull() || side <= 0)
        return QImage();
    if (render.size() == QSize(side, side))
        return render;
    return render.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool writePng(const QImage& image, const QString& path, QString* error)
{
    QSaveFile file(path);
    QString reason;
    if (image.isNull()) {
        reason = QStringLiteral("no image");
    } else if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
    } else {
        QImageWriter writer(&file, "PNG");
        writer.setOptimizedWrite(true);
        writer.setProgressiveScanWrite(true);
        if (!writer.write(image))
            reason = writer.errorString();
        else if (!file.commit())
            reason = file.errorString();
    }
    if (reason.isEmpty())
        return true;
    if (error)
        *error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
    return false;
}

} // namespace PngExport
