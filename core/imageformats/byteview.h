#pragma once

#include <QByteArray>

#include <cstdint>

// A bounded view over bytes read from a file.  Every accessor answers "no" past the end
// instead of reading there; offsets and lengths are checked in 64 bits.
class ByteView
{
public:
    ByteView() = default;
    ByteView(const char *data, qint64 size) : m_data(data), m_size(data && size > 0 ? size : 0) {}
    explicit ByteView(const QByteArray &bytes) : ByteView(bytes.constData(), bytes.size()) {}

    qint64 size() const { return m_size; }
    const char *data() const { return m_data; }
    bool has(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_size && length <= m_size - offset;
    }

    bool u8(qint64 offset, quint8 *value) const
    {
        if (!has(offset, 1))
            return false;
        *value = byte(offset);
        return true;
    }
    bool u16be(qint64 offset, quint16 *value) const
    {
        if (!has(offset, 2))
            return false;
        *value = quint16(byte(offset) << 8 | byte(offset + 1));
        return true;
    }
    bool u32be(qint64 offset, quint32 *value) const
    {
        if (!has(offset, 4))
            return false;
        *value = quint32(byte(offset)) << 24 | quint32(byte(offset + 1)) << 16
                 | quint32(byte(offset + 2)) << 8 | quint32(byte(offset + 3));
        return true;
    }
    bool u64be(qint64 offset, quint64 *value) const
    {
        quint32 high = 0, low = 0;
        if (!u32be(offset, &high) || !u32be(offset + 4, &low))
            return false;
        *value = quint64(high) << 32 | low;
        return true;
    }
    // The four bytes at offset as a box or brand code, e.g. "ftyp".
    bool fourcc(qint64 offset, QByteArray *code) const
    {
        if (!has(offset, 4))
            return false;
        *code = QByteArray(m_data + offset, 4);
        return true;
    }
    bool equals(qint64 offset, const char *bytes, qint64 length) const
    {
        if (!has(offset, length))
            return false;
        for (qint64 i = 0; i < length; ++i) {
            if (m_data[offset + i] != bytes[i])
                return false;
        }
        return true;
    }
    ByteView sub(qint64 offset, qint64 length) const
    {
        return has(offset, length) ? ByteView(m_data + offset, length) : ByteView();
    }

private:
    quint8 byte(qint64 offset) const { return quint8(m_data[offset]); }

    const char *m_data = nullptr;
    qint64 m_size = 0;
};
