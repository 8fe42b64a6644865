#include "linuxplatform.h"

#include <QDir>
#include <QFileInfo>

namespace linuxplatform {

namespace {

QString existingFolder(const QString& path)
{
    return QFileInfo(path).isDir() ? QDir::cleanPath(path) : QString();
}

QString firstExisting(const QString& preferred)
{
    QString folder = existingFolder(preferred);
    if (folder.isEmpty())
        folder = existingFolder(QString::fromLatin1(kWineDllFolder));
    return folder;
}

} // namespace

QString winePrefix()
{
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (!prefix.isEmpty())
        return prefix;
    return QDir::homePath() + QStringLiteral("/.wine");
}

QString windowsDirectory()
{
    return firstExisting(winePrefix() + QStringLiteral("/drive_c/windows"));
}

QString systemDirectory()
{
    return firstExisting(winePrefix() + QStringLiteral("/drive_c/windows/system32"));
}

} // namespace linuxplatform
