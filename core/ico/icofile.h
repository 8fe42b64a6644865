#pragma once

// Writes .ico files: the header, a directory whose lengths and offsets come from the
// payloads, then the payloads byte for byte.  The encoder and the group assembly both
// write through here.  A file is replaced through FileSave, so a failure never leaves a
// partial file and never touches a file that was there before.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

#include "icolayout.h"

namespace IcoFile {

// One image of the file: its directory entry (length and offset are filled in on
// writing) and its payload.
struct Image
{
    IcoLayout::Entry entry;
    QByteArray payload;
};

// The header and the directory for images, or nothing when the file would be larger than
// its 32-bit offsets reach (IcoLayout::kMaxFileBytes).
std::optional<QByteArray> directory(const QList<Image>& images,
                                    const IcoLayout::Header& header = {});

// The whole file.
std::optional<QByteArray> bytes(const QList<Image>& images, const IcoLayout::Header& header = {});

enum class Failure { None, TooLarge, Open, Write };

struct SaveResult
{
    Failure failure = Failure::None;
    QString error;  // the system's reason for Open and Write ("No space left on device")
    bool ok() const { return failure == Failure::None; }
};

// Writes the file to path atomically.  It logs nothing: the caller says what failed.
SaveResult save(const QString& path, const QList<Image>& images,
                const IcoLayout::Header& header = {});

} // namespace IcoFile
