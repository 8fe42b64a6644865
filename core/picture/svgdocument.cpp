#include "svgdocument.h"

#include <QLibrary>
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

// The drawing library is loaded on the first SVG, not at start: a raster icon does not pay
// for linking it and the two dozen libraries it brings along.
struct SvgLibrary
{
    decltype(&::rsvg_handle_new_from_data) rsvg_handle_new_from_data = nullptr;
    decltype(&::rsvg_handle_set_dpi) rsvg_handle_set_dpi = nullptr;
    decltype(&::rsvg_handle_get_intrinsic_size_in_pixels) rsvg_handle_get_intrinsic_size_in_pixels = nullptr;
    decltype(&::rsvg_handle_get_intrinsic_dimensions) rsvg_handle_get_intrinsic_dimensions = nullptr;
    decltype(&::rsvg_handle_render_document) rsvg_handle_render_document = nullptr;
    decltype(&::cairo_image_surface_create_for_data) cairo_image_surface_create_for_data = nullptr;
    decltype(&::cairo_surface_status) cairo_surface_status = nullptr;
    decltype(&::cairo_surface_destroy) cairo_surface_destroy = nullptr;
    decltype(&::cairo_create) cairo_create = nullptr;
    decltype(&::cairo_scale) cairo_scale = nullptr;
    decltype(&::cairo_translate) cairo_translate = nullptr;
    decltype(&::cairo_status) cairo_status = nullptr;
    decltype(&::cairo_destroy) cairo_destroy = nullptr;
    decltype(&::cairo_surface_flush) cairo_surface_flush = nullptr;
    decltype(&::g_object_unref) g_object_unref = nullptr;
    decltype(&::g_error_free) g_error_free = nullptr;
    bool loaded = false;
    QString unavailable; // why not, when not loaded
};

template <typename Function>
bool resolve(QLibrary& library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

// The library's file name before the first document; SvgDocument::setLibraryName changes it.
QString& libraryName()
{
    static QString name = QStringLiteral("rsvg-2");
    return name;
}

SvgLibrary loadSvgLibrary()
{
    SvgLibrary api;
    // Never unloaded: handles may live until the process ends.
    static QLibrary library(libraryName(), 2);
    if (!library.load()) {
        api.unavailable = QStringLiteral("the SVG library (librsvg) cannot be loaded: %1").arg(library.errorString());
        qWarning().noquote() << "SVG drawing is not available:" << api.unavailable;
        return api;
    }
    // cairo, gobject and glib come with it; their symbols resolve through its handle.
    const char* missing = nullptr;
    const auto need = [&](const char* name, auto& function) {
        if (!missing && !resolve(library, name, function))
            missing = name;
    };
    need("rsvg_handle_new_from_data", api.rsvg_handle_new_from_data);
    need("rsvg_handle_set_dpi", api.rsvg_handle_set_dpi);
    need("rsvg_handle_get_intrinsic_size_in_pixels", api.rsvg_handle_get_intrinsic_size_in_pixels);
    need("rsvg_handle_get_intrinsic_dimensions", api.rsvg_handle_get_intrinsic_dimensions);
    need("rsvg_handle_render_document", api.rsvg_handle_render_document);
    need("cairo_image_surface_create_for_data", api.cairo_image_surface_create_for_data);
    need("cairo_surface_status", api.cairo_surface_status);
    need("cairo_surface_destroy", api.cairo_surface_destroy);
    need("cairo_create", api.cairo_create);
    need("cairo_scale", api.cairo_scale);
    need("cairo_translate", api.cairo_translate);
    need("cairo_status", api.cairo_status);
    need("cairo_destroy", api.cairo_destroy);
    need("cairo_surface_flush", api.cairo_surface_flush);
    need("g_object_unref", api.g_object_unref);
    need("g_error_free", api.g_error_free);
    api.loaded = !missing;
    if (missing) {
        // librsvg before 2.52 has no intrinsic size in pixels nor render_document.
        api.unavailable = QStringLiteral("the SVG library %1 lacks %2 (librsvg 2.52 or later is needed)")
                              .arg(library.fileName(), QLatin1String(missing));
        qWarning().noquote() << "SVG drawing is not available:" << api.unavailable;
    }
    return api;
}

const SvgLibrary& svgLibrary()
{
    static const SvgLibrary api = loadSvgLibrary();
    return api;
}

} // namespace

struct SvgDocument::Private
{
    RsvgHandle* handle = nullptr;
    QSizeF size;

    ~Private()
    {
        if (handle)
            svgLibrary().g_object_unref(handle);
    }
};

SvgDocument::SvgDocument() = default;
SvgDocument::~SvgDocument() = default;
SvgDocument::SvgDocument(SvgDocument&& other) noexcept = default;
SvgDocument& SvgDocument::operator=(SvgDocument&& other) noexcept = default;

void SvgDocument::setLibraryName(const QString& name)
{
    libraryName() = name;
}

QString SvgDocument::unavailableReason()
{
    return svgLibrary().unavailable;
}

bool SvgDocument::load(const QByteArray& data)
{
    d.reset();
    if (data.isEmpty() || !svgLibrary().loaded)
        return false;

    GError* error = nullptr;
    // Made from bytes without a base file, the handle refuses references to other files.
    RsvgHandle* handle = svgLibrary().rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(data.constData()),
                                                   static_cast<gsize>(data.size()), &error);
    if (!handle) {
        if (error)
            svgLibrary().g_error_free(error);
        return false;
    }
    svgLibrary().rsvg_handle_set_dpi(handle, kDocumentDpi);

    auto p = std::make_unique<Private>();
    p->handle = handle;

    double width = 0;
    double height = 0;
    if (!svgLibrary().rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height)) {
        // Relative width/height: the viewBox gives the size.
        gboolean hasViewBox = FALSE;
        RsvgRectangle viewBox{};
        svgLibrary().rsvg_handle_get_intrinsic_dimensions(handle, nullptr, nullptr, nullptr, nullptr, &hasViewBox, &viewBox);
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

bool SvgDocument::draw(QImage& canvas, const QRectF& target) const
{
    // Cairo's ARGB32 is Qt's ARGB32_Premultiplied, byte for byte (native-endian words).
    cairo_surface_t* surface = svgLibrary().cairo_image_surface_create_for_data(
        canvas.bits(), CAIRO_FORMAT_ARGB32, canvas.width(), canvas.height(), int(canvas.bytesPerLine()));
    if (svgLibrary().cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        svgLibrary().cairo_surface_destroy(surface);
        return false;
    }
    cairo_t* cr = svgLibrary().cairo_create(surface);
    svgLibrary().cairo_translate(cr, target.x(), target.y());
    svgLibrary().cairo_scale(cr, target.width() / d->size.width(), target.height() / d->size.height());
    const RsvgRectangle viewport{0.0, 0.0, d->size.width(), d->size.height()};
    GError* error = nullptr;
    const bool rendered = svgLibrary().rsvg_handle_render_document(d->handle, cr, &viewport, &error);
    if (error)
        svgLibrary().g_error_free(error);
    const bool cairoOk = svgLibrary().cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    svgLibrary().cairo_destroy(cr);
    svgLibrary().cairo_surface_flush(surface);
    svgLibrary().cairo_surface_destroy(surface);
    return rendered && cairoOk;
}
