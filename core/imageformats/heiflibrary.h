#pragma once

#include <libheif/heif.h>

// libheif, loaded on the first HEIF or AVIF file rather than at start-up: with its HEVC
// and AV1 codecs it costs every run of the program several milliseconds to map, and most
// runs never see such a file.  The members are the library's functions, resolved by name.
class HeifLibrary
{
public:
    // The loaded library, or nullptr (with a log line, once) if it cannot be loaded.
    static const HeifLibrary *instance();

#define GLYPHORA_HEIF_FUNCTION(name) decltype(&::name) name = nullptr;
    GLYPHORA_HEIF_FUNCTION(heif_init)
    GLYPHORA_HEIF_FUNCTION(heif_have_decoder_for_format)
    GLYPHORA_HEIF_FUNCTION(heif_context_alloc)
    GLYPHORA_HEIF_FUNCTION(heif_context_free)
    GLYPHORA_HEIF_FUNCTION(heif_context_set_maximum_image_size_limit)
    GLYPHORA_HEIF_FUNCTION(heif_context_read_from_memory_without_copy)
    GLYPHORA_HEIF_FUNCTION(heif_context_get_primary_image_handle)
    GLYPHORA_HEIF_FUNCTION(heif_image_handle_release)
    GLYPHORA_HEIF_FUNCTION(heif_image_handle_get_width)
    GLYPHORA_HEIF_FUNCTION(heif_image_handle_get_height)
    GLYPHORA_HEIF_FUNCTION(heif_image_handle_get_ispe_width)
    GLYPHORA_HEIF_FUNCTION(heif_image_handle_get_ispe_height)
    GLYPHORA_HEIF_FUNCTION(heif_image_handle_has_alpha_channel)
    GLYPHORA_HEIF_FUNCTION(heif_image_handle_is_premultiplied_alpha)
    GLYPHORA_HEIF_FUNCTION(heif_image_handle_get_luma_bits_per_pixel)
    GLYPHORA_HEIF_FUNCTION(heif_image_handle_get_color_profile_type)
    GLYPHORA_HEIF_FUNCTION(heif_image_handle_get_raw_color_profile_size)
    GLYPHORA_HEIF_FUNCTION(heif_image_handle_get_raw_color_profile)
    GLYPHORA_HEIF_FUNCTION(heif_decoding_options_alloc)
    GLYPHORA_HEIF_FUNCTION(heif_decoding_options_free)
    GLYPHORA_HEIF_FUNCTION(heif_decode_image)
    GLYPHORA_HEIF_FUNCTION(heif_image_release)
    GLYPHORA_HEIF_FUNCTION(heif_image_get_plane_readonly)
    GLYPHORA_HEIF_FUNCTION(heif_image_get_width)
    GLYPHORA_HEIF_FUNCTION(heif_image_get_height)
    GLYPHORA_HEIF_FUNCTION(heif_image_get_bits_per_pixel_range)
    GLYPHORA_HEIF_FUNCTION(heif_image_is_premultiplied_alpha)
#undef GLYPHORA_HEIF_FUNCTION

private:
    HeifLibrary() = default;
    bool load();
};
