// A picture on Linux: a Cairo image surface of 24-bit colour (CAIRO_FORMAT_RGB24).
#pragma once

#include <cairo.h>

#include <cstddef>

#include "platform/graphics_handles_posix.h"

namespace vorn {

struct PictureState {
    CairoSurface surface;
};

// Takes over the surface; null when the surface is not usable.
PictureState* WrapSurface(CairoSurface surface);

// Decodes image file bytes into a new surface; null when they cannot be decoded.
CairoSurface DecodeImageToSurface(const unsigned char* bytes, std::size_t length);

}  // namespace vorn
