#pragma once

// One decoded image of an icon group.

#include <QImage>

struct IconImageEntry
{
    QImage image;
    int width = 0;  // pixels: the directory's width byte, or the image's width
    int depth = 0;  // bits per pixel as the source records them
};
