// The common bitmap file of the program's templates and the decoder's photo, read straight
// into a surface.
#pragma once

#include <cairo.h>

#include <cstddef>

#include "platform/graphics_handles_posix.h"

namespace vorn {

// Decodes an uncompressed, bottom-up, 24-bit bitmap file whose pixels all lie within the
// bytes and whose sides do not exceed max_side. Null for any other file, which the general
// decoder then reads; the pixels come out as the general decoder gives them.
CairoSurface DecodePlainBitmap(const unsigned char* bytes, std::size_t length, int max_side);

}  // namespace vorn
