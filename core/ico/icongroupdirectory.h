#pragma once

// The RT_GROUP_ICON payload: a 6-byte header (reserved, type 1 = icon, count) and count
// entries of 14 bytes: width, height, colour count, reserved (one byte each), planes and
// bit count (u16), bytes in resource (u32) and the RT_ICON ID (u16) where an .ico entry
// has its 4-byte image offset.

#include <QByteArray>
#include <QtGlobal>

#include <optional>

#include "bytes/bytereader.h"

namespace IconGroupDirectory {

constexpr qint64 kHeaderBytes = 6;
constexpr qint64 kEntryBytes = 14;
constexpr qint64 kCountOffset = 4;
constexpr qint64 kBitCountOffset = 6;   // within an entry
constexpr qint64 kBytesInResOffset = 8; // within an entry
constexpr qint64 kIconIdOffset = 12;    // within an entry

struct Entry
{
    quint8 width = 0;
    quint8 height = 0;
    quint16 bitCount = 0;
    quint32 bytesInResource = 0;
    quint16 iconId = 0;
    ByteReader bytes;  // the 14 stored bytes
};

// 6 + 14 * count, in 64 bits.
inline qint64 expectedSize(qint64 count)
{
    return kHeaderBytes + kEntryBytes * count;
}

inline std::optional<quint16> count(const ByteReader& group)
{
    if (!group.contains(0, kHeaderBytes))
        return std::nullopt;
    return group.u16le(kCountOffset);
}

// Entry i, or nothing when it reaches past the payload.
inline std::optional<Entry> entry(const ByteReader& group, qint64 i)
{
    const auto bytes = group.sub(kHeaderBytes + kEntryBytes * i, kEntryBytes);
    if (!bytes)
        return std::nullopt;
    const auto width = bytes->u8(0);
    const auto height = bytes->u8(1);
    const auto bitCount = bytes->u16le(kBitCountOffset);
    const auto bytesInResource = bytes->u32le(kBytesInResOffset);
    const auto iconId = bytes->u16le(kIconIdOffset);
    if (!allRead(width, height, bitCount, bytesInResource, iconId))
        return std::nullopt;
    Entry result;
    result.width = *width;
    result.height = *height;
    result.bitCount = *bitCount;
    result.bytesInResource = *bytesInResource;
    result.iconId = *iconId;
    result.bytes = *bytes;
    return result;
}

} // namespace IconGroupDirectory
