#pragma once

// A quick road for the PNG images inside icons: 8-bit RGBA, RGB and grey with alpha, not
// interlaced, as icon editors write them at 256 x 256.  Listing a system library decodes
// hundreds of them, and with Qt's reader most of that time goes to zlib; here the image
// data goes to libdeflate, which inflates it several times faster, and the rest is the
// PNG format's own unfiltering.
//
// The result is the image Qt's PNG reader gives for the same bytes: the same format
// (ARGB32, or RGB32 for RGB), pixels and colour space (from gAMA with the sRGB cHRM).  Whatever
// falls outside that road gives a null image: another bit depth, a palette, interlacing,
// a chunk that changes what Qt gives (tRNS, sRGB, iCCP, text, pHYs, ...), a bad CRC, data
// that does not inflate to exactly the image.  The caller then asks Qt, which decides for
// every such file as it always did.  One kind of broken file decodes here and not in
// Qt: a zlib stream that refers back further than its window, which zlib refuses and
// libdeflate, holding the whole output, still inflates.

#include <QByteArray>
#include <QImage>

namespace FastPng {

enum class Metadata {
    AsQt,     // a chunk that attaches metadata sends the file to Qt, which attaches it
    Ignored,  // such chunks are skipped: the same pixels, without what they attach
};

QImage decode(const QByteArray& png, Metadata metadata = Metadata::AsQt);

} // namespace FastPng
