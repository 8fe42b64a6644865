#include "systemresources.h"

#include <QDir>
#include <QFileInfo>
#include <QtDebug>

#include "kvglobal.h"
#include "peresourcereader.h"

namespace SystemResources {

QString munPath(const QString& libraryPath)
{
    const QString windows = QDir::fromNativeSeparators(KvGlobal::windowsDirectory());
    if (windows.isEmpty())
        return QString();
    const QString name = QFileInfo(QDir::fromNativeSeparators(libraryPath)).fileName();
    if (name.isEmpty())
        return QString();
    const QString mun =
        QDir(windows).filePath(QStringLiteral("SystemResources/%1.mun").arg(name));
    if (!QFileInfo(mun).isFile())
        return QString();
    return mun;
}

QString munFallback(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return QString();
    const QString mun = munPath(path);
    if (mun.isEmpty() || QFileInfo(mun) == QFileInfo(path))
        return QString();
    return mun;
}

bool readIconResourcesOrMun(const QString& path, IconResourceSet& result)
{
    const bool ok = readIconResources(path, result);
    if (!result.groups.isEmpty())
        return ok;
    const QString mun = munFallback(path);
    if (mun.isEmpty())
        return ok;
    IconResourceSet fromMun;
    if (!readIconResources(mun, fromMun))
        return ok;
    qInfo().noquote() << "Reading the icons of" << path << "from" << mun;
    result = fromMun;
    return true;
}

} // namespace SystemResources
