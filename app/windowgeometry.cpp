#include "app/windowgeometry.h"

namespace {

// One axis: position p (default pDefault), extent e (at least eMin), screen extent s.
void clampAxis(quint32 screen, std::optional<quint32> storedPos, std::optional<quint32> storedExtent,
               quint32 defaultPos, quint32 minExtent, quint32& pos, quint32& extent)
{
    pos = defaultPos;
    extent = minExtent;
    if (storedPos)
        pos = *storedPos;
    if (pos > screen)
        pos = defaultPos;
    if (storedExtent)
        extent = *storedExtent;
    if (extent < minExtent)
        extent = minExtent;
    else if (extent > screen)
        extent = screen;
    else if (pos + extent > screen)  // unsigned wrap-around is part of the rule
        pos = screen - extent;
}

} // namespace

QRect clampWindowGeometry(quint32 screenWidth, quint32 screenHeight, const StoredWindowGeometry& stored)
{
    quint32 x, y, w, h;
    clampAxis(screenWidth, stored.posX, stored.width, kDefaultWindowX, kMinWindowWidth, x, w);
    clampAxis(screenHeight, stored.posY, stored.height, kDefaultWindowY, kMinWindowHeight, y, h);
    return QRect(static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h));
}
