#pragma once

// A composed icon kept as a file (suffix .glyphora), to be opened again in the Create
// tab or rendered by glyphora-cli compose.  A small JSON document, UTF-8:
//
//   {
//     "format": "glyphora-composition",
//     "version": 1,
//     "style": {
//       "Container": {"shape": 1, "radius": 40, "backColor1": "#ffffff", ...},
//       "Badge": {"badgeText": "NEW", "badgeTextFont": "DejaVu Sans,18,-1,5,700,...", ...},
//       "Canvas": {"canvasSize": 1}
//     },
//     "objects": [
//       {"id": 0, "picture": "pictures/logo.png", "x": 22, "y": 22, "scale": 50, "rotation": 0},
//       ...
//     ]
//   }
//
// "style" holds every field of the icon style under its settings group and key, in the
// form the settings store it: ints, bools, colours as "#rrggbb", the font as
// QFont::toString(), canvasSize 1, 2 or 3 for the 256, 512 and 1024 canvas.  A missing
// key takes its first-run value; a value out of range is clamped as the style's controls
// clamp it (and said in a warning).  "objects" lists the image objects in drawing order,
// the first drawn first: the picture's path relative to the document's folder (an
// absolute path is taken as it is; a name that would read as a URL or a share, such as
// v2:logo.png, is written ./v2:logo.png), the top-left position in canvas pixels, the scale
// in percent of the picture's full size, the rotation in degrees clockwise, and the id
// that names the object "Image" + id.  Ids are unique and 0 or more.

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include "iconstyle.h"
#include "imagedata.h"

class CompositionDocument
{
public:
    static constexpr int kVersion = 1;
    static constexpr char kFormatName[] = "glyphora-composition";
    static constexpr char kSuffix[] = "glyphora";

    // Bounds of the object fields: the canvas is at most 1200 pixels wide, the rotation
    // control runs from -360 to 360, and the scale has no upper bound but the display
    // image's budget (ImageData::kMaxDisplayPixels), which lowers it further on drawing.
    static constexpr int kMaxPosition = 100000;
    static constexpr int kMaxRotation = 360;
    static constexpr int kMaxScale = 100000;

    // What one document may ask of the machine, checked before any picture is decoded;
    // past any of them the document is refused with a reason that names the limit.
    // Objects: far more than a 256-pixel icon has room for, few enough to list.
    static constexpr int kMaxObjects = 256;
    // Display images of all objects together: 1 GB at 4 bytes a pixel, i.e. 256 megapixels
    // (each object's scale first lowered as the wheel lowers it, to at most
    // ImageData::kMaxDisplayPixels); four 8000 x 8000 display images fit, twenty do not.
    static constexpr qint64 kMaxDisplayPixels = qint64(256) << 20;
    // The decoded pictures (each distinct file once, an SVG at 1024 x 1024), as their
    // headers state them: another 1 GB at 4 bytes a pixel.  A picture whose header does
    // not tell is decoded within what is left of it before any other.
    static constexpr qint64 kMaxPicturePixels = qint64(256) << 20;

    struct Limits
    {
        int maxObjects = kMaxObjects;
        qint64 maxDisplayPixels = kMaxDisplayPixels;
        qint64 maxPicturePixels = kMaxPicturePixels;
    };
    // The limits fromJson and load apply; lower ones let a fuzzer run quickly.
    Limits limits;

    IconStyle style;
    // Drawing order; pictures loaded, display images built.  Objects made from one picture
    // file (or files of the same bytes) share its one decode (the same QImage data) and
    // its halvings.
    QList<ImageData> objects;

    // The document's bytes for style and objects, picture paths written relative to
    // folder.
    static QByteArray toJson(const IconStyle& style, const QList<ImageData>& objects, const QDir& folder);

    // Reads a document whose pictures are found relative to folder and loads every
    // picture.  On failure returns false with error naming the problem (not JSON, another
    // format or version, a field of the wrong type, a duplicate id, a picture that is
    // missing or does not decode, a picture on another machine (\\host\share, //host/,
    // any URL: reading it would contact that host with the user's credentials), a limit
    // above passed) and leaves the document as it was: nothing half loaded.  warnings
    // gets one line for each value that was clamped.
    bool fromJson(const QByteArray& json, const QDir& folder, QString* error, QStringList* warnings = nullptr);

    // fromJson on the file at path, its folder the pictures' base.
    bool load(const QString& path, QString* error, QStringList* warnings = nullptr);

    // Writes style and objects to path through QSaveFile (an old file stays whole when
    // writing fails).  False with error on failure.
    static bool save(const QString& path, const IconStyle& style, const QList<ImageData>& objects,
                     QString* error);

private:
    // The reason objects (object i made from picture pictureOf[i] of size pictureSizes[...])
    // pass limits, or empty when they keep within them.
    QString checkBudgets(const QList<ImageData>& objects, const QList<QSize>& pictureSizes,
                         const QList<qsizetype>& pictureOf) const;
};
