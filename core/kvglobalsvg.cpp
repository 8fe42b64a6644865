#include "kvglobal.h"

#include "picture/svgdocument.h"

namespace KvGlobal {

bool rasterizeSvg(const QString& path, int width, int height, QImage& out)
{
    QByteArray data;
    if (!SvgDocument::readFile(path, data))
        return false;
    SvgDocument document;
    if (!document.load(data))
        return false;
    return document.render(width, height, out);
}

} // namespace KvGlobal
