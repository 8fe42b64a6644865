#pragma once

// Draws a composed icon: the container with its background, the 3D effect, the image
// objects, the badge, the gloss and the border, into a square image of canvas pixels.
// The canvas paints through it and the .ico and PNG roads take its icon square, so the
// screen and the files come from the same drawing.  No widget needed.

#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QRect>

#include "imagedata.h"
#include "iconstyle.h"

namespace IconRenderer {

// The canvas of size index s (1, 2 or 4; 3 and above give 4): side C = 300 s, icon side I = 256 s, margin
// M = (C - I) / 2.
struct CanvasGeometry
{
    int sizeIndex = 1;
    int canvasSide = 300;
    int iconSide = 256;
    int margin = 22;

    static CanvasGeometry forSizeIndex(int s);
    // (M, M, I, I): the area that becomes the output.
    QRect iconSquare() const;
    // (M - 1, M - 1, I - 1, I - 1): the box of the container shape.
    QRect containerRect() const;
};

// The container shape (shape, radius) on containerRect().
QPainterPath containerPath(const IconStyle& style, int sizeIndex);

// The C x C container image (the background, when there is one) and its path.
QImage drawContainer(const IconStyle& style, int sizeIndex, QPainterPath& containerPath);

// The C x C composition over container; the dashed selectionRect is drawn unless output.
QImage compose(const IconStyle& style, int sizeIndex, const QImage& container, const QPainterPath& containerPath,
               const QList<ImageData>& objects, bool output, const QRect& selectionRect = QRect());

// The I x I icon square of the composition, without selection, Format_ARGB32_Premultiplied.
QImage renderOutput(const IconStyle& style, int sizeIndex, const QList<ImageData>& objects);

} // namespace IconRenderer
