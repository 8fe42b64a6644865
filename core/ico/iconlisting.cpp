#include "iconlisting.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QThreadPool>
#include <QtDebug>

#include "bytes/bytereader.h"
#include "icondecoder.h"
#include "icolayout.h"
#include "bytes/imagealloc.h"
#include "pe/iconmodule.h"
#include "pe/peresourcereader.h"
#include "pe/systemresources.h"

namespace IconListing {

namespace {

// What one listing may hand to the decoders and keep of their output.
class DecodeBudget
{
public:
    explicit DecodeBudget(qint64 fileSize) : m_input(kInputBudgetFactor * fileSize + (1 << 20)) {}

    // False (with one warning) once the payload would take the input over its budget or
    // the images (already kept, plus what this one is expected to need) over theirs.
    bool admit(qint64 payloadBytes, qint64 expectedImageBytes = 0)
    {
        if (m_exhausted)
            return false;
        if (payloadBytes > m_input || m_images + expectedImageBytes > kMaxListingImageBytes) {
            qWarning() << "Warning: The images of this file exceed what one listing decodes;"
                          " the rest is skipped.";
            m_exhausted = true;
            return false;
        }
        m_input -= payloadBytes;
        m_images += expectedImageBytes;
        return true;
    }

    void keep(const QImage& image) { m_images += image.sizeInBytes(); }

private:
    qint64 m_input;
    qint64 m_images = 0;
    bool m_exhausted = false;
};

// Whether the payload starts with the size of a bitmap header (core, info, the two
// later info headers, V4, V5) as a little-endian u32: 0C, 28, 34, 38, 6C or 7C, then three
// zero bytes.  No image format Qt reads starts so: each reader looks for its own signature
// (BM, GIF8, FF D8, II*, RIFF, icns, 00 00 01 00, ...), a TGA needs an image type at its
// third byte (0 here) and a WBMP a type field of 0 at its first.
bool startsWithBitmapHeaderSize(const QByteArray& payload)
{
    const auto size = ByteReader(payload).u32le(0);
    if (!size)
        return false;
    switch (*size) {
    case 12: case 40: case 52: case 56: case 108: case 124:
        return true;
    default:
        return false;
    }
}

// A payload through the image formats Qt reads, PNG on its quick road.  A DIB is not
// offered to them: asking each installed reader whether it knows the bytes costs more than
// decoding an icon, and none of them does.
QImage decodeWithQtReaders(const QByteArray& payload)
{
    if (IconDecoder::isPngPayload(payload))
        return IconDecoder::decodePng(payload);
    if (startsWithBitmapHeaderSize(payload))
        return QImage();
    QImage image;
    image.loadFromData(payload);
    return image;
}

// The loader's and the .ico path's decoding: Qt's readers first (PNG among them), then
// the DIB fallback.  bitCount gets the DIB's biBitCount when the fallback was used.
QImage decodeWithFallback(const QByteArray& payload, int width, int height, bool* viaQt,
                          int* bitCount)
{
    const QImage image = decodeWithQtReaders(payload);
    if (!image.isNull()) {
        *viaQt = true;
        return image;
    }
    *viaQt = false;
    // A PNG that does not decode is a damaged image, as Windows takes it: read as a
    // bitmap, its signature and IHDR would give a picture of noise ("21060-bit").
    if (IconDecoder::isPngPayload(payload))
        return QImage();
    return decodeModuleDib(payload, width, height, bitCount);
}

// What decoding a payload will allocate at most, from its own header: a PNG's IHDR
// width and height (big-endian, at 16 and 20), a DIB's biWidth by biHeight / 2, each side
// capped where the decoders refuse it; 4 bytes a pixel.  A header cut short counts 0.
qint64 estimatedImageBytes(const QByteArray& payload)
{
    const ByteReader bytes(payload);
    qint64 width = 0;
    qint64 height = 0;
    if (IconDecoder::isPngPayload(payload)) {
        const auto pngWidth = bytes.u32be(16);
        const auto pngHeight = bytes.u32be(20);
        if (!allRead(pngWidth, pngHeight))
            return 0;
        width = *pngWidth;
        height = *pngHeight;
    } else {
        width = bytes.i32le(4).value_or(0);
        height = bytes.i32le(8).value_or(0) / 2;
    }
    if (width <= 0 || height <= 0)
        return 0;
    return qMin<qint64>(width, kMaxImageSide) * qMin<qint64>(height, kMaxImageSide) * 4;
}

} // namespace

int bestEntryIndex(const QList<IconImageEntry>& entries)
{
    int best = -1;
    for (int i = 0; i < entries.size(); ++i) {
        if (best < 0 || entries.at(i).width > entries.at(best).width)
            best = i;
    }
    return best;
}

bool loadIconLibrary(const QString& path, QList<IconGroupRecord>& records)
{
    qDebug().noquote() << "loadFile: " << path;
    IconModule module(path);
    if (!module.isOpen())
        return false;
    bool ok = false;
    const QList<IconResourceName> names = module.iconGroupNames(&ok);
    if (!ok)
        return false;
    DecodeBudget budget(QFileInfo(module.resourcePath()).size());

    // The walk through the module, in order and on this thread; the decoding of the
    // payloads it admits is spread over the cores; the images join their records in walk
    // order, so each record is the one a decode one by one would give.
    struct Pending
    {
        qsizetype record;
        QByteArray payload;
        int width;
        int height;
        quint16 iconId;
        QImage image;
        bool viaQt = false;
        int bitCount = 0;
    };
    QList<Pending> pending;
    QList<IconGroupRecord> found;
    for (const IconResourceName& name : names) {
        // Groups with string names are not listed on this path.
        if (!name.isId)
            continue;
        const QByteArray groupBytes = module.groupData(name);
        const ByteReader group(groupBytes);
        const auto header = IcoLayout::header(group);
        if (!header)
            continue;
        IconGroupRecord record;
        record.id = name.id;
        record.name = name;
        for (qint64 i = 0; i < header->count; ++i) {
            // A count larger than the payload: the entries that are there are listed.
            const auto entry = IcoLayout::groupEntry(group, i);
            if (!entry)
                break;
            const QByteArray payload = module.iconData(entry->iconId);
            if (payload.isEmpty() || !budget.admit(payload.size(), estimatedImageBytes(payload)))
                continue;
            pending.append({found.size(), payload, entry->width, entry->height, entry->iconId, {}});
        }
        found.append(record);
    }

    QThreadPool pool;
    for (Pending& item : pending) {
        Pending* task = &item;
        pool.start([task] {
            task->image = decodeWithFallback(task->payload, task->width, task->height, &task->viaQt,
                                             &task->bitCount);
        });
    }
    pool.waitForDone();
    for (const Pending& item : qAsConst(pending)) {
        if (item.image.isNull()) {
            qDebug() << "Skipping an icon image that does not decode, ID" << item.iconId;
            continue;
        }
        IconImageEntry decoded;
        decoded.image = item.image;
        decoded.width = item.width ? item.width : item.image.width();
        // A DIB keeps the bit count it was stored with: the images come back as 64-bit
        // whatever they held, and a 4-, 8- and 32-bit image of one size would otherwise
        // share one PNG name on export and overwrite each other.
        decoded.depth = item.viaQt ? item.image.depth() : item.bitCount;
        found[item.record].entries.append(decoded);
    }
    for (IconGroupRecord& record : found) {
        if (record.entries.isEmpty())
            continue;
        record.image = record.entries.at(bestEntryIndex(record.entries)).image;
        records.append(record);
        qDebug() << "ExtractIconGlobal::IconResourceList: " << records.size();
    }
    qDebug() << "EnumResourceTypes finish";
    return true;
}

bool listFileIcons(const QString& path, QList<IconGroupRecord>& records)
{
    IconResourceSet resources;
    if (!SystemResources::readIconResourcesOrMun(path, resources))
        return false;
    DecodeBudget budget(QFileInfo(path).size());

    // The directory walk, with its log lines, in order; the decoding of the images it
    // admits is spread over the cores; the results join their records in walk order, so
    // each record's entries and best image are those of a decode one by one.
    struct Pending
    {
        qsizetype record;
        const QByteArray* payload;
        int entryNumber;
        int bitCount;
        IconGroupRecord decoded;
    };
    QList<Pending> pending;
    QList<IconGroupRecord> found;
    int entryNumber = 0;
    for (qsizetype g = 0; g < resources.groups.size(); ++g) {
        const ByteReader group(resources.groups.at(g));
        const auto header = IcoLayout::header(group);
        if (!header)
            continue;
        const qint64 count = header->count;
        const qint64 expected = IcoLayout::directoryBytes(count, IcoLayout::kGroupEntryBytes);
        if (group.size() < expected) {
            qWarning() << "Warning: Icon group data is smaller than expected. Found"
                       << group.size() << "bytes, expected" << expected << "for" << count
                       << "icons.";
            continue;
        }
        qDebug() << count << "icons.";
        IconGroupRecord record;
        if (g < resources.groupNames.size())
            record.name = resources.groupNames.at(g);
        for (qint64 j = 0; j < count; ++j) {
            const auto entry = IcoLayout::groupEntry(group, j);
            if (!entry)
                break;
            qDebug() << "iconId: " << entry->iconId;
            qDebug() << "wBitCount: " << entry->bitCount;
            const auto icon = resources.icons.constFind(entry->iconId);
            if (icon == resources.icons.cend())
                continue;
            if (!budget.admit(icon->size(), estimatedImageBytes(*icon)))
                break;
            qDebug() << "i: " << j;
            record.id = entry->iconId;
            pending.append({found.size(), &*icon, entryNumber, entry->bitCount, {}});
            ++entryNumber;
        }
        found.append(record);
    }

    QThreadPool pool;
    for (Pending& item : pending) {
        Pending* task = &item;
        pool.start([task] {
            decodeIconEntry(*task->payload, task->entryNumber, task->decoded, task->bitCount);
        });
    }
    pool.waitForDone();
    for (const Pending& item : qAsConst(pending)) {
        IconGroupRecord& record = found[item.record];
        for (const IconImageEntry& entry : item.decoded.entries) {
            record.entries.append(entry);
            if (record.image.width() < entry.image.width())
                record.image = entry.image;
        }
    }
    records.append(found);
    if (entryNumber == 0)
        qInfo() << "No icons found in the file.";
    return true;
}

bool loadIcoFile(const QString& path, QList<IconGroupRecord>& records)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > kMaxIcoFileBytes) {
        qWarning().noquote() << "Warning: Not reading" << path << "- too large for an icon file.";
        return false;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    listIcoBytes(bytes, records);
    return true;
}

void listIcoBytes(const QByteArray& bytes, QList<IconGroupRecord>& records)
{
    const ByteReader ico(bytes);
    DecodeBudget budget(ico.size());

    IconGroupRecord record;
    record.id = 0;
    const auto header = IcoLayout::header(ico);
    const qint64 count = header ? header->count : 0;
    for (qint64 i = 0; i < count; ++i) {
        const auto entry = IcoLayout::fileEntry(ico, i);
        if (!entry) {
            qDebug() << "The icon directory ends at entry" << i << "of" << count;
            break;
        }
        const auto payloadBytes = ico.sub(entry->offset, entry->length);
        if (!payloadBytes) {
            qDebug() << "Skipping icon entry" << i << "whose data reaches past the end of the file";
            continue;
        }
        if (!budget.admit(entry->length))
            break;
        const QByteArray payload = payloadBytes->toByteArray();
        bool viaQt = false;
        int bitCount = 0;
        const QImage image =
            decodeWithFallback(payload, entry->width, entry->height, &viaQt, &bitCount);
        qDebug() << (viaQt ? "png image found" : "bitmap image found");
        if (image.isNull()) {
            qDebug() << "Skipping icon entry" << i << "whose image does not decode";
            continue;
        }
        budget.keep(image);
        IconImageEntry decoded;
        decoded.image = image;
        decoded.width = entry->width ? entry->width : image.width();
        decoded.depth = viaQt ? image.depth() : bitCount;
        record.entries.append(decoded);
    }
    const int best = bestEntryIndex(record.entries);
    if (best >= 0)
        record.image = record.entries.at(best).image;
    records.append(record);
}

} // namespace IconListing
