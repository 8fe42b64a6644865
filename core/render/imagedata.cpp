#include "imagedata.h"

#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <mutex>

Q_LOGGING_CATEGORY(lcImageData, "glyphora.imagedata", QtInfoMsg)

namespace {

// width x scale / 100 and height x scale / 100 in integers, as the size controls count.
QSize scaledSize(const QSize& full, int scale)
{
    return QSize(int(qint64(full.width()) * scale / 100), int(qint64(full.height()) * scale / 100));
}

qint64 pixels(const QSize& size)
{
    return qint64(size.width()) * size.height();
}

// The bounding box of size turned by degrees, as QImage::transformed makes it.
QSize rotatedSize(const QSize& size, int degrees)
{
    const QTransform turn = QTransform().rotate(degrees);
    return QImage::trueMatrix(turn, size.width(), size.height()).mapRect(QRect(QPoint(0, 0), size)).size();
}

// Each pixel of the result is the rounded mean of a 2 x 2 block, channel by channel, two
// channels at a time in the 0x00ff00ff lanes (4 x 255 + 2 fits in the 16 bits between
// them).  An odd last row or column is left out.
QImage halve(const QImage& source)
{
    const int width = source.width() / 2;
    const int height = source.height() / 2;
    QImage result(width, height, source.format());
    if (result.isNull())
        return result;
    for (int y = 0; y < height; ++y) {
        const auto* upper = reinterpret_cast<const quint32*>(source.constScanLine(2 * y));
        const auto* lower = reinterpret_cast<const quint32*>(source.constScanLine(2 * y + 1));
        auto* out = reinterpret_cast<quint32*>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const quint32 p0 = upper[2 * x], p1 = upper[2 * x + 1], p2 = lower[2 * x], p3 = lower[2 * x + 1];
            const quint32 rb = (p0 & 0xff00ff) + (p1 & 0xff00ff) + (p2 & 0xff00ff) + (p3 & 0xff00ff) + 0x020002;
            const quint32 ag = ((p0 >> 8) & 0xff00ff) + ((p1 >> 8) & 0xff00ff) + ((p2 >> 8) & 0xff00ff)
                + ((p3 >> 8) & 0xff00ff) + 0x020002;
            out[x] = ((rb >> 2) & 0xff00ff) | (((ag >> 2) & 0xff00ff) << 8);
        }
    }
    return result;
}

QList<QImage> buildHalvings(const QImage& image)
{
    QList<QImage> levels;
    // The smooth scale works on these two forms anyway; the halving keeps them.
    QImage level = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                  : QImage::Format_RGB32);
    while (level.width() >= 2 && level.height() >= 2) {
        level = halve(level);
        if (level.isNull())
            break;
        levels.append(level);
    }
    return levels;
}

// The halvings of every image some object still holds, by the image's cacheKey(): ten
// objects of one 8000 x 8000 photo keep one set of 85 MB, not ten.  Objects are rebuilt
// on several threads at once; the first to ask builds, the others wait for its list.
struct HalvingsEntry
{
    std::once_flag built;
    QList<QImage> levels;
};

std::shared_ptr<const QList<QImage>> sharedHalvings(const QImage& image)
{
    static QMutex mutex;
    static QHash<qint64, std::weak_ptr<HalvingsEntry>> cache;
    std::shared_ptr<HalvingsEntry> entry;
    {
        const QMutexLocker lock(&mutex);
        entry = cache.value(image.cacheKey()).lock();
        if (!entry) {
            // The lists of images nobody holds any more are gone; so go their keys.
            for (auto it = cache.begin(); it != cache.end();)
                it = it.value().expired() ? cache.erase(it) : std::next(it);
            entry = std::make_shared<HalvingsEntry>();
            cache.insert(image.cacheKey(), entry);
        }
    }
    std::call_once(entry->built, [&] { entry->levels = buildHalvings(image); });
    // The list shares the entry's life: the cache's weak pointer expires with the last holder.
    return std::shared_ptr<const QList<QImage>>(entry, &entry->levels);
}

} // namespace

QImage ImageData::scaledImage(const QSize& size)
{
    if (image.isNull() || size.isEmpty())
        return QImage();
    if (size == image.size())
        return image;

    if (!halvings || halvingsOf != image.cacheKey()) {
        halvings = sharedHalvings(image);
        halvingsOf = image.cacheKey();
    }

    // A halving's pixel is a box of 2^k source pixels; area-averaging it again widens the
    // filter by that box, which blurs when the box is close to a target pixel.  Twice the
    // target keeps the box at most half a target pixel wide; when only the full image is
    // that large, the smallest halving at least the target size keeps the notch quick.
    const QImage* from = &image;
    const QImage* atLeastTarget = &image;
    for (const QImage& level : std::as_const(*halvings)) {
        if (level.width() < size.width() || level.height() < size.height())
            break;
        atLeastTarget = &level;
        if (level.width() >= 2 * size.width() && level.height() >= 2 * size.height())
            from = &level;
    }
    if (from == &image)
        from = atLeastTarget;
    return from->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void ImageData::fitInto(int canvasSide)
{
    if (image.isNull()) {
        qCWarning(lcImageData) << "No picture to fit:" << path;
        scale = 100;
        displayImage = QImage();
        rect = QRect(position, QSize(0, 0));
        return;
    }
    // In floats, as the size controls count: 300 / 2000 is 15 %.
    const float fx = float(canvasSide) / float(image.width());
    const float fy = float(canvasSide) / float(image.height());
    scale = fx < 1 || fy < 1 ? int(std::min(fx, fy) * 100) : 100;
    rect.moveTopLeft(position);
    rebuildDisplayImage();
}

int ImageData::displayScale(const QSize& full, int scale, int rotation)
{
    const QSize size = scaledSize(full, scale);
    if (full.isEmpty() || size.isEmpty())
        return scale;
    const qint64 turned = std::max(pixels(size), pixels(rotatedSize(size, rotation)));
    if (turned <= kMaxDisplayPixels)
        return scale;
    // The wheel has no upper bound: past the budget, step back to the largest scale whose
    // display image fits, square-root first and then percent by percent.
    int fitting = std::max(1, int(scale * std::sqrt(double(kMaxDisplayPixels) / double(turned))));
    while (fitting > 1
           && (pixels(scaledSize(full, fitting)) > kMaxDisplayPixels
               || pixels(rotatedSize(scaledSize(full, fitting), rotation)) > kMaxDisplayPixels))
        --fitting;
    return fitting;
}

QSize ImageData::displaySize(const QSize& full, int scale, int rotation)
{
    const QSize size = scaledSize(full, displayScale(full, scale, rotation));
    if (full.isEmpty() || size.isEmpty())
        return QSize();
    return rotatedSize(size, rotation);
}

void ImageData::rebuildDisplayImage()
{
    QSize size = scaledSize(image.size(), scale);
    if (image.isNull() || size.isEmpty()) {
        displayImage = QImage();
        rect.setSize(QSize(0, 0));
        return;
    }

    const int fitting = displayScale(image.size(), scale, rotation);
    if (fitting != scale) {
        qCWarning(lcImageData) << "Scale" << scale << "% would make too large an image; kept at" << fitting << "%";
        scale = fitting;
        size = scaledSize(image.size(), scale);
        if (size.isEmpty()) {
            displayImage = QImage();
            rect.setSize(QSize(0, 0));
            return;
        }
    }

    displayImage = scaledImage(size).transformed(QTransform().rotate(rotation), Qt::SmoothTransformation);
    rect.setSize(displayImage.size());
}
