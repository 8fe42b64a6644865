#include "icoassembly.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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

// The reasons reach the user in the Extract tab's warning box.
QString tr(const char* text)
{
    return QCoreApplication::translate("IcoAssembly", text);
}

// The images of one group, each entry's first eight bytes as stored in the group, with
// the payloads from icons; nothing (after a logged line) when the group is malformed or
// names an RT_ICON that is missing, with the reason in reason when given.
std::optional<QList<IcoFile::Image>> groupImages(const QByteArray& groupBytes,
                                                 const QMap<quint16, QByteArray>& icons,
                                                 QString* reason = nullptr)
{
    auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    const ByteReader group(groupBytes);
    const auto header = IcoLayout::header(group);
    if (!header) {
        qCritical() << "Error: Group Icon data is too small to contain the GRPICONDIR header.";
        return fail(tr("the icon group is too short for its header"));
    }
    if (header->type != IcoLayout::kTypeIcon) {
        qCritical() << "Error: Group Icon type is not 1 (Icon).";
        return fail(tr("the icon group is not of the icon type"));
    }
    const qint64 count = header->count;
    const qint64 expected = IcoLayout::directoryBytes(count, IcoLayout::kGroupEntryBytes);
    if (group.size() < expected) {
        qCritical() << "Error: Group Icon data size mismatch. Expected" << expected
                    << "bytes but got" << group.size()
                    << "bytes. The count or the image data extraction is likely wrong.";
        return fail(tr("the icon group is shorter than its %1 entries").arg(count));
    }
    qInfo() << "Found" << count << "icon images in the group to extract.";

    QList<IcoFile::Image> images;
    qint64 offset = IcoLayout::directoryBytes(count, IcoLayout::kFileEntryBytes);
    for (qint64 i = 0; i < count; ++i) {
        const auto entry = IcoLayout::groupEntry(group, i);
        if (!entry)
            return fail(tr("the icon group is shorter than its %1 entries").arg(count));
        const auto icon = icons.constFind(entry->iconId);
        if (icon == icons.cend()) {
            qCritical() << "Error: Missing RT_ICON resource for ID" << entry->iconId
                        << ". Cannot complete ICO file.";
            return fail(tr("the icon image %1 that the group names is missing").arg(entry->iconId));
        }
        const qint64 length = icon->size();
        if (offset + length > IcoLayout::kMaxFileBytes) {
            qCritical() << "Error: The icon group is too large for an ICO file.";
            return fail(tr("the icon group is too large for an ICO file"));
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

// Writes images to path; the reason (after a logged line naming shownPath, by default
// path) when it could not, else empty.
QString saveImages(const QString& path, const QList<IcoFile::Image>& images,
                   const IcoLayout::Header& header = {}, QString shownPath = QString())
{
    const IcoFile::SaveResult saved = IcoFile::save(path, images, header);
    if (shownPath.isEmpty())
        shownPath = path;
    switch (saved.failure) {
    case IcoFile::Failure::None:
        return QString();
    case IcoFile::Failure::TooLarge:
        qCritical() << "Error: The icon group is too large for an ICO file.";
        return tr("the icon group is too large for an ICO file");
    case IcoFile::Failure::Open:
        qCritical().nospace().noquote()
            << "Error: Could not open output file '" << shownPath << "' for writing.";
        return saved.error.isEmpty() ? tr("the file cannot be opened for writing") : saved.error;
    case IcoFile::Failure::Write:
        qCritical().nospace().noquote()
            << "Error: Could not write output file '" << shownPath << "': " << saved.error;
        return saved.error.isEmpty() ? tr("the file cannot be written") : saved.error;
    }
    return tr("the file cannot be written");
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
    // The dot of the file's own name: "icons.d/app" is the stem itself, not "icons".
    const qsizetype slash = qMax(outputPath.lastIndexOf(QLatin1Char('/')), outputPath.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = outputPath.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot <= slash ? outputPath : outputPath.left(dot);
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
    if (!images || !saveImages(outputPath, *images).isEmpty())
        return false;
    logSaved(*images, outputPath);
    return true;
}

bool ExportResult::ok() const
{
    return error.isEmpty() && failures().isEmpty();
}

QList<FileResult> ExportResult::failures() const
{
    QList<FileResult> failed;
    for (const FileResult& file : files) {
        if (!file.ok())
            failed.append(file);
    }
    return failed;
}

namespace {

// The source's groups and icons, or the reason there are none to write (without the
// source's name: the command line puts it in front, the Extract tab beside the file).
QString readCompleteResources(const QString& sourcePath, IconResourceSet& resources)
{
    if (!SystemResources::readIconResourcesOrMun(sourcePath, resources))
        return tr("not a readable executable or library");
    if (resources.groups.isEmpty())
        return tr("the file holds no icon group");
    if (resources.icons.isEmpty()) {
        qInfo() << "No complete icon resource found (missing RT_ICON or RT_GROUP_ICON).";
        return tr("the file holds no complete icon group");
    }
    return QString();
}

} // namespace

QStringList fileGroupOutputPaths(const QString& sourcePath, const QString& outputPath)
{
    IconResourceSet resources;
    QStringList paths;
    if (!readCompleteResources(sourcePath, resources).isEmpty())
        return paths;
    const int count = int(resources.groups.size());
    for (int i = 0; i < count; ++i)
        paths.append(groupOutputPath(outputPath, i, count));
    return paths;
}

ExportResult exportFileGroups(const QString& sourcePath, const QString& outputPath, const QString& writeFolder)
{
    ExportResult result;
    IconResourceSet resources;
    result.error = readCompleteResources(sourcePath, resources);
    if (!result.error.isEmpty())
        return result;

    // Assembled in directory order with their log lines, then saved side by side, then
    // reported in order again.
    const int count = int(resources.groups.size());
    QList<std::optional<QList<IcoFile::Image>>> files;
    files.reserve(count);
    result.files.reserve(count);
    for (int i = 0; i < count; ++i) {
        FileResult file{QDir::toNativeSeparators(groupOutputPath(outputPath, i, count)), QString()};
        files.append(groupImages(resources.groups.at(i), resources.icons, &file.error));
        result.files.append(file);
    }

    QThreadPool pool;
    pool.setMaxThreadCount(kParallelSaves);
    for (int i = 0; i < count; ++i) {
        if (!files.at(i))
            continue;
        const QString path = groupOutputPath(outputPath, i, count);
        const QString written = writeFolder.isEmpty() ? path : QDir(writeFolder).filePath(QFileInfo(path).fileName());
        const QList<IcoFile::Image>& images = *files.at(i);
        QString* error = &result.files[i].error;
        pool.start([path, written, &images, error] { *error = saveImages(written, images, {}, path); });
    }
    pool.waitForDone();

    for (int i = 0; i < count; ++i) {
        if (result.files.at(i).ok())
            logSaved(*files.at(i), groupOutputPath(outputPath, i, count));
    }
    return result;
}

bool exportFileGroupsAsIco(const QString& sourcePath, const QString& outputPath, QString* reason)
{
    const ExportResult result = exportFileGroups(sourcePath, outputPath);
    if (result.ok())
        return true;
    if (reason) {
        *reason = result.error.isEmpty() ? QStringLiteral("not every icon group could be written")
                                         : result.error;
    }
    return false;
}

FileResult exportModuleGroup(const QString& libraryPath, int groupId, const QString& outputPath)
{
    FileResult result{QDir::toNativeSeparators(outputPath), QString()};
    if (groupId < 0 || groupId > 0xFFFF) {
        result.error = tr("the icon group %1 is not in the library").arg(groupId);
        return result;
    }
    IconModule module(libraryPath);
    if (!module.isOpen()) {
        result.error = tr("the library %1 cannot be loaded").arg(QDir::toNativeSeparators(libraryPath));
        return result;
    }
    const QByteArray groupBytes = module.groupData(IconResourceName::fromId(quint16(groupId)));
    const ByteReader group(groupBytes);
    const auto header = IcoLayout::header(group);
    // The entries are read only where the payload holds them: a count larger than the
    // payload fails the export instead of reading past it.
    if (!header
        || group.size() < IcoLayout::directoryBytes(header->count, IcoLayout::kGroupEntryBytes)) {
        result.error = tr("the icon group %1 is missing or damaged").arg(groupId);
        return result;
    }

    QList<IcoFile::Image> images;
    for (qint64 i = 0; i < header->count; ++i) {
        const auto entry = IcoLayout::groupEntry(group, i);
        if (!entry) {
            result.error = tr("the icon group %1 is missing or damaged").arg(groupId);
            return result;
        }
        const QByteArray payload = module.iconData(entry->iconId);
        if (payload.isEmpty()) {
            result.error = tr("the icon image %1 that the group names is missing").arg(entry->iconId);
            return result;
        }
        images.append({*entry, payload});
    }
    // reserved and type as the group stores them
    result.error = saveImages(outputPath, images, *header);
    return result;
}

bool exportModuleGroupAsIco(const QString& libraryPath, int groupId, const QString& outputPath)
{
    return exportModuleGroup(libraryPath, groupId, outputPath).ok();
}

} // namespace IcoAssembly
