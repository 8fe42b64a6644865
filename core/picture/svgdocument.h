#pragma once

// One parsed SVG document, rasterised at any size.  The parse is kept, so that an icon's
// many sizes read and parse the file once.  The SVG library's own headers stay inside
// svgdocument.cpp: glib's `signals` would collide with Qt's keyword.

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <memory>

class SvgDocument
{
public:
    SvgDocument();
    ~SvgDocument();
    SvgDocument(SvgDocument&& other) noexcept;
    SvgDocument& operator=(SvgDocument&& other) noexcept;
    SvgDocument(const SvgDocument&) = delete;
    SvgDocument& operator=(const SvgDocument&) = delete;

    // Reads a whole file, refusing one past kMaxFileBytes.  False when it cannot be read.
    static bool readFile(const QString& path, QByteArray& data);

    // Parses the document; false (and an empty document) when it is not valid SVG.
    bool load(const QByteArray& data);
    bool isNull() const;

    // The document's own size in pixels: its width and height, or its viewBox when those
    // are missing or relative.
    QSizeF size() const;

    // Rasterises the whole document into exactly width x height pixels, at the largest size
    // that fits and keeps its proportions, centred on a transparent background (a 100 x 50
    // drawing in a square leaves a transparent band above and below), with the system's
    // fonts.  The result is Format_RGBA8888 with straight
    // alpha.  `out` is assigned only on success.  The same document must not be rendered
    // from two threads at once; give each thread its own.
    bool render(int width, int height, QImage& out) const;

    // Empty when SVG drawings can be drawn; else why not (the SVG library cannot be loaded,
    // or lacks a function), in words for a person.  Loads the library on the first call.
    static QString unavailableReason();
    // The file name of the SVG library to load instead of librsvg's; it counts only before
    // the first document or unavailableReason() (tests name a library that is not there).
    static void setLibraryName(const QString& name);

    // Limits for documents from outside.
    static constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024; // far beyond any real drawing
    static constexpr int kMaxSide = 16384;                   // per edge of the raster

private:
    // Draws the document into target (document units scaled to it) on canvas, a cleared
    // premultiplied image; the one part each SVG library does its own way.
    bool draw(QImage& canvas, const QRectF& target) const;

    struct Private;
    std::unique_ptr<Private> d;
};
