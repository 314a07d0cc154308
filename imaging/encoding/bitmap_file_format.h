// The layout of an uncompressed bitmap file, as the photo decoder writes it and the templates
// are stored: shared by whoever reads or writes one, so that both agree on every size.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn {

// The file header ("BM", file size, reserved, pixel offset) and the smallest info header.
constexpr std::size_t kBitmapFileHeaderSize = 14;
constexpr std::uint32_t kBitmapInfoHeaderSize = 40;
constexpr std::size_t kBitmapHeadersSize = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
// The depth of the photo and the templates: blue, green and red bytes of each pixel.
constexpr std::uint16_t kBitmapTrueColourBits = 24;
// The depth of a bitmap whose pixels also carry an alpha byte.
constexpr std::uint16_t kBitmapAlphaBits = 32;
// The compression field's value for pixels stored as they are.
constexpr std::uint32_t kBitmapUncompressed = 0;

// The bytes of one stored row: its pixels padded to a multiple of four bytes.
constexpr std::uint64_t BitmapRowSize(std::uint64_t width, std::uint64_t bits_per_pixel) {
    return (width * bits_per_pixel / 8 + 3) / 4 * 4;
}

}  // namespace vorn
