#pragma once

// One image object of a composition: the picture as loaded, and the copy of it that is
// drawn (scaled by scale percent, then rotated by rotation degrees clockwise).

#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>

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
    // displayImage, and rect's size at the current position.  A null image gives 100 %
    // and an empty display image.
    void fitInto(int canvasSide);
    // displayImage from image, scale and rotation; rect keeps its top-left.  A scale of 0
    // or below gives an empty display image and rect.  A scale whose display image would
    // pass kMaxDisplayPixels is lowered to the largest that does not.
    void rebuildDisplayImage();

    // The largest display image, before and after rotation: 64 megapixels (256 MB), room
    // for a 4000 x 3000 photo at 100 % turned by 45 degrees (24.5 megapixels).
    static constexpr qint64 kMaxDisplayPixels = qint64(64) << 20;

    // The scale rebuildDisplayImage draws a picture of size full at, asked scale and
    // rotation given: scale itself, or lowered until the display image fits
    // kMaxDisplayPixels.  What the display image's pixels will be, before any decode.
    static int displayScale(const QSize& full, int scale, int rotation);
    // The size of the display image that rebuildDisplayImage makes (rotated bounding box),
    // empty for a null picture or a scale of 0 or below.
    static QSize displaySize(const QSize& full, int scale, int rotation);

    // image halved again and again (2 x 2 box average in 32-bit premultiplied form), the
    // first entry half of image.  A scale at less than half the full size starts from the
    // smallest of these that is still at least the size asked for, not from the whole
    // photo.  Built on the first rebuild after image changes, once for every object made
    // from the same image (same cacheKey()): all of them hold this one list, which lives
    // as long as one of them does.
    std::shared_ptr<const QList<QImage>> halvings;
    qint64 halvingsOf = 0; // cacheKey() of the image they were made from

    // image scaled smoothly to size, through the halvings; what rebuildDisplayImage draws
    // before rotating.
    QImage scaledImage(const QSize& size);
};
