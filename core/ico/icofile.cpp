#include "icofile.h"

#include "filesave.h"

namespace IcoFile {

std::optional<QByteArray> directory(const QList<Image>& images, const IcoLayout::Header& header)
{
    const qint64 count = images.size();
    if (count > 0xFFFF)
        return std::nullopt;
    const qint64 directoryBytes = IcoLayout::directoryBytes(count, IcoLayout::kFileEntryBytes);
    QByteArray out;
    out.reserve(qsizetype(directoryBytes));
    IcoLayout::Header stored = header;
    stored.count = quint16(count);
    IcoLayout::appendHeader(out, stored);
    qint64 offset = directoryBytes;
    for (const Image& image : images) {
        const qint64 length = image.payload.size();
        if (offset + length > IcoLayout::kMaxFileBytes)
            return std::nullopt;
        IcoLayout::Entry entry = image.entry;
        entry.length = quint32(length);
        entry.offset = quint32(offset);
        IcoLayout::appendFileEntry(out, entry);
        offset += length;
    }
    return out;
}

std::optional<QByteArray> bytes(const QList<Image>& images, const IcoLayout::Header& header)
{
    auto out = directory(images, header);
    if (!out)
        return std::nullopt;
    qint64 total = out->size();
    for (const Image& image : images)
        total += image.payload.size();
    out->reserve(qsizetype(total));
    for (const Image& image : images)
        out->append(image.payload);
    return out;
}

SaveResult save(const QString& path, const QList<Image>& images, const IcoLayout::Header& header)
{
    const auto head = directory(images, header);
    if (!head)
        return {Failure::TooLarge, QString()};
    QList<QByteArray> parts{*head};
    for (const Image& image : images)
        parts.append(image.payload);
    const FileSave::Result saved = FileSave::save(path, parts);
    switch (saved.failure) {
    case FileSave::Failure::None:
        return {};
    case FileSave::Failure::Open:
        return {Failure::Open, saved.error};
    case FileSave::Failure::Write:
        break;
    }
    return {Failure::Write, saved.error};
}

} // namespace IcoFile
