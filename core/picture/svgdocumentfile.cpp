// Reading an SVG file is the same whichever library draws it (svgdocument.cpp with librsvg,
// qtsvg/svgdocument.cpp with Qt SVG).
#include "svgdocument.h"

#include <QFile>

bool SvgDocument::readFile(const QString& path, QByteArray& data)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 length = file.size();
    if (length < 0 || length > kMaxFileBytes)
        return false;
    // A device may grow while read; never take more than the limit.
    QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes || file.error() != QFileDevice::NoError)
        return false;
    data = bytes;
    return true;
}
