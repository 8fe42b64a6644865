#pragma once

// A read-only view over bytes that came from outside the program: a PE file's headers
// and directories, an RT_GROUP_ICON directory, a DIB, an .ico file, the chunks of a PNG,
// the boxes of a HEIF file.  Every accessor checks the range first and answers "no" (an
// empty optional, false, 0 for byteAt) instead of reading past the end.  Offsets and
// lengths are 64-bit and may be negative or huge; the checks never overflow.  Both byte
// orders: the Windows formats are little-endian (le), PNG and ISO media big-endian (be).
// The view does not own its bytes: keep the QByteArray alive while the view is in use.

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

    std::optional<quint16> u16le(qint64 offset) const { return unsignedLe<quint16>(offset, 2); }
    std::optional<quint32> u32le(qint64 offset) const { return unsignedLe<quint32>(offset, 4); }
    std::optional<qint32> i32le(qint64 offset) const
    {
        const auto value = u32le(offset);
        if (!value)
            return std::nullopt;
        return qint32(*value);
    }

    std::optional<quint16> u16be(qint64 offset) const { return unsignedBe<quint16>(offset, 2); }
    std::optional<quint32> u32be(qint64 offset) const { return unsignedBe<quint32>(offset, 4); }
    std::optional<quint64> u64be(qint64 offset) const { return unsignedBe<quint64>(offset, 8); }
    // A big-endian field of 0 to 8 bytes, as ISO media boxes size theirs (0 bytes: 0).
    std::optional<quint64> uintBe(qint64 offset, int bytes) const
    {
        if (bytes < 0 || bytes > 8)
            return std::nullopt;
        return unsignedBe<quint64>(offset, bytes);
    }

    // The four bytes at offset as a chunk, box or brand code, e.g. "IHDR", "ftyp".
    std::optional<QByteArray> fourcc(qint64 offset) const
    {
        if (!contains(offset, 4))
            return std::nullopt;
        return QByteArray(data() + offset, 4);
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

    // True when the length bytes at offset are those of signature.
    bool matches(qint64 offset, const char* signature, qint64 length) const
    {
        if (!contains(offset, length))
            return false;
        for (qint64 i = 0; i < length; ++i) {
            if (m_data[offset + i] != uchar(signature[i]))
                return false;
        }
        return true;
    }
    bool startsWith(const char* signature, qint64 length) const
    {
        return matches(0, signature, length);
    }

private:
    ByteReader(const uchar* data, qint64 size) : m_data(data), m_size(size) {}

    template <typename T>
    std::optional<T> unsignedLe(qint64 offset, int bytes) const
    {
        if (!contains(offset, bytes))
            return std::nullopt;
        T value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = T(value << 8 | m_data[offset + i]);
        return value;
    }

    template <typename T>
    std::optional<T> unsignedBe(qint64 offset, int bytes) const
    {
        if (!contains(offset, bytes))
            return std::nullopt;
        T value = 0;
        for (int i = 0; i < bytes; ++i)
            value = T(value << 8 | m_data[offset + i]);
        return value;
    }

    const uchar* m_data = nullptr;
    qint64 m_size = 0;
};

// True when every read succeeded, for a group of fields read together:
//   const auto width = bytes.u8(0), height = bytes.u8(1);
//   if (!allRead(width, height)) return ...;
template <typename... T>
bool allRead(const std::optional<T>&... values)
{
    return (values.has_value() && ...);
}
