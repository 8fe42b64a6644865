#include "iconrenderer.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QLoggingCategory>
#include <QPainter>

Q_LOGGING_CATEGORY(lcRender, "glyphora.render", QtInfoMsg)

namespace IconRenderer {

namespace {

// The two ends of the background gradient for each backOrientation, from QRect's corner
// functions (right = left + width - 1, bottom = top + height - 1).
void gradientEnds(const QRect& box, int orientation, QPoint& from, QPoint& to)
{
    switch (orientation) {
    case 1: from = box.bottomLeft(); to = box.topLeft(); break;
    case 2: from = box.topLeft(); to = box.topRight(); break;
    case 3: from = box.topRight(); to = box.topLeft(); break;
    case 4: from = box.topLeft(); to = box.bottomRight(); break;
    case 5: from = box.topRight(); to = box.bottomLeft(); break;
    case 6: from = box.bottomLeft(); to = box.topRight(); break;
    case 7: from = box.bottomRight(); to = box.topLeft(); break;
    default: from = box.topLeft(); to = box.bottomLeft(); break;
    }
}

QImage transparentImage(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    return image;
}

// Each object's display image 1 : 1 at its position, the first in the list at the bottom.
void drawObjects(QPainter& painter, const QList<ImageData>& objects)
{
    for (const ImageData& object : objects) {
        if (!object.displayImage.isNull())
            painter.drawImage(object.position, object.displayImage);
    }
}

// The band across the corner chosen by badgeOrientationDiagonal: a box C wide and one
// text line high, centred 150 s down the rotated frame.
void drawDiagonalBadge(QPainter& painter, const IconStyle& style, const CanvasGeometry& g, int bandHeight)
{
    const int s = g.sizeIndex;
    const int a = (style.shape == IconStyle::Circle ? 76 : 80) * s;

    painter.save();
    switch (style.badgeOrientationDiagonal) {
    case 0: painter.translate(-a - 60 * s, 150 * s - a); painter.rotate(-45); break;
    case 1: painter.translate(145 * s + a, -a - 65 * s); painter.rotate(45); break;
    case 2: painter.translate(145 * s - a, a - 65 * s); painter.rotate(45); break;
    case 3: painter.translate(a - 60 * s, 150 * s + a); painter.rotate(-45); break;
    default: painter.translate(-60 * s, 150 * s); painter.rotate(-45); break;
    }

    QPen outline = painter.pen();
    outline.setColor(style.badgeBorderColor);
    outline.setWidth(style.badgeLineWidth);
    painter.setPen(outline);
    painter.setBrush(QBrush(style.badgeBackColor));
    const int c = 150 * s - bandHeight / 2;
    painter.drawRect(0, c, g.canvasSide, bandHeight);

    // The text takes the record's own font at factor x badgeTextSize, not the band's.
    painter.setPen(style.badgeTextColor);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(style.badgeTextFont);
    const int pixelSize = style.badgeTextFont.pixelSize();
    const int e = s == 1 ? (bandHeight - pixelSize) / 6 : (bandHeight - pixelSize) / 4;
    painter.drawText((g.iconSide - style.badgeTextWidth) / 2 + 22 * s, e + pixelSize + c, style.badgeText);

    qCDebug(lcRender) << "canvasSizeIndex: " << s;
    painter.restore();
}

} // namespace

CanvasGeometry CanvasGeometry::forSizeIndex(int s)
{
    CanvasGeometry g;
    g.sizeIndex = s == 2 ? 2 : s > 2 ? 4 : 1;
    g.canvasSide = 300 * g.sizeIndex;
    g.iconSide = 256 * g.sizeIndex;
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

QPainterPath containerPath(const IconStyle& style, int sizeIndex)
{
    const QRectF box = CanvasGeometry::forSizeIndex(sizeIndex).containerRect();
    QPainterPath path;
    switch (style.shape) {
    case IconStyle::RoundedRectangle:
        path.addRoundedRect(box, style.radius, style.radius, Qt::AbsoluteSize);
        break;
    case IconStyle::Circle:
        path.addEllipse(box);
        break;
    default:
        path.addRect(box);
        break;
    }
    return path;
}

QImage drawContainer(const IconStyle& style, int sizeIndex, QPainterPath& path)
{
    const CanvasGeometry g = CanvasGeometry::forSizeIndex(sizeIndex);
    const QRect box = g.containerRect();
    qCDebug(lcRender) << "borderRect: " << box << "imageSize: " << g.iconSide << "canvasSize: " << g.canvasSide;

    QImage image = transparentImage(g.canvasSide);
    path = containerPath(style, g.sizeIndex);
    if (style.useBackground) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QBrush brush(style.backColor1);
        if (style.backStyle == IconStyle::Gradient) {
            QPoint from, to;
            gradientEnds(box, style.backOrientation, from, to);
            QLinearGradient gradient(from, to);
            gradient.setColorAt(0, style.backColor1);
            gradient.setColorAt(1, style.backColor2);
            brush = QBrush(gradient);
        }
        // A pen of alpha 0 outlines nothing: only the fill shows.
        painter.setPen(Qt::NoPen);
        painter.setBrush(brush);
        painter.drawPath(path);
    }
    qCDebug(lcRender) << "borderPath: " << path.boundingRect().toRect();
    return image;
}

QImage compose(const IconStyle& style, int sizeIndex, const QImage& container, const QPainterPath& path,
               const QList<ImageData>& objects, bool output, const QRect& selectionRect)
{
    const CanvasGeometry g = CanvasGeometry::forSizeIndex(sizeIndex);
    const int s = g.sizeIndex;
    QImage result = transparentImage(g.canvasSide);
    QPainter painter(&result);
    painter.setClipPath(path, Qt::ReplaceClip);

    painter.drawImage(0, 0, container);

    // Darken the whole shape, then lay the background back shifted up and left: a dark
    // rim stays along the bottom and right edges.
    if (style.useBackground && style.useBack3dEffect) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 40));
        painter.drawPath(path);
        int d = -5 * s;
        if (style.useBorder)
            d -= style.borderWidth / 2;
        painter.drawImage(d, d, container);
    }

    if (style.clipImage)
        drawObjects(painter, objects);

    // The band is one line of the badge font high, that font being sized to the measured
    // text height.
    QFont badgeFont = style.badgeTextFont;
    if (style.badgeTextHeight > 0)
        badgeFont.setPixelSize(style.badgeTextHeight);
    const QFontMetrics badgeMetrics(badgeFont);
    const int textWidth = badgeMetrics.horizontalAdvance(style.badgeText);
    const int bandHeight = badgeMetrics.height();
    painter.setPen(style.badgeBackColor);
    painter.setBrush(QBrush(style.badgeBackColor));

    if (style.useBadge) {
        qCDebug(lcRender) << "borderRect: " << g.iconSquare();
        const QRect box = path.boundingRect().toRect();
        const int w = style.useBorder ? style.borderWidth : 0;
        // Inside the visible border.
        const QRect inner(box.left() + w, box.top() + w, box.width() - 2 * w, box.height() - 2 * w);
        qCDebug(lcRender) << "borderWidth: " << w << "newBorderRect: " << inner;
        if (style.badgeOrientation == IconStyle::Horizontal) {
            const bool top = style.badgeOrientationHorizontal == 1;
            const int y = top ? inner.top() : inner.top() + inner.height() - bandHeight;
            painter.drawRect(inner.left(), y, inner.width(), bandHeight);
            painter.setPen(style.badgeTextColor);
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.setFont(badgeFont);
            const int baseline = top ? inner.top() + bandHeight - bandHeight / 6
                                     : inner.top() + inner.height() - bandHeight / 6;
            painter.drawText((g.canvasSide - textWidth) / 2, baseline, style.badgeText);
        } else {
            drawDiagonalBadge(painter, style, g, bandHeight);
        }
    }

    // Only the lower cap of an ellipse hung above the canvas reaches in: the top third of
    // the shape whitened at half opacity.
    if (style.useGlossy) {
        painter.setPen(Qt::white);
        painter.setBrush(Qt::white);
        painter.setOpacity(0.5);
        painter.drawEllipse(24 * s, int(-g.canvasSide / 1.5), g.canvasSide - 48 * s, g.canvasSide);
        painter.setOpacity(1);
    }

    // Stroked on the path that is also the clip: only the inner half of the pen shows, so
    // the visible border is borderWidth wide.
    if (style.useBorder) {
        QPen pen = painter.pen();
        pen.setColor(style.borderColor);
        pen.setStyle(Qt::SolidLine);
        pen.setWidth(2 * style.borderWidth);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }

    // Unclipped objects lie on top of everything, cut only by the icon square.
    if (!style.clipImage) {
        painter.setClipRect(g.iconSquare(), Qt::ReplaceClip);
        drawObjects(painter, objects);
    }

    // An object scaled to nothing has an empty rect and no frame; "none" is (-1, -1, -1, -1).
    if (!output && selectionRect.isValid()) {
        painter.save();
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0, 0, 0, 255), s, Qt::DashLine));
        painter.drawRect(selectionRect);
        painter.restore();
    }
    painter.end();
    return result;
}

QImage renderOutput(const IconStyle& style, int sizeIndex, const QList<ImageData>& objects)
{
    QPainterPath path;
    const QImage container = drawContainer(style, sizeIndex, path);
    return compose(style, sizeIndex, container, path, objects, true)
        .copy(CanvasGeometry::forSizeIndex(sizeIndex).iconSquare());
}

} // namespace IconRenderer
