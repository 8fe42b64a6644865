#pragma once

// One listed icon group: its best image and every image decoded from it in directory
// order.

#include <QImage>
#include <QList>

#include "iconimageentry.h"

struct IconGroupRecord
{
    QImage image;  // the best image of the group, shown in the list
    // The group's resource ID (loader path), an RT_ICON ID (parsed-file path) or 0 (.ico
    // file); -1 while nothing has been found.  Exports act only on ids of 0 or more.
    int id = -1;
    QList<IconImageEntry> entries;
};
