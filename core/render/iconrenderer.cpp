#include "iconrenderer.h"

// Interface in place; the drawing follows.
namespace IconRenderer {

CanvasGeometry CanvasGeometry::forSizeIndex(int s)
{
    CanvasGeometry g;
    g.sizeIndex = s;
    g.canvasSide = 300 * s;
    g.iconSide = 256 * s;
    g.margin = (g.canvasSide - g.iconSide) / 2;
    return g;
}

QRect CanvasGeometry::iconSquare() const
{
    return QRect(margin, margin, iconSide, iconSide);
}

QRect CanvasGeometry::containerRect() const
{
    return QRect(margin - 1, margin - 1, iconSide - 1, iconSide - 1);
}

QImage drawContainer(const IconStyle&, int sizeIndex, QPainterPath&)
{
    const int side = CanvasGeometry::forSizeIndex(sizeIndex).canvasSide;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    return image;
}

QImage compose(const IconStyle&, int, const QImage& container, const QPainterPath&, const QList<ImageData>&, bool,
               const QRect&)
{
    return container;
}

QImage renderOutput(const IconStyle& style, int sizeIndex, const QList<ImageData>& objects)
{
    QPainterPath path;
    const QImage container = drawContainer(style, sizeIndex, path);
    return compose(style, sizeIndex, container, path, objects, true)
        .copy(CanvasGeometry::forSizeIndex(sizeIndex).iconSquare());
}

} // namespace IconRenderer
