#include "exportnames.h"

#include <QFileInfo>
#include <QHash>

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

QStringList distinctGroupPngFileNames(const QString& name, const QList<QPair<int, int>>& images)
{
    QStringList names;
    QHash<QString, int> taken;  // plain name -> images that asked for it so far
    for (const auto& [width, depth] : images) {
        const QString plain = groupPngFileName(name, width, depth);
        const int n = ++taken[plain];
        // A plain name always ends in "bits.png", so a numbered one never meets it.
        names.append(n == 1 ? plain : plain.chopped(4) + QStringLiteral("_%1.png").arg(n));
    }
    return names;
}

QString composedPngFileName(int side)
{
    return QStringLiteral("%1x%1.png").arg(side);
}

} // namespace ExportNames
