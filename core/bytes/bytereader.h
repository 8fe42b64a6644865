#pragma once

// A read-only view over bytes that came from outside the program: a PE file's headers
// and directories, an RT_GROUP_ICON directory, a DIB, an .ico file.  Every accessor
// checks the range first and answers "no" (an empty optional, an invalid view, 0 for
// byteAt) instead of reading past the end.  Offsets and lengths are 64-bit and may be
// negative or huge; the checks never overflow.  The view does not own its bytes: keep
// the QByteArray alive while the view is in use.

#include <QByteArray>
#include <QtGlobal>

#include <optional>

class ByteReader
{
public:
    ByteReader() = default;
    explicit ByteReader(const QByteArray& bytes)
        : m_data(reinterpret_cast<const uchar*>(bytes.constData())), m_size(bytes.size())
    {
    }

    qint64 size() const { return m_size; }
    const char* data() const { return reinterpret_cast<const char*>(m_data); }
    bool isEmpty() const { return m_size == 0; }

    // True when [offset, offset + length) lies inside the view.
    bool contains(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_size && length <= m_size - offset;
    }

    std::optional<quint8> u8(qint64 offset) const
    {
        if (!contains(offset, 1))
            return std::nullopt;
        return m_data[offset];
    }

    std::optional<quint16> u16le(qint64 offset) const
    {
        if (!contains(offset, 2))
            return std::nullopt;
        return quint16(m_data[offset] | (quint16(m_data[offset + 1]) << 8));
    }

    std::optional<quint32> u32le(qint64 offset) const
    {
        if (!contains(offset, 4))
            return std::nullopt;
        return quint32(m_data[offset]) | (quint32(m_data[offset + 1]) << 8)
            | (quint32(m_data[offset + 2]) << 16) | (quint32(m_data[offset + 3]) << 24);
    }

    std::optional<qint32> i32le(qint64 offset) const
    {
        const auto value = u32le(offset);
        if (!value)
            return std::nullopt;
        return qint32(*value);
    }

    // The sub-range [offset, offset + length), or nothing when it reaches outside.
    std::optional<ByteReader> sub(qint64 offset, qint64 length) const
    {
        if (!contains(offset, length))
            return std::nullopt;
        return ByteReader(m_data + offset, length);
    }

    // Everything from offset to the end, empty when offset is past the end.
    ByteReader tail(qint64 offset) const
    {
        if (offset < 0 || offset >= m_size)
            return ByteReader();
        return ByteReader(m_data + offset, m_size - offset);
    }

    // The byte at index, or 0 past either end: for pixel loops whose row was already
    // checked with sub(), so that a mistake there reads a zero and not a stray byte.
    uchar byteAt(qint64 index) const
    {
        return (index >= 0 && index < m_size) ? m_data[index] : uchar(0);
    }

    // A deep copy of the bytes.
    QByteArray toByteArray() const
    {
        return QByteArray(reinterpret_cast<const char*>(m_data), qsizetype(m_size));
    }

    bool startsWith(const char* signature, qint64 length) const
    {
        if (!contains(0, length))
            return false;
        for (qint64 i = 0; i < length; ++i) {
            if (m_data[i] != uchar(signature[i]))
                return false;
        }
        return true;
    }

private:
    ByteReader(const uchar* data, qint64 size) : m_data(data), m_size(size) {}

    const uchar* m_data = nullptr;
    qint64 m_size = 0;
};
