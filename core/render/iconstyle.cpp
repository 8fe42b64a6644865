#include "iconstyle.h"

#include <QSettings>

// Interface in place; load, save and measuring follow.
void IconStyle::load(QSettings&) {}
void IconStyle::save(QSettings&) const {}

int IconStyle::textSizeFactor() const
{
    return canvasSize >= 3 ? 4 : canvasSize == 2 ? 2 : 1;
}

void IconStyle::measureBadgeText() {}
