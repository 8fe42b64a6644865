#pragma once

// Replaces a file whole: the bytes go to a temporary file beside it (QSaveFile), which
// takes the file's name only when every byte was written, so a failure leaves any old
// file of that name as it was.  QSaveFile::commit() alone does not give that: QFileDevice
// holds the last bytes back (up to 16 KB, so the whole of a small file) and writes them
// while closing, and a failure there is neither reported nor kept from replacing the old
// file with the cut one; a failure of an earlier write loses its reason ("Unknown
// error").  Here the held bytes are flushed before the commit, and a failure keeps the
// system's own reason: "No space left on device", "File too large".

#include <QByteArray>
#include <QList>
#include <QString>

namespace FileSave {

enum class Failure { None, Open, Write };

struct Result
{
    Failure failure = Failure::None;
    QString error;  // the reason, never empty on failure
    bool ok() const { return failure == Failure::None; }
};

// Writes parts, one after the other, as the whole file at path.
Result save(const QString& path, const QList<QByteArray>& parts);

} // namespace FileSave
