#include "icoassembly.h"

#include <QList>
#include <QThreadPool>
#include <QtDebug>

#include "bytes/bytereader.h"
#include "icofile.h"
#include "icolayout.h"
#include "pe/iconmodule.h"
#include "pe/systemresources.h"

namespace IcoAssembly {

namespace {

// Saves are mostly waiting for the disk to confirm; a few at once hide that wait.
constexpr int kParallelSaves = 16;

// The images of one group, each entry's first eight bytes as stored in the group, with
// the payloads from icons; nothing (after a logged line) when the group is malformed or
// names an RT_ICON that is missing.
std::optional<QList<IcoFile::Image>> groupImages(const QByteArray& groupBytes,
                                                 const QMap<quint16, QByteArray>& icons)
{
    const ByteReader group(groupBytes);
    const auto header = IcoLayout::header(group);
    if (!header) {
        qCritical() << "Error: Group Icon data is too small to contain the GRPICONDIR header.";
        return std::nullopt;
    }
    if (header->type != IcoLayout::kTypeIcon) {
        qCritical() << "Error: Group Icon type is not 1 (Icon).";
        return std::nullopt;
    }
    const qint64 count = header->count;
    const qint64 expected = IcoLayout::directoryBytes(count, IcoLayout::kGroupEntryBytes);
    if (group.size() < expected) {
        qCritical() << "Error: Group Icon data size mismatch. Expected" << expected
                    << "bytes but got" << group.size()
                    << "bytes. The count or the image data extraction is likely wrong.";
        return std::nullopt;
    }
    qInfo() << "Found" << count << "icon images in the group to extract.";

    QList<IcoFile::Image> images;
    qint64 offset = IcoLayout::directoryBytes(count, IcoLayout::kFileEntryBytes);
    for (qint64 i = 0; i < count; ++i) {
        const auto entry = IcoLayout::groupEntry(group, i);
        if (!entry)
            return std::nullopt;
        const auto icon = icons.constFind(entry->iconId);
        if (icon == icons.cend()) {
            qCritical() << "Error: Missing RT_ICON resource for ID" << entry->iconId
                        << ". Cannot complete ICO file.";
            return std::nullopt;
        }
        const qint64 length = icon->size();
        if (offset + length > IcoLayout::kMaxFileBytes) {
            qCritical() << "Error: The icon group is too large for an ICO file.";
            return std::nullopt;
        }
        if (length != qint64(entry->length)) {
            qWarning() << "Warning: Data size mismatch for icon ID" << entry->iconId
                       << ". Stored size:" << entry->length
                       << ", Actual QByteArray size:" << length;
        }
        images.append({*entry, *icon});
        offset += length;
    }
    return images;
}

// Writes images to path; false (after a logged line) when it could not.
bool saveImages(const QString& path, const QList<IcoFile::Image>& images,
                const IcoLayout::Header& header = {})
{
    const IcoFile::SaveResult saved = IcoFile::save(path, images, header);
    switch (saved.failure) {
    case IcoFile::Failure::None:
        return true;
    case IcoFile::Failure::TooLarge:
        qCritical() << "Error: The icon group is too large for an ICO file.";
        return false;
    case IcoFile::Failure::Open:
        qCritical().nospace().noquote()
            << "Error: Could not open output file '" << path << "' for writing.";
        return false;
    case IcoFile::Failure::Write:
        qCritical().nospace().noquote()
            << "Error: Could not write output file '" << path << "': " << saved.error;
        return false;
    }
    return false;
}

void logSaved(const QList<IcoFile::Image>& images, const QString& path)
{
    qInfo().noquote() << "Successfully saved icon (containing" << images.size() << "formats) to"
                      << path;
}

} // namespace

QString groupOutputPath(const QString& outputPath, int index, int count)
{
    if (count == 1)
        return outputPath;
    const qsizetype dot = outputPath.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot < 0 ? outputPath : outputPath.left(dot);
    return stem + QStringLiteral("_%1.ico").arg(index);
}

std::optional<QByteArray> assembleGroupAsIco(const QByteArray& group,
                                             const QMap<quint16, QByteArray>& icons)
{
    const auto images = groupImages(group, icons);
    if (!images)
        return std::nullopt;
    return IcoFile::bytes(*images);
}

bool writeGroupAsIco(const QByteArray& group, const QMap<quint16, QByteArray>& icons,
                     const QString& outputPath)
{
    const auto images = groupImages(group, icons);
    if (!images || !saveImages(outputPath, *images))
        return false;
    logSaved(*images, outputPath);
    return true;
}

bool exportFileGroupsAsIco(const QString& sourcePath, const QString& outputPath, QString* reason)
{
    const auto fail = [reason](const QString& text) {
        if (reason)
            *reason = text;
        return false;
    };
    IconResourceSet resources;
    if (!SystemResources::readIconResourcesOrMun(sourcePath, resources))
        return fail(QStringLiteral("not a readable executable or library"));
    if (resources.groups.isEmpty())
        return fail(QStringLiteral("the file holds no icon group"));
    if (resources.icons.isEmpty()) {
        qInfo() << "No complete icon resource found (missing RT_ICON or RT_GROUP_ICON).";
        return fail(QStringLiteral("not every icon group could be written"));
    }

    // Assembled in directory order with their log lines, then saved side by side, then
    // reported in order again.
    const int count = int(resources.groups.size());
    QList<std::optional<QList<IcoFile::Image>>> files;
    files.reserve(count);
    for (const QByteArray& group : qAsConst(resources.groups))
        files.append(groupImages(group, resources.icons));

    QList<char> saved(count, 0);
    QThreadPool pool;
    pool.setMaxThreadCount(kParallelSaves);
    for (int i = 0; i < count; ++i) {
        if (!files.at(i))
            continue;
        const QString path = groupOutputPath(outputPath, i, count);
        const QList<IcoFile::Image>& images = *files.at(i);
        char* result = &saved[i];
        pool.start([path, &images, result] { *result = saveImages(path, images) ? 1 : 0; });
    }
    pool.waitForDone();

    bool all = true;
    for (int i = 0; i < count; ++i) {
        if (!saved.at(i)) {
            all = false;
            continue;
        }
        logSaved(*files.at(i), groupOutputPath(outputPath, i, count));
    }
    return all || fail(QStringLiteral("not every icon group could be written"));
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
    const auto header = IcoLayout::header(group);
    // The entries are read only where the payload holds them: a count larger than the
    // payload fails the export instead of reading past it.
    if (!header
        || group.size() < IcoLayout::directoryBytes(header->count, IcoLayout::kGroupEntryBytes))
        return false;

    QList<IcoFile::Image> images;
    for (qint64 i = 0; i < header->count; ++i) {
        const auto entry = IcoLayout::groupEntry(group, i);
        if (!entry)
            return false;
        const QByteArray payload = module.iconData(entry->iconId);
        if (payload.isEmpty())
            return false;
        images.append({*entry, payload});
    }
    // reserved and type as the group stores them
    return saveImages(outputPath, images, *header);
}

} // namespace IcoAssembly
