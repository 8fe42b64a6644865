#pragma once

#include <QRect>

#include <optional>

// The stored window rectangle as read from "Software\Vantrel\Orvasto"; a value that could
// not be read is empty.  Positions are the 32-bit patterns of signed ints read back
// unsigned, so a window left of the primary monitor reads as a very large x.
struct StoredWindowGeometry
{
    std::optional<quint32> posX;
    std::optional<quint32> posY;
    std::optional<quint32> width;
    std::optional<quint32> height;
};

// Default rectangle and smallest client size of the main window.
constexpr quint32 kDefaultWindowX = 100;
constexpr quint32 kDefaultWindowY = 100;
constexpr quint32 kMinWindowWidth = 986;
constexpr quint32 kMinWindowHeight = 513;

// Clamps the stored rectangle to a screen whose full-screen client area is W x H, in
// unsigned 32-bit arithmetic.  Raising the size to its minimum does not pull the window
// back on screen, and cutting it to the screen keeps its position.
QRect clampWindowGeometry(quint32 screenWidth, quint32 screenHeight, const StoredWindowGeometry& stored);
