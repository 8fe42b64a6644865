#pragma once

// The one way the decoders and the SVG rasteriser allocate an image: sides of 1 to a
// maximum the caller names, lines QImage can hold, and no more bytes than
// QImageReader::allocationLimit() allows (a limit of 0 switches that budget off, never
// the side limits).  A refused size gives a null image; a size is always checked in 64
// bits before anything is allocated.

#include <QImage>

#include <limits>

// The largest side any icon decoder here produces.  Icons are at most 256 pixels wide as
// DIBs and a few at 512 or 1024 as PNG; 4096 leaves room for every real file.
constexpr int kMaxImageSide = 4096;
// The largest side of a photo or drawing: what a QImage can hold.
constexpr qint64 kMaxAnyImageSide = std::numeric_limits<int>::max();

// QImageReader::allocationLimit() in bytes, 0 when the limit is switched off.
qint64 allocationLimitBytes();

// Whether a width x height image of bytesPerPixel fits: each side from 1 to maxSide, a line
// of at most INT_MAX bytes, and the whole inside the allocation limit.
bool fitsAllocationLimit(qint64 width, qint64 height, int bytesPerPixel,
                         qint64 maxSide = kMaxImageSide);

// A width x height image of format, or a null image when fitsAllocationLimit() refuses it
// or the memory is not there.
QImage imageAlloc(qint64 width, qint64 height, QImage::Format format,
                  qint64 maxSide = kMaxImageSide);
