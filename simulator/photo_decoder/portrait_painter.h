// Paints the head-and-shoulders portrait that a simulator photo record describes.
#pragma once

#include <cstdint>
#include <vector>

#include "simulator/photo_record.h"

namespace vorn::sim {

// A painted picture: rows from the top, three bytes per pixel in red, green, blue order.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// Paints the portrait at the photo size on a pure white background. Only the background is
// pure white: a colour-keyed copy of the picture then leaves out exactly the background,
// as with the photo of a real card.
RgbPicture PaintPortrait(const PortraitParameters& portrait);

}  // namespace vorn::sim
