#include "svgdocument.h"

#include <QFile>
#include <QImageReader>
#include <QtDebug>

// glib names a struct member `signals`; keep Qt's keywords away from its headers.
#undef signals
#include <cairo.h>
#include <librsvg/rsvg.h>

namespace {

// CSS pixels per inch: what absolute units (mm, pt, in) in a document resolve against.
constexpr double kDocumentDpi = 96.0;

// The size used when a document states neither a size nor a viewBox (CSS's default
// replaced-element width and height are 100% of a viewport that does not exist here).
constexpr double kFallbackSide = 100.0;

} // namespace

struct SvgDocument::Private
{
    RsvgHandle* handle = nullptr;
    QSizeF size;

    ~Private()
    {
        if (handle)
            g_object_unref(handle);
    }
};

SvgDocument::SvgDocument() = default;
SvgDocument::~SvgDocument() = default;
SvgDocument::SvgDocument(SvgDocument&& other) noexcept = default;
SvgDocument& SvgDocument::operator=(SvgDocument&& other) noexcept = default;

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

bool SvgDocument::load(const QByteArray& data)
{
    d.reset();
    if (data.isEmpty())
        return false;

    GError* error = nullptr;
    // Made from bytes without a base file, the handle refuses references to other files.
    RsvgHandle* handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(data.constData()),
                                                   static_cast<gsize>(data.size()), &error);
    if (!handle) {
        if (error)
            g_error_free(error);
        return false;
    }
    rsvg_handle_set_dpi(handle, kDocumentDpi);

    auto p = std::make_unique<Private>();
    p->handle = handle;

    double width = 0;
    double height = 0;
    if (!rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height)) {
        // Relative width/height: the viewBox gives the size.
        gboolean hasViewBox = FALSE;
        RsvgRectangle viewBox{};
        rsvg_handle_get_intrinsic_dimensions(handle, nullptr, nullptr, nullptr, nullptr, &hasViewBox, &viewBox);
        if (hasViewBox) {
            width = viewBox.width;
            height = viewBox.height;
        } else {
            width = kFallbackSide;
            height = kFallbackSide;
        }
    }
    if (!(width > 0) || !(height > 0) || !qIsFinite(width) || !qIsFinite(height))
        return false;

    p->size = QSizeF(width, height);
    d = std::move(p);
    return true;
}

bool SvgDocument::isNull() const
{
    return !d;
}

QSizeF SvgDocument::size() const
{
    return d ? d->size : QSizeF();
}

bool SvgDocument::render(int width, int height, QImage& out) const
{
    if (!d || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    const qint64 bytes = qint64(width) * height * 4;
    const int limitMb = QImageReader::allocationLimit();
    if (limitMb > 0 && bytes > qint64(limitMb) * 1024 * 1024)
        return false;

    // Cairo's ARGB32 is Qt's ARGB32_Premultiplied, byte for byte (native-endian words).
    QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return false;
    canvas.fill(Qt::transparent);

    cairo_surface_t* surface = cairo_image_surface_create_for_data(canvas.bits(), CAIRO_FORMAT_ARGB32, width,
                                                                   height, int(canvas.bytesPerLine()));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_t* cr = cairo_create(surface);
    // The document fills its own size; the scale stretches that to width x height.
    cairo_scale(cr, width / d->size.width(), height / d->size.height());
    const RsvgRectangle viewport{0.0, 0.0, d->size.width(), d->size.height()};
    GError* error = nullptr;
    const bool rendered = rsvg_handle_render_document(d->handle, cr, &viewport, &error);
    if (error)
        g_error_free(error);
    const bool cairoOk = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    if (!rendered || !cairoOk)
        return false;

    // Straight alpha: a half-covered red edge stays red, it does not turn dark red.
    QImage straight = canvas.convertToFormat(QImage::Format_RGBA8888);
    if (straight.isNull())
        return false;
    out = straight;
    return true;
}
