// How the pictures keep a pixel's colour in 32 bits.
#pragma once

#include <cstdint>

namespace vorn {

// A pixel is 0x00RRGGBB in a 32-bit word, on every platform; the top byte is never part of
// its colour (Cairo's RGB24 leaves it undefined, GDI's COLORREF keeps it zero), so it is
// masked off wherever a colour is compared or kept.
constexpr std::uint32_t kColourMask = 0x00FFFFFF;

}  // namespace vorn
