#include "sourceimage.h"

#include <QFileInfo>
#include <QImageReader>

#include "kvglobal.h"

namespace SourceImage {

namespace {

// libjpeg decodes at 1/2, 1/4 or 1/8 of the size while it reads the DCT blocks.
constexpr int kJpegScaleDenominators[] = {8, 4, 2};

// The reduced decode keeps at least this many decoded pixels per output pixel along
// each axis, so that the smooth scale still averages.
constexpr int kMinReduction = 2;

int ceilDiv(int value, int divisor)
{
    return (value + divisor - 1) / divisor;
}

// The size at which a JPEG reader should decode, or an invalid size to decode fully.
QSize reducedDecodeSize(const QSize& full, const QSize& fitted)
{
    for (int denominator : kJpegScaleDenominators) {
        const QSize reduced(ceilDiv(full.width(), denominator), ceilDiv(full.height(), denominator));
        if (reduced.width() >= kMinReduction * fitted.width() && reduced.height() >= kMinReduction * fitted.height())
            return reduced;
    }
    return QSize();
}

} // namespace

QSize fittedSize(const QSize& size, int side)
{
    if (size.isEmpty() || side <= 0)
        return QSize();
    QSize fitted = size.scaled(side, side, Qt::KeepAspectRatio);
    return fitted.expandedTo(QSize(1, 1));
}

bool isSvgPath(const QString& path)
{
    return QFileInfo(path).suffix().toLower() == QLatin1String("svg");
}

bool load(const QString& path, int svgWidth, int svgHeight, QImage& out)
{
    if (isSvgPath(path))
        return KvGlobal::rasterizeSvg(path, svgWidth, svgHeight, out);
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull())
        return false;
    out = image;
    return true;
}

bool loadRasterFitted(const QString& path, int side, QImage& out, QString* reason, Decode decode)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);

    const QSize full = reader.size();
    const QSize target(side, side);
    if (decode == Decode::Reduced && full.isValid() && !full.isEmpty() && reader.format() == "jpeg"
        && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        const QSize reduced = reducedDecodeSize(full, fittedSize(full, side));
        if (reduced.isValid())
            reader.setScaledSize(reduced);
    }

    QImage image = reader.read();
    if (image.isNull()) {
        if (reason)
            *reason = reader.errorString();
        return false;
    }
    if (image.size() != target)
        image = image.scaled(fittedSize(image.size(), side), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (image.isNull()) {
        if (reason)
            *reason = QStringLiteral("Not enough memory to scale the image");
        return false;
    }
    out = image;
    return true;
}

} // namespace SourceImage
