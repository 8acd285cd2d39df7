#pragma once

#include <libheif/heif.h>

// The libheif functions the HEIF decoder and the about box call.
#define KESTRIN_HEIF_FUNCTIONS(X)              \
    X(get_version)                             \
    X(context_alloc)                           \
    X(context_free)                            \
    X(context_set_maximum_image_size_limit)    \
    X(context_read_from_reader)                \
    X(context_get_primary_image_handle)        \
    X(image_handle_release)                    \
    X(image_handle_get_width)                  \
    X(image_handle_get_height)                 \
    X(image_handle_has_alpha_channel)          \
    X(image_handle_get_luma_bits_per_pixel)    \
    X(image_handle_get_raw_color_profile_size) \
    X(image_handle_get_raw_color_profile)      \
    X(image_handle_get_nclx_color_profile)     \
    X(nclx_color_profile_free)                 \
    X(decoding_options_alloc)                  \
    X(decoding_options_free)                   \
    X(decode_image)                            \
    X(image_release)                           \
    X(image_get_width)                         \
    X(image_get_height)                        \
    X(image_get_chroma_format)                 \
    X(image_has_channel)                       \
    X(image_get_bits_per_pixel_range)          \
    X(image_get_plane_readonly)

// libheif, loaded the first time a HEIF or AVIF file is decoded rather than
// when a program starts: it brings the HEVC and AV1 codec libraries, whose
// loading and set-up cost every start some milliseconds, about a tenth of a
// large JPEG's whole conversion. Each member is the libheif function of that
// name without its "heif_" prefix.
struct HeifLibrary {
#define KESTRIN_HEIF_POINTER(name) decltype(&::heif_##name) name = nullptr;
    KESTRIN_HEIF_FUNCTIONS(KESTRIN_HEIF_POINTER)
#undef KESTRIN_HEIF_POINTER
};

// The library with every function found, loaded once and kept for the
// process; null when it cannot be loaded. Safe to call from several threads.
const HeifLibrary* LoadHeifLibrary();

// The library once LoadHeifLibrary has found it.
const HeifLibrary& Heif();
