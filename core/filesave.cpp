#include "filesave.h"

#include <QSaveFile>

#include <cerrno>

namespace FileSave {

namespace {

// The system's reason for the write that failed, taken right after it: QFileDevice keeps
// none for a write that stopped part way (the disk filled after some bytes; the flush then
// sets an error without a reason, "Unknown error").
QString reasonOf(const QSaveFile& file, int systemError)
{
    if (systemError != 0)
        return qt_error_string(systemError);
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return QStringLiteral("the file could not be written");
}

} // namespace

Result save(const QString& path, const QList<QByteArray>& parts)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {Failure::Open, file.errorString()};
    errno = 0;
    bool written = true;
    for (const QByteArray& part : parts) {
        if (file.write(part) != part.size()) {
            written = false;
            break;
        }
    }
    written = written && file.flush();
    if (!written) {
        const QString error = reasonOf(file, errno);
        file.cancelWriting();
        return {Failure::Write, error};
    }
    errno = 0;
    if (!file.commit())
        return {Failure::Write, reasonOf(file, errno)};
    return {};
}

} // namespace FileSave
