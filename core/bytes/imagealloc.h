#pragma once

// The one way the readers allocate a decoded image: sides of 1 to kMaxImageSide pixels,
// and no more bytes than QImageReader::allocationLimit() allows (a limit of 0 switches
// that budget off, never the side limit).  A refused size gives a null image.

#include <QImage>

// The largest side any decoder here produces.  Icons are at most 256 pixels wide as DIBs
// and a few at 512 or 1024 as PNG; 4096 leaves room for every real file.
constexpr int kMaxImageSide = 4096;

QImage imageAlloc(qint64 width, qint64 height, QImage::Format format);
