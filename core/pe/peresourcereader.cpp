#include "peresourcereader.h"

#include <QFile>
#include <QSet>
#include <QtDebug>

#include "bytes/boundeddevice.h"
#include "bytes/bytereader.h"
#include "bytes/mappedbytes.h"

namespace PeResourceReader {

namespace {

constexpr qint64 kDosHeaderSize = 64;
constexpr qint64 kLfanewOffset = 0x3C;
constexpr qint64 kFileHeaderSize = 20;
constexpr qint64 kSectionHeaderSize = 40;
constexpr qint64 kDirectoryHeaderSize = 16;
constexpr qint64 kDirectoryEntrySize = 8;
constexpr qint64 kDataEntrySize = 16;
constexpr quint32 kHighBit = 0x80000000u;
constexpr int kResourceDataDirectory = 2;

// The optional header's fixed layouts: bytes of the standard 16-directory header, the
// offset of NumberOfRvaAndSizes and the offset of the resource directory's RVA.
struct OptionalLayout
{
    qint64 headerSize;
    qint64 rvaCountOffset;
    qint64 resourceRvaOffset;
};
constexpr OptionalLayout kPe32Layout{224, 92, 112};
constexpr OptionalLayout kPe32PlusLayout{240, 108, 128};

// A hostile directory can claim 65535 + 65535 entries at every one of many overlapping
// offsets.  Directories of a real file do not overlap, so the walk never needs more
// entries than the file has 8-byte slots; every directory is also walked at most once,
// which is what keeps a directory that points back at itself from looping.
qint64 entryBudgetFor(qint64 fileSize)
{
    return fileSize / kDirectoryEntrySize;
}

// Payloads of a real file do not overlap either, so together they are smaller than the
// file.  Twice the file's size leaves room for payloads shared by several entries and
// still keeps a file of many entries pointing at one large payload from filling memory.
qint64 payloadBudgetFor(qint64 fileSize)
{
    return 2 * fileSize;
}

// What a shared read may take beyond twice the payloads' own bytes, for the few small
// resources between icons of a file with few icons.
constexpr qint64 kSharedSlack = 256 * 1024;

void logTruncated()
{
    qCritical() << "Error: Not a valid PE file (truncated headers).";
}

struct DirectoryEntry
{
    quint32 name;
    quint32 offsetToData;
};

class ResourceWalk
{
public:
    ResourceWalk(BoundedDevice& file, qint64 root, const QList<Section>& sections,
                 IconResourceSet& result)
        : m_file(file), m_root(root), m_sections(sections), m_result(result),
          m_entryBudget(entryBudgetFor(file.size())), m_payloadBudget(payloadBudgetFor(file.size()))
    {
    }

    void run()
    {
        const QList<DirectoryEntry> types = readDirectory(0);
        for (const DirectoryEntry& type : types) {
            if (!(type.offsetToData & kHighBit))
                continue;
            // The whole 32-bit Name: a named type never matches.
            if (type.name != kRtIcon && type.name != kRtGroupIcon)
                continue;
            const QList<DirectoryEntry> names = readDirectory(type.offsetToData & ~kHighBit);
            for (const DirectoryEntry& name : names)
                readName(type.name, name);
        }
    }

private:
    // The entries of the directory at root + offset, in stored order; empty when the
    // directory was seen before, does not fit in the file or exceeds the walk's budget.
    QList<DirectoryEntry> readDirectory(quint32 offset)
    {
        QList<DirectoryEntry> entries;
        if (m_visited.contains(offset))
            return entries;
        m_visited.insert(offset);
        const qint64 start = m_root + qint64(offset);
        QByteArray header;
        if (!m_file.readExact(start, kDirectoryHeaderSize, header))
            return entries;
        // NumberOfNamedEntries at 12, NumberOfIdEntries at 14
        const ByteReader headerView(header);
        const auto named = headerView.u16le(12);
        const auto numbered = headerView.u16le(14);
        if (!allRead(named, numbered))
            return entries;
        const qint64 count = qint64(*named) + qint64(*numbered);
        if (count == 0 || count > m_entryBudget)
            return entries;
        QByteArray block;
        if (!m_file.readExact(start + kDirectoryHeaderSize, count * kDirectoryEntrySize, block))
            return entries;
        m_entryBudget -= count;
        const ByteReader view(block);
        entries.reserve(qsizetype(count));
        for (qint64 i = 0; i < count; ++i) {
            // Name (or ID), then OffsetToData
            const auto nameField = view.u32le(i * kDirectoryEntrySize);
            const auto offsetToData = view.u32le(i * kDirectoryEntrySize + 4);
            if (!allRead(nameField, offsetToData))
                break;
            entries.append({*nameField, *offsetToData});
        }
        return entries;
    }

    void readName(quint32 type, const DirectoryEntry& name)
    {
        if (!(name.offsetToData & kHighBit))
            return;
        const QList<DirectoryEntry> languages = readDirectory(name.offsetToData & ~kHighBit);
        // Only the first stored language is read.
        if (languages.isEmpty() || (languages.first().offsetToData & kHighBit))
            return;
        QByteArray dataEntry;
        if (!m_file.readExact(m_root + qint64(languages.first().offsetToData), kDataEntrySize,
                              dataEntry))
            return;
        // IMAGE_RESOURCE_DATA_ENTRY: OffsetToData (an RVA) at 0, Size at 4
        const ByteReader entryView(dataEntry);
        const auto rva = entryView.u32le(0);
        const auto sizeField = entryView.u32le(4);
        if (!allRead(rva, sizeField))
            return;
        const auto offset = mapRva(*rva, m_sections);
        if (!offset)
            return;
        if (*offset > m_file.size())
            return;
        // Cut at the end of the file, as a plain read there would be.
        const qint64 available = qMin(qint64(*sizeField), m_file.size() - *offset);
        if (available > m_payloadBudget) {
            if (!m_payloadsCut)
                qWarning() << "Warning: Resource payloads exceed the size of the file; skipping the rest.";
            m_payloadsCut = true;
            return;
        }
        m_payloadBudget -= available;
        if (type == kRtIcon) {
            if (name.name & kHighBit)
                return;
            m_places.append({*offset, available, quint16(name.name & 0xFFFF), std::nullopt});
        } else {
            m_places.append({*offset, available, 0, resourceName(name.name)});
        }
    }

public:
    // Reads the payloads the walk found, in the order it found them.
    void readPayloads(PayloadStorage storage)
    {
        qint64 start = m_file.size(), end = 0, total = 0;
        for (const Place& place : std::as_const(m_places)) {
            start = qMin(start, place.offset);
            end = qMax(end, place.offset + place.size);
            total += place.size;
        }
        // The stretch that holds them all, mapped or else read in one go when little
        // else lies between them (the icons of a library are most of its resource
        // section): a read each costs a call to the system and fresh pages for every
        // payload.
        if (storage == PayloadStorage::Shared && end > start) {
            if (auto* file = qobject_cast<QFileDevice*>(&m_file.device()))
                m_result.storage = MappedBytes::map(*file, start, end - start);
            QByteArray bytes;
            if (!m_result.storage && end - start <= 2 * total + kSharedSlack
                && m_file.readExact(start, end - start, bytes)) {
                const auto held = std::make_shared<const QByteArray>(std::move(bytes));
                m_result.storage = std::shared_ptr<const char>(held, held->constData());
            }
            if (m_result.storage)
                m_result.storageBytes = end - start;
        }
        const bool shared = bool(m_result.storage);
        for (const Place& place : std::as_const(m_places)) {
            QByteArray payload;
            if (shared)
                payload = QByteArray::fromRawData(m_result.storage.get() + (place.offset - start),
                                                  qsizetype(place.size));
            else if (!m_file.readExact(place.offset, place.size, payload))
                continue;
            if (place.groupName) {
                m_result.groups.append(payload);
                m_result.groupNames.append(*place.groupName);
            } else {
                m_result.icons.insert(place.id, payload);
            }
        }
    }

private:
    IconResourceName resourceName(quint32 name)
    {
        if (!(name & kHighBit))
            return IconResourceName::fromId(quint16(name & 0xFFFF));
        // IMAGE_RESOURCE_DIR_STRING_U: u16 length in characters, then UTF-16LE.
        const qint64 start = m_root + qint64(name & ~kHighBit);
        QByteArray length;
        QByteArray text;
        if (!m_file.readExact(start, 2, length))
            return IconResourceName::fromString(QString());
        const auto characters = ByteReader(length).u16le(0);
        if (!characters || !m_file.readExact(start + 2, qint64(*characters) * 2, text))
            return IconResourceName::fromString(QString());
        QString value;
        value.reserve(*characters);
        const ByteReader view(text);
        for (qint64 i = 0; i < *characters; ++i) {
            const auto unit = view.u16le(i * 2);
            if (!unit)
                break;
            value.append(QChar(*unit));
        }
        return IconResourceName::fromString(value);
    }

    BoundedDevice& m_file;
    const qint64 m_root;
    const QList<Section>& m_sections;
    IconResourceSet& m_result;
    // Where each payload lies, in walk order.
    struct Place
    {
        qint64 offset;
        qint64 size;
        quint16 id;                                   // of an RT_ICON
        std::optional<IconResourceName> groupName;    // of an RT_GROUP_ICON
    };
    QList<Place> m_places;
    QSet<quint32> m_visited;
    qint64 m_entryBudget;
    qint64 m_payloadBudget;
    bool m_payloadsCut = false;
};

} // namespace

std::optional<qint64> mapRva(quint32 rva, const QList<Section>& sections)
{
    for (const Section& section : sections) {
        // VirtualAddress <= rva < VirtualAddress + VirtualSize, without the sum wrapping.
        if (rva >= section.virtualAddress && rva - section.virtualAddress < section.virtualSize) {
            const qint64 offset =
                qint64(rva - section.virtualAddress) + qint64(section.pointerToRawData);
            if (offset == 0)
                return std::nullopt;
            return offset;
        }
    }
    return std::nullopt;
}

bool readIconResources(const QString& path, IconResourceSet& result, PayloadStorage storage)
{
    result = IconResourceSet();
    QFile file(path);
    // Unbuffered: BoundedDevice keeps the blocks the walk's small reads need, and reads
    // every payload of some size straight into its own buffer, never the whole file (the
    // code and data of a large library are megabytes read and paged in for nothing).
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        qCritical().nospace().noquote() << "Error: Could not open file '" << path << "'";
        return false;
    }
    return readIconResources(file, result, storage);
}

bool readIconResources(QIODevice& device, IconResourceSet& result, PayloadStorage storage)
{
    result = IconResourceSet();
    BoundedDevice file(device);

    // DOS header: e_magic at 0, e_lfanew (i32) at 0x3C.
    QByteArray dos;
    file.readClipped(0, kDosHeaderSize, dos);
    const ByteReader dosView(dos);
    if (dosView.u16le(0) != kDosMagic) {
        qCritical() << "Error: Not a valid PE file (missing MZ signature).";
        return false;
    }
    // A DOS header cut short has no e_lfanew, hence no PE signature.
    const auto lfanew = dosView.i32le(kLfanewOffset);
    QByteArray signature;
    if (!lfanew || !file.readExact(*lfanew, 4, signature)
        || ByteReader(signature).u32le(0) != kPeSignature) {
        qCritical() << "Error: Not a valid PE file (missing PE signature).";
        return false;
    }

    // COFF file header: NumberOfSections at 2, SizeOfOptionalHeader at 16.
    const qint64 fileHeaderStart = qint64(*lfanew) + 4;
    QByteArray fileHeader;
    if (!file.readExact(fileHeaderStart, kFileHeaderSize, fileHeader)) {
        logTruncated();
        return false;
    }
    const auto sectionField = ByteReader(fileHeader).u16le(2);
    const auto optionalField = ByteReader(fileHeader).u16le(16);
    if (!allRead(sectionField, optionalField)) {
        logTruncated();
        return false;
    }
    const qint64 sectionCount = *sectionField;
    const qint64 optionalSize = *optionalField;
    const qint64 optionalStart = fileHeaderStart + kFileHeaderSize;

    QByteArray magicBytes;
    const auto magicField =
        file.readExact(optionalStart, 2, magicBytes) ? ByteReader(magicBytes).u16le(0) : std::nullopt;
    if (!magicField) {
        logTruncated();
        return false;
    }
    const quint16 magic = *magicField;
    OptionalLayout layout;
    if (magic == kPe32Magic) {
        layout = kPe32Layout;
    } else if (magic == kPe32PlusMagic) {
        layout = kPe32PlusLayout;
    } else {
        qCritical().noquote() << "Error: Unknown PE format magic number:"
                              << QString::number(magic, 16);
        return false;
    }

    // The header is read only as far as the file header says it goes: a file with fewer
    // than three data directories has no resource directory, and the section table
    // starts at SizeOfOptionalHeader, as the Windows loader takes it.
    const qint64 readSize = qMin(layout.headerSize, optionalSize);
    QByteArray optional;
    if (!file.readExact(optionalStart, readSize, optional)) {
        logTruncated();
        return false;
    }
    const ByteReader optionalView(optional);
    quint32 resourceRva = 0;
    const auto rvaCount = optionalView.u32le(layout.rvaCountOffset);
    if (rvaCount && *rvaCount > quint32(kResourceDataDirectory)) {
        if (const auto rva = optionalView.u32le(layout.resourceRvaOffset))
            resourceRva = *rva;
    }
    // A library of code alone (most of mingw's and wine's) is read whole: it holds no
    // icon, which is an empty set, not a failure.
    if (resourceRva == 0) {
        qInfo() << "No resource section found in the file.";
        return true;
    }

    QByteArray table;
    if (!file.readExact(optionalStart + optionalSize, sectionCount * kSectionHeaderSize, table)) {
        logTruncated();
        return false;
    }
    const ByteReader tableView(table);
    QList<Section> sections;
    sections.reserve(qsizetype(sectionCount));
    for (qint64 i = 0; i < sectionCount; ++i) {
        // VirtualSize at 8, VirtualAddress at 12, PointerToRawData at 20
        const qint64 at = i * kSectionHeaderSize;
        const auto virtualSize = tableView.u32le(at + 8);
        const auto virtualAddress = tableView.u32le(at + 12);
        const auto rawData = tableView.u32le(at + 20);
        if (!allRead(virtualSize, virtualAddress, rawData)) {
            logTruncated();
            return false;
        }
        sections.append({*virtualSize, *virtualAddress, *rawData});
    }

    const auto root = mapRva(resourceRva, sections);
    if (!root) {
        qCritical() << "Error: Could not map resource RVA to file offset.";
        return false;
    }

    ResourceWalk walk(file, *root, sections, result);
    walk.run();
    walk.readPayloads(storage);
    return true;
}

} // namespace PeResourceReader
