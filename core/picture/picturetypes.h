#pragma once

// The picture types the program takes, named by file suffix.  Every check looks at the
// last suffix only ("a.tar.png" is a png, "b.png.txt" is not), in any case, and never
// opens the file: whether the pixels really decode is the readers' business.

#include <QString>
#include <QStringList>

namespace PictureTypes {

// What the Create tab takes as its source, by drop or through the open dialog:
// avif gif heic heif jpg jpeg jxl png svg tif tiff webp, in this order.
const QStringList& sourceSuffixes();

// What can be dropped on the canvas as a further image object: gif jpg jpeg png tiff
// webp.  No svg (the canvas draws decoded pixels only), no tif, no heic/heif/avif/jxl.
const QStringList& canvasSuffixes();

// What follows the last "." of the file name; empty for a name without one.
QString lastSuffix(const QString& path);

// "*.avif *.gif ... *.webp": the patterns of the open dialog's filter.
QString sourceFilterPatterns();

// True for an existing regular file whose last suffix is one of sourceSuffixes().
bool isSourcePicture(const QString& path);

// True for an existing regular file whose last suffix is one of canvasSuffixes().
bool isCanvasPicture(const QString& path);

} // namespace PictureTypes
