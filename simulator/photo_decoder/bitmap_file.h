// Writes a painted picture as a 24-bit bitmap file image.
#pragma once

#include <string>

#include "simulator/photo_decoder/portrait_painter.h"

namespace vorn::sim {

// The whole file: BITMAPFILEHEADER, BITMAPINFOHEADER, then the rows from the bottom up (or,
// with top_down, from the top down and a negative height) in blue, green, red order, each
// padded to a multiple of four bytes.
std::string EncodeBitmapFile(const RgbPicture& picture, bool top_down = false);

}  // namespace vorn::sim
