#include "exportnames.h"

#include <QFileInfo>

namespace ExportNames {

QString iconFileName(const QString& sourcePath)
{
    QString name = QFileInfo(sourcePath).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    return name + QStringLiteral(".ico");
}

QString groupPngFileName(const QString& name, int width, int depth)
{
    return QStringLiteral("%1_%2x%2_%3bits.png").arg(name).arg(width).arg(depth);
}

QString composedPngFileName(int side)
{
    return QStringLiteral("%1x%1.png").arg(side);
}

} // namespace ExportNames
