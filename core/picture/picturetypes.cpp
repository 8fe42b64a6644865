#include "picturetypes.h"

#include <QFileInfo>

namespace PictureTypes {

namespace {

bool isFileWithSuffix(const QString& path, const QStringList& suffixes)
{
    if (!QFileInfo(path).isFile())
        return false;
    const QString suffix = lastSuffix(path);
    return !suffix.isEmpty() && suffixes.contains(suffix, Qt::CaseInsensitive);
}

} // namespace

const QStringList& sourceSuffixes()
{
#ifdef GLYPHORA_NO_PHOTO_FORMATS
    // A build without the HEIF/AVIF and JPEG XL readers offers only what it decodes.
    static const QStringList suffixes{
        QStringLiteral("gif"), QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
        QStringLiteral("svg"), QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("webp"),
    };
#else
    static const QStringList suffixes{
        QStringLiteral("avif"), QStringLiteral("gif"), QStringLiteral("heic"), QStringLiteral("heif"),
        QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("jxl"), QStringLiteral("png"),
        QStringLiteral("svg"),  QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("webp"),
    };
#endif
    return suffixes;
}

const QStringList& canvasSuffixes()
{
    static const QStringList suffixes{
        QStringLiteral("gif"), QStringLiteral("jpg"),  QStringLiteral("jpeg"),
        QStringLiteral("png"), QStringLiteral("tiff"), QStringLiteral("webp"),
    };
    return suffixes;
}

QString lastSuffix(const QString& path)
{
    // QFileInfo::suffix() is what follows the last "." of the name, not of the folders.
    return QFileInfo(path).suffix();
}

QString sourceFilterPatterns()
{
    QStringList patterns;
    for (const QString& suffix : sourceSuffixes())
        patterns.append(QStringLiteral("*.") + suffix);
    return patterns.join(QLatin1Char(' '));
}

bool isSourcePicture(const QString& path)
{
    return isFileWithSuffix(path, sourceSuffixes());
}

bool isCanvasPicture(const QString& path)
{
    return isFileWithSuffix(path, canvasSuffixes());
}

} // namespace PictureTypes
