#pragma once

// Turns one icon image payload (an RT_ICON resource or the data of one .ico directory
// entry) into a QImage.  A payload is a complete PNG file or a headerless DIB: a
// BITMAPINFOHEADER, a palette for 1-, 4- and 8-bit images, the colour (XOR) bitmap and
// the transparency (AND) mask, rows bottom-up, each padded to 32 bits.
//
// Rules for payloads nobody here wrote (both decoders):
// - No byte outside the payload is read.  The header, the palette and the whole colour
//   bitmap must lie inside the payload, or the entry is refused.  A mask cut short by the
//   end of the payload reads as 0 bits (opaque) where it is missing.
// - biHeight counts two bitmaps and must be 2 or more; a negative biHeight (top-down
//   rows) is refused, as is a width of 0 or less.
// - Neither side may exceed kMaxImageSide, and the image must fit the allocation limit
//   (imageAlloc), so an absurd width or height allocates nothing.
// - A palette index beyond the palette's length gives black (colour 0) and then the
//   mask's alpha, as an unsupported bit count does.

#include <QByteArray>
#include <QImage>

#include "fastpng.h"

#include "icongrouprecord.h"

namespace IconDecoder {

constexpr qint64 kBitmapInfoHeaderSize = 40;
constexpr qint64 kPaletteEntrySize = 4;  // blue, green, red, reserved (never alpha)

// Decodes an RT_ICON payload that the PE resource reader collected and appends it, as an
// entry of depth groupBitCount, to record; the widest image becomes the record's image
// (strictly wider, so the first of equal widths stays).  A payload that is not usable
// logs its line with entryNumber and leaves the record unchanged.
void decodeIconEntry(const QByteArray& payload, int entryNumber, IconGroupRecord& record,
                     int groupBitCount);

// The DIB fallback of the loader and .ico paths, sized by the directory entry's width
// and height bytes; when either byte is 0, by biWidth and biHeight / 2 (a square of
// biHeight / 2 for every square icon).  bitCount receives the
// payload's biBitCount (0 when the header is not there).  Gives a Format_RGBA64 image, or
// a null image for a payload the rules above refuse; it logs nothing.
QImage decodeModuleDib(const QByteArray& payload, int entryWidth, int entryHeight,
                       int* bitCount = nullptr);

// True when a payload starts with the PNG signature's first four bytes.
bool isPngPayload(const QByteArray& payload);

// A PNG payload as Qt's reader decodes it (the quick road of fastpng.h where it applies);
// null when it does not decode.  With Metadata::Ignored the pixels are the same, but a
// chunk that only attaches metadata no longer sends the file to Qt's slower reader.
QImage decodePng(const QByteArray& payload, FastPng::Metadata metadata = FastPng::Metadata::AsQt);

} // namespace IconDecoder

using IconDecoder::decodeIconEntry;
using IconDecoder::decodeModuleDib;
