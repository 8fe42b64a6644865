#include "sourceimage.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMutex>

#include <algorithm>
#include <limits>

#include "bytes/imagealloc.h"
#include "ico/fastpng.h"
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

// The PNG signature: \x89 "PNG" CR LF ^Z LF.
constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";
constexpr qint64 kPngSignatureBytes = 8;
// A file past this is left to Qt's reader, which streams it, rather than read whole.
constexpr qint64 kMaxQuickPngBytes = qint64(256) << 20;

// A PNG picture through the quick reader (libdeflate inflates the image data several
// times faster than zlib, most of a large PNG's decode time); a null image for any other
// file and for every PNG the quick reader leaves to Qt's.
QImage decodePngQuickly(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxQuickPngBytes
        || file.peek(kPngSignatureBytes) != QByteArray(kPngSignature, kPngSignatureBytes))
        return QImage();
    return FastPng::decode(file.readAll());
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

bool loadWithin(const QString& path, qint64 maxBytes, QImage& out, bool* lowered)
{
    static QMutex turn;
    const QMutexLocker lock(&turn);
    const qint64 own = allocationLimitBytes();
    const bool lower = own == 0 || maxBytes < own;
    if (lowered)
        *lowered = lower;
    if (!lower)
        return load(path, 0, 0, out);
    // The limit counts whole megabytes, and 0 would switch it off.
    const qint64 megabytes = std::min<qint64>(maxBytes >> 20, std::numeric_limits<int>::max());
    if (megabytes < 1)
        return false;
    const int saved = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(int(megabytes));
    const bool ok = load(path, 0, 0, out);
    QImageReader::setAllocationLimit(saved);
    return ok;
}

bool loadRasterFitted(const QString& path, int side, QImage& out, QString* reason, Decode decode)
{
    // Scales a decoded picture to fit side x side; a scaling that fails for memory says so.
    const auto fitAndKeep = [&](QImage image) {
        if (image.size() != QSize(side, side))
            image = image.scaled(fittedSize(image.size(), side), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (image.isNull()) {
            if (reason)
                *reason = QStringLiteral("Not enough memory to scale the image");
            return false;
        }
        out = image;
        return true;
    };

    QImage image = decodePngQuickly(path);
    if (!image.isNull())
        return fitAndKeep(image);

    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);

    const QSize full = reader.size();
    if (decode == Decode::Reduced && full.isValid() && !full.isEmpty() && reader.format() == "jpeg"
        && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        const QSize reduced = reducedDecodeSize(full, fittedSize(full, side));
        if (reduced.isValid())
            reader.setScaledSize(reduced);
    }

    image = reader.read();
    if (image.isNull()) {
        if (reason)
            *reason = reader.errorString();
        return false;
    }
    return fitAndKeep(image);
}

} // namespace SourceImage
