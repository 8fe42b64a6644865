#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "bytes/bytereader.h"

// libheif hands each coded picture of a HEIF file to its decoder (libde265 for HEVC,
// dav1d for AV1) as it is, and the decoder allocates frames of the size that the
// bitstream itself states, whatever the file's 'ispe' property says.  A hostile file
// can pair a small 'ispe' with a sequence header of 30000 x 30000, so the frame sizes
// are read here from the bitstreams, before anything is decoded.
namespace HeifStreamCheck {

// The largest frame a coded stream may decode to.  For AV1 `width` x `height` is the
// sequence header's max_frame size and `boundWidth` x `boundHeight` what a frame header
// could still state (2^frame_width_bits by 2^frame_height_bits) unless the header is a
// reduced still-picture one; for HEVC all four are the SPS picture size.
struct FrameBound
{
    qint64 width = 0;
    qint64 height = 0;
    qint64 boundWidth = 0;
    qint64 boundHeight = 0;
};

// The largest frame stated by the sequence headers among the OBUs (the low-overhead
// format: every OBU carries its size).  Nothing when the OBUs hold no sequence header;
// ok becomes false when an OBU or a sequence header is cut short.
std::optional<FrameBound> av1FrameBound(const ByteReader &obus, bool *ok);

// The largest picture stated by the SPS NAL units of an hvcC record or of sample data
// whose NAL units carry lengthBytes-byte big-endian sizes.
std::optional<FrameBound> hevcConfigFrameBound(const ByteReader &hvcC, bool *ok);
std::optional<FrameBound> hevcSampleFrameBound(const ByteReader &data, int lengthBytes, bool *ok);

// Walks the file's items and checks every coded picture (AV1 and HEVC items, their
// configuration records) and every derived canvas (grid, overlay) against the byte limit
// at 4 bytes a pixel, the size of the decoded RGBA picture:
// - the stated size must fit the limit itself;
// - an AV1 frame header may still state more than its sequence header's maximum, up to
//   the bound above; that bound may reach 4 times the limit, which every stream written
//   with the fewest bits for its maximum (as encoders write them) satisfies.
// False, with the reason in *why, when a picture states more, or when a coded item
// cannot be found or read in the file (libheif could not decode it either).
bool framesFit(const QByteArray &file, qint64 limitBytes, QString *why);

} // namespace HeifStreamCheck
