#pragma once
// libheif, loaded the first time a HEIF or AVIF picture is met rather than when the program starts: it
// brings the HEVC and AV1 codecs with it, which cost every start-up several milliseconds of loading.

#include "core/result.h"

#include <libheif/heif.h>

namespace core {

// The libheif functions the HEIF decoder uses, under their own names.
// clang-format off
#define TORV_HEIF_FUNCTIONS(F)                                                                          \
    F(heif_context_alloc) F(heif_context_free) F(heif_context_set_maximum_image_size_limit)            \
    F(heif_context_read_from_memory_without_copy) F(heif_context_get_primary_image_handle)             \
    F(heif_image_handle_release) F(heif_image_handle_get_width) F(heif_image_handle_get_height)        \
    F(heif_image_handle_has_alpha_channel) F(heif_image_handle_get_luma_bits_per_pixel)                \
    F(heif_image_handle_get_nclx_color_profile) F(heif_nclx_color_profile_free)                        \
    F(heif_image_handle_get_raw_color_profile_size) F(heif_image_handle_get_raw_color_profile)         \
    F(heif_image_handle_get_list_of_metadata_block_IDs) F(heif_image_handle_get_metadata_size)         \
    F(heif_image_handle_get_metadata) F(heif_decoding_options_alloc) F(heif_decoding_options_free)     \
    F(heif_decode_image) F(heif_image_release) F(heif_image_get_plane_readonly)                        \
    F(heif_image_get_width) F(heif_image_get_height) F(heif_image_get_bits_per_pixel_range)            \
    F(heif_image_is_premultiplied_alpha)
// clang-format on

struct HeifLibrary {
#define TORV_HEIF_POINTER(name) decltype(&::name) name = nullptr;
    TORV_HEIF_FUNCTIONS(TORV_HEIF_POINTER)
#undef TORV_HEIF_POINTER
};

// Loads libheif.so.1 once, from whichever thread asks first; later calls give the same answer. Fails with
// a message naming the library when it is missing or lacks a function.
const Result<const HeifLibrary*>& LoadHeifLibrary();

}  // namespace core
