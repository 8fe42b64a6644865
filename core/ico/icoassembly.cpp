#include "icoassembly.h"

#include <QList>
#include <QSaveFile>
#include <QThreadPool>
#include <QtDebug>

#include <algorithm>

#include "bytes/bytereader.h"
#include "icongroupdirectory.h"
#include "pe/iconmodule.h"
#include "pe/systemresources.h"

namespace IcoAssembly {

namespace {

constexpr qint64 kIcoHeaderBytes = 6;
constexpr qint64 kIcoEntryBytes = 16;
// Saves are mostly waiting for the disk to confirm; a few at once hide that wait.
constexpr int kParallelSaves = 16;

void appendU16(QByteArray& out, quint16 value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

void appendU32(QByteArray& out, quint32 value)
{
    appendU16(out, quint16(value & 0xFFFF));
    appendU16(out, quint16(value >> 16));
}

// The ICONDIRENTRY for a group entry: its first 8 bytes as stored, then the payload's
// real length and its offset in the file.
void appendDirectoryEntry(QByteArray& out, const IconGroupDirectory::Entry& entry,
                          quint32 length, quint32 offset)
{
    out.append(entry.bytes.sub(0, 8)->toByteArray());
    appendU32(out, length);
    appendU32(out, offset);
}

// An .ico holds 32-bit offsets and lengths; a group whose payloads would not fit there
// cannot be written as one.
constexpr qint64 kMaxIcoBytes = qint64(0xFFFFFFFFu);

} // namespace

QString groupOutputPath(const QString& outputPath, int index, int count)
{
    if (count == 1)
        return outputPath;
    const qsizetype dot = outputPath.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot < 0 ? outputPath : outputPath.left(dot);
    return stem + QStringLiteral("_%1.ico").arg(index);
}

bool saveFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCritical().nospace().noquote()
            << "Error: Could not open output file '" << path << "' for writing.";
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qCritical().nospace().noquote() << "Error: Could not write output file '" << path
                                        << "': " << file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

std::optional<QByteArray> assembleGroupAsIco(const QByteArray& groupBytes,
                                             const QMap<quint16, QByteArray>& icons)
{
    const ByteReader group(groupBytes);
    if (group.size() < IconGroupDirectory::kHeaderBytes) {
        qCritical() << "Error: Group Icon data is too small to contain the GRPICONDIR header.";
        return std::nullopt;
    }
    if (*group.u16le(2) != 1) {
        qCritical() << "Error: Group Icon type is not 1 (Icon).";
        return std::nullopt;
    }
    const qint64 count = *IconGroupDirectory::count(group);
    const qint64 expected = IconGroupDirectory::expectedSize(count);
    if (group.size() < expected) {
        qCritical() << "Error: Group Icon data size mismatch. Expected" << expected
                    << "bytes but got" << group.size()
                    << "bytes. The count or the image data extraction is likely wrong.";
        return std::nullopt;
    }
    qInfo() << "Found" << count << "icon images in the group to extract.";

    QByteArray directory;
    directory.reserve(qsizetype(kIcoHeaderBytes + kIcoEntryBytes * count));
    appendU16(directory, 0);
    appendU16(directory, 1);
    appendU16(directory, quint16(count));
    QList<QByteArray> payloads;
    qint64 offset = kIcoHeaderBytes + kIcoEntryBytes * count;
    for (qint64 i = 0; i < count; ++i) {
        const auto entry = IconGroupDirectory::entry(group, i);
        const auto icon = icons.constFind(entry->iconId);
        if (icon == icons.cend()) {
            qCritical() << "Error: Missing RT_ICON resource for ID" << entry->iconId
                        << ". Cannot complete ICO file.";
            return std::nullopt;
        }
        const qint64 length = icon->size();
        if (offset + length > kMaxIcoBytes) {
            qCritical() << "Error: The icon group is too large for an ICO file.";
            return std::nullopt;
        }
        if (length != qint64(entry->bytesInResource)) {
            qWarning() << "Warning: Data size mismatch for icon ID" << entry->iconId
                       << ". Stored size:" << entry->bytesInResource
                       << ", Actual QByteArray size:" << length;
        }
        appendDirectoryEntry(directory, *entry, quint32(length), quint32(offset));
        payloads.append(*icon);
        offset += length;
    }
    QByteArray ico = directory;
    ico.reserve(qsizetype(offset));
    for (const QByteArray& payload : qAsConst(payloads))
        ico.append(payload);
    return ico;
}

bool writeGroupAsIco(const QByteArray& group, const QMap<quint16, QByteArray>& icons,
                     const QString& outputPath)
{
    const auto ico = assembleGroupAsIco(group, icons);
    if (!ico || !saveFile(outputPath, *ico))
        return false;
    const qint64 count = *IconGroupDirectory::count(ByteReader(group));
    qInfo().noquote() << "Successfully saved icon (containing" << count << "formats) to"
                      << outputPath;
    return true;
}

bool exportFileGroupsAsIco(const QString& sourcePath, const QString& outputPath)
{
    IconResourceSet resources;
    if (!SystemResources::readIconResourcesOrMun(sourcePath, resources))
        return false;
    if (resources.groups.isEmpty() || resources.icons.isEmpty()) {
        qInfo() << "No complete icon resource found (missing RT_ICON or RT_GROUP_ICON).";
        return false;
    }

    // Assembled in directory order with their log lines, then saved side by side, then
    // reported in order again.
    const int count = int(resources.groups.size());
    QList<std::optional<QByteArray>> files;
    files.reserve(count);
    for (const QByteArray& group : qAsConst(resources.groups))
        files.append(assembleGroupAsIco(group, resources.icons));

    QList<char> saved(count, 0);
    QThreadPool pool;
    pool.setMaxThreadCount(kParallelSaves);
    for (int i = 0; i < count; ++i) {
        if (!files.at(i))
            continue;
        const QString path = groupOutputPath(outputPath, i, count);
        const QByteArray& bytes = *files.at(i);
        char* result = &saved[i];
        pool.start([path, &bytes, result] { *result = saveFile(path, bytes) ? 1 : 0; });
    }
    pool.waitForDone();

    bool all = true;
    for (int i = 0; i < count; ++i) {
        if (!saved.at(i)) {
            all = false;
            continue;
        }
        const qint64 entries = *IconGroupDirectory::count(ByteReader(resources.groups.at(i)));
        qInfo().noquote() << "Successfully saved icon (containing" << entries << "formats) to"
                          << groupOutputPath(outputPath, i, count);
    }
    return all;
}

bool exportModuleGroupAsIco(const QString& libraryPath, int groupId, const QString& outputPath)
{
    if (groupId < 0 || groupId > 0xFFFF)
        return false;
    IconModule module(libraryPath);
    if (!module.isOpen())
        return false;
    const QByteArray groupBytes = module.groupData(IconResourceName::fromId(quint16(groupId)));
    const ByteReader group(groupBytes);
    const auto count = IconGroupDirectory::count(group);
    // The entries are read only where the payload holds them: a count larger than the
    // payload fails the export instead of reading past it.
    if (!count || group.size() < IconGroupDirectory::expectedSize(*count))
        return false;

    QByteArray ico;
    ico.append(group.sub(0, 4)->toByteArray());  // reserved and type as stored
    appendU16(ico, *count);
    QList<QByteArray> payloads;
    qint64 offset = kIcoHeaderBytes + kIcoEntryBytes * *count;
    for (qint64 i = 0; i < *count; ++i) {
        const auto entry = IconGroupDirectory::entry(group, i);
        const QByteArray payload = module.iconData(entry->iconId);
        if (payload.isEmpty() || offset + payload.size() > kMaxIcoBytes)
            return false;
        appendDirectoryEntry(ico, *entry, quint32(payload.size()), quint32(offset));
        payloads.append(payload);
        offset += payload.size();
    }
    for (const QByteArray& payload : qAsConst(payloads))
        ico.append(payload);
    return saveFile(outputPath, ico);
}

} // namespace IcoAssembly
