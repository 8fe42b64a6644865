// Reading an SVG file and framing its raster are the same whichever library draws it
// (svgdocument.cpp with librsvg, qtsvg/svgdocument.cpp with Qt SVG).
#include "svgdocument.h"

#include <QFile>

#include <algorithm>

#include "bytes/imagealloc.h"

bool SvgDocument::readFile(const QString& path, QByteArray& data)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 length = file.size();
    if (length < 0 || length > kMaxFileBytes)
        return false;
    // A device may grow while read; never take more than the limit.
    QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes || file.error() != QFileDevice::NoError)
        return false;
    data = bytes;
    return true;
}

bool SvgDocument::render(int width, int height, QImage& out) const
{
    if (isNull())
        return false;
    QImage canvas = imageAlloc(width, height, QImage::Format_ARGB32_Premultiplied, kMaxSide);
    if (canvas.isNull())
        return false;
    canvas.fill(Qt::transparent);
    // One factor for both axes, the largest at which the document fits: a drawing of
    // other proportions than the raster keeps its shape, centred between transparent bars.
    const QSizeF own = size();
    const double factor = std::min(width / own.width(), height / own.height());
    const QSizeF drawn = own * factor;
    if (!draw(canvas, QRectF(QPointF((width - drawn.width()) / 2.0, (height - drawn.height()) / 2.0), drawn)))
        return false;
    // Straight alpha: a half-covered red edge stays red, it does not turn dark red.
    QImage straight = canvas.convertToFormat(QImage::Format_RGBA8888);
    if (straight.isNull())
        return false;
    out = straight;
    return true;
}
