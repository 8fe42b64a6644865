#pragma once

// The layout that an .ico file and an RT_GROUP_ICON resource share, all fields
// little-endian, no padding anywhere:
//   header     6 bytes: reserved 0, type (1 = icon), count
//   directory  count entries: width, height (the size modulo 256, so 0 from 256 up),
//              colour count, reserved (one byte each), planes, bit count (u16), the
//              payload's length (u32), then
//              - in an .ico file: the payload's offset from the start of the file (u32),
//                16 bytes an entry;
//              - in an RT_GROUP_ICON: the RT_ICON ID that holds the payload (u16),
//                14 bytes an entry.
//   payloads   (.ico file only) back to back in directory order, the first at
//              6 + 16 * count.
// The directory is a hint: each payload's own header decides what the image is.

#include <QByteArray>
#include <QtGlobal>

#include <optional>

#include "bytes/bytereader.h"

namespace IcoLayout {

constexpr qint64 kHeaderBytes = 6;
constexpr qint64 kTypeOffset = 2;
constexpr qint64 kCountOffset = 4;
constexpr quint16 kTypeIcon = 1;
constexpr qint64 kFileEntryBytes = 16;
constexpr qint64 kGroupEntryBytes = 14;
// Within an entry: the eight bytes both kinds share, then the length, then the offset
// (file) or the RT_ICON ID (group).
constexpr qint64 kSharedEntryBytes = 8;
constexpr qint64 kLengthOffset = 8;
constexpr qint64 kPayloadOffset = 12;
constexpr qint64 kIconIdOffset = 12;
// Offsets and lengths are 32-bit: no .ico file is larger.
constexpr qint64 kMaxFileBytes = qint64(0xFFFFFFFFu);

struct Header
{
    quint16 reserved = 0;
    quint16 type = kTypeIcon;
    quint16 count = 0;
};

struct Entry
{
    quint8 width = 0;
    quint8 height = 0;
    quint8 colourCount = 0;
    quint8 reserved = 0;
    quint16 planes = 0;
    quint16 bitCount = 0;
    quint32 length = 0;
    quint32 offset = 0;  // .ico file: where the payload starts
    quint16 iconId = 0;  // RT_GROUP_ICON: the RT_ICON that holds the payload
};

// The header and a directory of count entries of entryBytes each, in 64 bits.
inline qint64 directoryBytes(qint64 count, qint64 entryBytes)
{
    return kHeaderBytes + entryBytes * count;
}

// The header, or nothing when the bytes are shorter than one.
inline std::optional<Header> header(const ByteReader& bytes)
{
    const auto reserved = bytes.u16le(0);
    const auto type = bytes.u16le(kTypeOffset);
    const auto count = bytes.u16le(kCountOffset);
    if (!allRead(reserved, type, count))
        return std::nullopt;
    return Header{*reserved, *type, *count};
}

// Entry i of a directory of entryBytes-byte entries, or nothing when it reaches past the
// end of the bytes.
inline std::optional<Entry> entry(const ByteReader& bytes, qint64 i, qint64 entryBytes)
{
    const auto stored = bytes.sub(directoryBytes(i, entryBytes), entryBytes);
    if (!stored)
        return std::nullopt;
    const auto width = stored->u8(0);
    const auto height = stored->u8(1);
    const auto colourCount = stored->u8(2);
    const auto reserved = stored->u8(3);
    const auto planes = stored->u16le(4);
    const auto bitCount = stored->u16le(6);
    const auto length = stored->u32le(kLengthOffset);
    if (!allRead(width, height, colourCount, reserved, planes, bitCount, length))
        return std::nullopt;
    Entry result{*width, *height, *colourCount, *reserved, *planes, *bitCount, *length, 0, 0};
    if (entryBytes == kFileEntryBytes) {
        const auto offset = stored->u32le(kPayloadOffset);
        if (!offset)
            return std::nullopt;
        result.offset = *offset;
    } else {
        const auto iconId = stored->u16le(kIconIdOffset);
        if (!iconId)
            return std::nullopt;
        result.iconId = *iconId;
    }
    return result;
}

inline std::optional<Entry> fileEntry(const ByteReader& ico, qint64 i)
{
    return entry(ico, i, kFileEntryBytes);
}

inline std::optional<Entry> groupEntry(const ByteReader& group, qint64 i)
{
    return entry(group, i, kGroupEntryBytes);
}

inline void appendU16(QByteArray& out, quint16 value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

inline void appendU32(QByteArray& out, quint32 value)
{
    appendU16(out, quint16(value & 0xFFFF));
    appendU16(out, quint16(value >> 16));
}

inline void appendHeader(QByteArray& out, const Header& header)
{
    appendU16(out, header.reserved);
    appendU16(out, header.type);
    appendU16(out, header.count);
}

// The 16 bytes of an .ico file's directory entry.
inline void appendFileEntry(QByteArray& out, const Entry& entry)
{
    out.append(char(entry.width));
    out.append(char(entry.height));
    out.append(char(entry.colourCount));
    out.append(char(entry.reserved));
    appendU16(out, entry.planes);
    appendU16(out, entry.bitCount);
    appendU32(out, entry.length);
    appendU32(out, entry.offset);
}

} // namespace IcoLayout
