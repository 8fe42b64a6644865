#include "boundeddevice.h"

bool BoundedDevice::readExact(qint64 offset, qint64 length, QByteArray& out)
{
    out.clear();
    if (!contains(offset, length))
        return false;
    if (length == 0)
        return true;
    if (length <= kSmallRead && readFromBlock(offset, length, out))
        return true;
    // Allocated to the byte (resize() would leave room to grow that a payload never uses).
    out = QByteArray(qsizetype(length), Qt::Uninitialized);
    if (!readFromDevice(offset, length, out.data())) {
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

bool BoundedDevice::readFromBlock(qint64 offset, qint64 length, QByteArray& out)
{
    Block* oldest = &m_blocks[0];
    for (Block& block : m_blocks) {
        if (block.offset >= 0 && offset >= block.offset && length <= block.bytes.size()
            && offset - block.offset <= block.bytes.size() - length) {
            block.used = ++m_clock;
            out = QByteArray(block.bytes.constData() + (offset - block.offset), qsizetype(length));
            return true;
        }
        if (block.used < oldest->used)
            oldest = &block;
    }
    // From the start of the read's 4 KiB page: a walk reads mostly forwards.  The read
    // (kSmallRead at most, inside the file) always fits in the block.
    const qint64 start = offset - offset % kSmallRead;
    const qint64 bytes = qMin(kBlockBytes, m_size - start);
    oldest->bytes.resize(qsizetype(bytes));
    if (!readFromDevice(start, bytes, oldest->bytes.data())) {
        oldest->offset = -1;
        oldest->used = 0;
        return false;
    }
    oldest->offset = start;
    oldest->used = ++m_clock;
    out = QByteArray(oldest->bytes.constData() + (offset - start), qsizetype(length));
    return true;
}

bool BoundedDevice::readFromDevice(qint64 offset, qint64 length, char* into)
{
    return m_device.seek(offset) && m_device.read(into, length) == length;
}
