#include "heiflibrary.h"

#include <QLibrary>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcHeif)

namespace {

// libheif1's soname: libheif.so.1
constexpr int kHeifSoVersion = 1;

} // namespace

const HeifLibrary *HeifLibrary::instance()
{
    static const HeifLibrary *library = [] {
        static HeifLibrary loaded;
        return loaded.load() ? &loaded : nullptr;
    }();
    return library;
}

bool HeifLibrary::load()
{
    static QLibrary library(QStringLiteral("heif"), kHeifSoVersion);
    if (!library.load()) {
        qCWarning(lcHeif) << "cannot load libheif:" << library.errorString();
        return false;
    }
    bool ok = true;
    auto resolve = [&](auto &function, const char *name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                library.resolve(name));
        if (!function) {
            qCWarning(lcHeif, "libheif has no %s", name);
            ok = false;
        }
    };
#define GLYPHORA_RESOLVE(name) resolve(name, #name);
    GLYPHORA_RESOLVE(heif_init)
    GLYPHORA_RESOLVE(heif_have_decoder_for_format)
    GLYPHORA_RESOLVE(heif_context_alloc)
    GLYPHORA_RESOLVE(heif_context_free)
    GLYPHORA_RESOLVE(heif_context_set_maximum_image_size_limit)
    GLYPHORA_RESOLVE(heif_context_read_from_memory_without_copy)
    GLYPHORA_RESOLVE(heif_context_get_primary_image_handle)
    GLYPHORA_RESOLVE(heif_image_handle_release)
    GLYPHORA_RESOLVE(heif_image_handle_get_width)
    GLYPHORA_RESOLVE(heif_image_handle_get_height)
    GLYPHORA_RESOLVE(heif_image_handle_get_ispe_width)
    GLYPHORA_RESOLVE(heif_image_handle_get_ispe_height)
    GLYPHORA_RESOLVE(heif_image_handle_has_alpha_channel)
    GLYPHORA_RESOLVE(heif_image_handle_is_premultiplied_alpha)
    GLYPHORA_RESOLVE(heif_image_handle_get_luma_bits_per_pixel)
    GLYPHORA_RESOLVE(heif_image_handle_get_color_profile_type)
    GLYPHORA_RESOLVE(heif_image_handle_get_raw_color_profile_size)
    GLYPHORA_RESOLVE(heif_image_handle_get_raw_color_profile)
    GLYPHORA_RESOLVE(heif_decoding_options_alloc)
    GLYPHORA_RESOLVE(heif_decoding_options_free)
    GLYPHORA_RESOLVE(heif_decode_image)
    GLYPHORA_RESOLVE(heif_image_release)
    GLYPHORA_RESOLVE(heif_image_get_plane_readonly)
    GLYPHORA_RESOLVE(heif_image_get_width)
    GLYPHORA_RESOLVE(heif_image_get_height)
    GLYPHORA_RESOLVE(heif_image_get_bits_per_pixel_range)
    GLYPHORA_RESOLVE(heif_image_is_premultiplied_alpha)
#undef GLYPHORA_RESOLVE
    if (!ok)
        return false;
    // once for the process: it loads libheif's codec plugins, if any are installed
    heif_init(nullptr);
    return true;
}
