#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

// Pictures and files the image-format tests make at run time: a known source drawn in
// code, written as PNG, and encoded by Debian's own command-line encoders.
namespace ImageFixtures {

enum class Source { Alpha, Opaque, Deep };

// A smooth, asymmetric picture: red grows to the right, green downwards, blue along the
// diagonal, alpha falls off from one corner.  Every orientation of it looks different.
// Deep pictures run through every 10-bit code instead, held as bit-replicated 16-bit
// values so that any encoder's 16-to-10 or 16-to-12 step is exact; they are for lossless
// files only.
QImage sourceImage(const QSize &size, Source kind);

// The image as it looks once an Exif orientation (1 to 8) is applied, taken from the
// Exif definition of where the stored first row and first column end up.
QImage orientedByExif(const QImage &stored, int orientation);

// PNG bytes of the image, with an eXIf chunk carrying the orientation when it is not 1.
QByteArray pngBytes(const QImage &image, int exifOrientation = 1);

// Runs a tool, returns whether it finished with status 0; its output goes to *log.
bool run(const QString &program, const QStringList &arguments, QString *log);

// Adds rotation and mirroring properties to the primary item (and its alpha item) of a HEIF file written by
// heif-enc, which has no option for them: an 'irot' (quarter turns anticlockwise, -1 for
// none) and an 'imir' (0 swaps top and bottom, 1 swaps left and right, -1 for none).  The new boxes go at the end of 'ipco', their associations onto the primary's
// 'ipma' entry, and every size and file offset that the insertion moves is fixed.
// Returns an empty array if the file is not laid out as expected.
QByteArray withHeifTransform(const QByteArray &heif, int irotQuarterTurns, int imirAxis);

// Sets the coded size ('ispe') of every item to width x height.
QByteArray withHeifCodedSize(const QByteArray &heif, quint32 width, quint32 height);

enum class Codec { Av1, Hevc };

// How the bitstream of heifWithStreamSize states its frame size.  For AV1: a reduced
// still-picture sequence header, or a full one whose frame headers may state sizes of
// up to sizeBits bits a side (0: the fewest bits for the size, as encoders write).
struct StreamSize
{
    quint32 width = 0;
    quint32 height = 0;
    bool reducedHeader = true;
    int sizeBits = 0;
};

// A HEIF file built from nothing, as libheif expects one: a single coded item whose
// 'ispe' says ispe and whose bitstream (the AV1 sequence header or the HEVC SPS, in the
// configuration record and again in the item's data) says stream.  The picture data
// after it is filler that no decoder accepts.
QByteArray heifWithStreamSize(Codec codec, const QSize &ispe, const StreamSize &stream);
// The same with one sequence header (or SPS) per stream, one after the other in the
// configuration record and again in the item's data.
QByteArray heifWithStreamSizes(Codec codec, const QSize &ispe, const QList<StreamSize> &streams);

// The same with a derived item instead ("grid" of one tile, or "iovl"), whose data states
// a width x height canvas, 32-bit fields when a side needs them.
QByteArray heifWithCanvas(const char *itemType, quint32 width, quint32 height);

// A bare JPEG XL codestream that holds just an image header stating width x height.
QByteArray jxlHeaderOnly(quint32 width, quint32 height);

} // namespace ImageFixtures
