#include "boundeddevice.h"

bool BoundedDevice::readExact(qint64 offset, qint64 length, QByteArray& out)
{
    out.clear();
    if (!contains(offset, length))
        return false;
    if (length == 0)
        return true;
    if (offset >= m_keptOffset && length <= m_kept.size() && offset - m_keptOffset <= m_kept.size() - length) {
        out = m_kept.mid(qsizetype(offset - m_keptOffset), qsizetype(length));
        return true;
    }
    if (!m_device.seek(offset))
        return false;
    out.resize(qsizetype(length));
    const qint64 got = m_device.read(out.data(), length);
    if (got != length) {
        out.clear();
        return false;
    }
    return true;
}

bool BoundedDevice::readClipped(qint64 offset, qint64 length, QByteArray& out)
{
    out.clear();
    if (offset < 0 || offset > m_size || length < 0)
        return false;
    return readExact(offset, qMin(length, m_size - offset), out);
}

bool BoundedDevice::keepInMemory(qint64 offset, qint64 length, qint64 maxBytes)
{
    m_kept.clear();
    m_keptOffset = 0;
    if (offset < 0 || offset > m_size || length <= 0)
        return false;
    length = qMin(length, m_size - offset);
    if (length > maxBytes)
        return false;
    QByteArray kept;
    if (!readExact(offset, length, kept))
        return false;
    m_kept = kept;
    m_keptOffset = offset;
    return true;
}
