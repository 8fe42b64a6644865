#pragma once

// Random access to a file (or any seekable device) whose length was taken once at the
// start: every read names an offset and a length, both checked against that length in
// 64 bits before anything is allocated, so a field read from the file can never make
// the program allocate or read more than the file holds.

#include <QByteArray>
#include <QIODevice>

class BoundedDevice
{
public:
    explicit BoundedDevice(QIODevice& device) : m_device(device), m_size(device.size()) {}

    qint64 size() const { return m_size; }

    bool contains(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_size && length <= m_size - offset;
    }

    // Exactly length bytes at offset, or false (and out cleared) when they are not all there.
    bool readExact(qint64 offset, qint64 length, QByteArray& out);

    // Up to length bytes at offset, cut at the end of the file; false when offset itself is
    // outside the file or the device fails.
    bool readClipped(qint64 offset, qint64 length, QByteArray& out);

    // Reads up to length bytes at offset (cut at the end of the file, and not at all past
    // maxBytes) in one go; the reads that then fall wholly inside them are answered from
    // memory, the others from the device as before.  False when nothing was kept.
    bool keepInMemory(qint64 offset, qint64 length, qint64 maxBytes);

private:
    QIODevice& m_device;
    qint64 m_size;
    QByteArray m_kept;
    qint64 m_keptOffset = 0;
};
