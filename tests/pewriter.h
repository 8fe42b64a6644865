#pragma once

// Builds small PE32 and PE32+ files with a resource section, for the reader's tests: the
// DOS header, the PE signature, the COFF header, a 16-directory optional header, a
// section table of ".text" and ".rsrc", and a three-level resource directory written in
// the order the resources were added (not sorted), so that tests control stored order.

#include <QByteArray>
#include <QList>
#include <QString>

class PeWriter
{
public:
    enum class Format { Pe32, Pe32Plus };

    struct Name
    {
        bool isString = false;
        quint32 id = 0;
        QString text;
        static Name fromId(quint32 id) { return {false, id, QString()}; }
        static Name fromString(const QString& text) { return {true, 0, text}; }
    };

    struct Resource
    {
        Name type;
        Name name;
        quint16 language = 0x409;
        QByteArray data;
        bool unmappedRva = false;  // the data entry points outside every section
    };

    explicit PeWriter(Format format = Format::Pe32) : m_format(format) {}

    void add(const Name& type, const Name& name, const QByteArray& data, quint16 language = 0x409,
             bool unmappedRva = false);
    void addIcon(quint16 id, const QByteArray& data) { add(Name::fromId(3), Name::fromId(id), data); }
    void addGroup(const Name& name, const QByteArray& data) { add(Name::fromId(14), name, data); }

    void setMagic(quint16 magic) { m_magic = magic; m_magicSet = true; }
    void setResourceRvaZero(bool zero) { m_rvaZero = zero; }
    void setResourceRvaUnmapped(bool unmapped) { m_rvaUnmapped = unmapped; }

    QByteArray build();

    // Offsets in the last built file: the end of the headers and section table, and the
    // end of the resource directory (its tables, data entries and name strings).
    qint64 headersEnd() const { return m_headersEnd; }
    qint64 directoryEnd() const { return m_directoryEnd; }
    qint64 resourceStart() const { return m_resourceStart; }

    // An RT_GROUP_ICON payload for icons (width, height, bit count, bytes, id).
    struct GroupEntry
    {
        quint8 width;
        quint8 height;
        quint16 bitCount;
        quint32 bytes;
        quint16 id;
    };
    static QByteArray groupPayload(const QList<GroupEntry>& entries, quint16 type = 1);

private:
    Format m_format;
    QList<Resource> m_resources;
    quint16 m_magic = 0;
    bool m_magicSet = false;
    bool m_rvaZero = false;
    bool m_rvaUnmapped = false;
    qint64 m_headersEnd = 0;
    qint64 m_directoryEnd = 0;
    qint64 m_resourceStart = 0;
};
