#include "boundeddevice.h"

bool BoundedDevice::readExact(qint64 offset, qint64 length, QByteArray& out)
{
    out.clear();
    if (!contains(offset, length))
        return false;
    if (length == 0)
        return true;
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
