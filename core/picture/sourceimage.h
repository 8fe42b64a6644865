#pragma once

// Turning a picture file into pixels: SVG through the SVG rasteriser at a size the caller
// asks for, everything else through Qt's image readers with the format taken from the
// content.  Which one is used depends only on the suffix.

#include <QImage>
#include <QString>

namespace SourceImage {

// The largest size of the same proportions that fits side x side, never below 1 x 1.
QSize fittedSize(const QSize& size, int side);

// True when the last suffix, lower-cased, is "svg".
bool isSvgPath(const QString& path);

// The picture at its natural size, or an SVG rasterised at svgWidth x svgHeight.
// out is assigned only on success.
bool load(const QString& path, int svgWidth, int svgHeight, QImage& out);

// A raster picture at its natural size, decoded with at most maxBytes for its image: for
// a picture whose header does not tell its size, so that it cannot be checked before.
// Qt's allocation limit is lowered to maxBytes (never raised) while it decodes; Qt keeps
// one limit for the whole program, so these decodes take turns.  *lowered tells whether
// the limit was lowered, i.e. whether it may be why a decode failed.  out is assigned
// only on success.
bool loadWithin(const QString& path, qint64 maxBytes, QImage& out, bool* lowered = nullptr);

enum class Decode {
    // Let a reader that can (JPEG) decode straight at a reduced size, never below twice
    // the fitted size, before the smooth scale.
    Reduced,
    // Decode every pixel, then scale.
    Full,
};

// A raster picture scaled to fit side x side (keeping its proportions, smoothly; left as
// it is when it already is side x side).  On failure returns false with the reader's
// reason in *reason, and leaves out as it was.
bool loadRasterFitted(const QString& path, int side, QImage& out, QString* reason = nullptr,
                      Decode decode = Decode::Reduced);

} // namespace SourceImage
