#pragma once

// One image object of a composition: the picture as loaded, and the copy of it that is
// drawn (scaled by scale percent, then rotated by rotation degrees clockwise).

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

struct ImageData
{
    QString path;
    QImage image;          // full size; every rebuild starts from it
    QImage displayImage;   // what is drawn, top-left at position
    QPoint position;
    QRect rect;            // position and size of displayImage: hit testing and selection
    int id = 0;            // unique, >= 0; the object's name is "Image" + id
    int scale = 100;       // percent of the full size
    int rotation = 0;      // degrees

    QString name() const { return QStringLiteral("Image%1").arg(id); }

    // Fits image into a canvas of side canvasSide (never enlarging): sets scale and
    // displayImage, and rect's size at the current position.
    void fitInto(int canvasSide);
    // displayImage from image, scale and rotation; rect keeps its top-left.
    void rebuildDisplayImage();
};
