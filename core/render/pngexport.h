#pragma once

// The PNG files the program writes: a composed icon at each chosen size, and the images
// of an icon group.  One writer for the edit page, the Extract tab and the command line.

#include <QImage>
#include <QString>

namespace PngExport {

// The largest PNG side of a composed icon: the icon square of the 1024 canvas.  Beyond
// it a file would only enlarge the render.
constexpr int kMaxComposedSide = 1024;

// The composed icon (the renderer's output) at side x side, scaled smoothly as the PNG
// export does, ignoring proportions (the render is square).
QImage composedAtSize(const QImage& render, int side);

// Writes image as a PNG file (optimised, progressive scan, as the export dialogs write)
// through FileSave: an old file of that name is replaced only by a whole new one.
// The reason ("No space left on device") when it was not written, else empty.
QString savePng(const QImage& image, const QString& path);

// savePng, false with error ("cannot write PATH: reason") on failure.
bool writePng(const QImage& image, const QString& path, QString* error = nullptr);

} // namespace PngExport
