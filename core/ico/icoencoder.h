#pragma once

// Writes multi-resolution Windows icon files (.ico) in the layout of icolayout.h, through
// IcoFile.  Every directory entry says: width and height the size below 256 and 0 from
// 256 on (the byte cannot hold more; the PNG's own header gives the size), colour count
// 0, reserved 0, planes 1, bit count 32.  Sizes below 256 carry a 32-bit DIB
// (BITMAPINFOHEADER, bottom-up BGRA, an all-zero AND mask); 256 and up carry a PNG
// stream.  Every entry really is S x S: a picture of other proportions is centred on a
// transparent square.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

namespace IcoEncoder {

constexpr int kDibHeaderBytes = 40;       // BITMAPINFOHEADER
constexpr int kFirstPngSize = 256;        // sizes from here on carry PNG payloads
constexpr int kMasterSide = 256;          // the master of a source file
constexpr qint32 kPixelsPerMetre = 2835;  // 72 dpi
constexpr int kMaxIconSide = 1024;        // the icon square of the largest canvas

// 16, 24, 32, 48, 64, 128, 256, then 512 when the master is wider than 256, then 1024
// when it is wider than 512.
QList<int> iconSizes(int masterWidth);

// sizes ascending, each once: the order of the directory.  Empty when a size lies
// outside 1 .. kMaxIconSide (or none is given).
QList<int> orderedSizes(QList<int> sizes);

// The headerless 32-bit DIB of image: BITMAPINFOHEADER with twice the height, the colour
// rows bottom-up as B, G, R, A of the straight-alpha pixel, then the AND mask, rows padded
// to 32 bits, all zero.
QByteArray encodeDib(const QImage& image);

// image scaled smoothly to fit side x side, centred on a transparent side x side square,
// in Format_ARGB32.
QImage fitToSquare(const QImage& image, int side);

// Writes the .ico of a composed master (every entry scaled from it).  Silent apart from
// the log; the old file stays when anything fails, and reason, when given, says why.
// sizes: the entries to write, in any order; empty for iconSizes() of the master.
bool writeIcoFromImage(const QImage& master, const QString& outputPath, QString* reason = nullptr,
                       const QList<int>& sizes = {});

// Writes the .ico of a picture file: an SVG is rasterised afresh at every size, a raster
// picture is scaled from a master that fits 256 x 256, or the largest of sizes when that
// is larger.  On failure returns false, leaves any old file as it was and, when reason is
// given, says why in a few words.  sizes as above.
bool writeIcoFromSourceFile(const QString& sourcePath, const QString& outputPath, QString* reason = nullptr,
                            const QList<int>& sizes = {});

} // namespace IcoEncoder
