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
    QIODevice& device() { return m_device; }

    bool contains(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_size && length <= m_size - offset;
    }

    // Exactly length bytes at offset, or false (and out cleared) when they are not all there.
    bool readExact(qint64 offset, qint64 length, QByteArray& out);

    // Up to length bytes at offset, cut at the end of the file; false when offset itself is
    // outside the file or the device fails.
    bool readClipped(qint64 offset, qint64 length, QByteArray& out);

private:
    // Reads of up to kSmallRead bytes (directories, data entries, names, the smallest
    // images) are answered from a few blocks of kBlockBytes read around them: a walk
    // makes thousands of them close together, and each would cost a seek and a call.
    // Larger reads go straight into their own buffer, so their bytes are copied and
    // paged in once.
    static constexpr qint64 kSmallRead = 4096;
    static constexpr qint64 kBlockBytes = 65536;
    static constexpr int kBlocks = 4;
    struct Block
    {
        qint64 offset = -1;  // -1: nothing read
        QByteArray bytes;
        quint64 used = 0;    // when it last answered a read
    };

    bool readFromBlock(qint64 offset, qint64 length, QByteArray& out);
    bool readFromDevice(qint64 offset, qint64 length, char* into);

    QIODevice& m_device;
    qint64 m_size;
    Block m_blocks[kBlocks];
    quint64 m_clock = 0;
};
