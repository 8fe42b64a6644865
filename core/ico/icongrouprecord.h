#pragma once

// One listed icon group: its best image and every image decoded from it in directory
// order.

#include <QImage>
#include <QList>

#include <optional>

#include "iconimageentry.h"
#include "pe/iconresourcename.h"

struct IconGroupRecord
{
    QImage image;  // the best image of the group, shown in the list
    // The group's resource ID (loader path), an RT_ICON ID (parsed-file path) or 0 (.ico
    // file); -1 while nothing has been found.  Exports act only on ids of 0 or more.
    int id = -1;
    QList<IconImageEntry> entries;
    // The group's own resource name, an integer ID or a string, as a resource tool names
    // it (not the RT_ICON ID above); none for an .ico file.
    std::optional<IconResourceName> name;
};
