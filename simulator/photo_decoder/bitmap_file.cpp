#include "simulator/photo_decoder/bitmap_file.h"

#include <cstdint>

namespace vornsim {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint16_t kBitsPerPixel = 24;
// 96 dots per inch, as most programs write.
constexpr std::uint32_t kPixelsPerMetre = 3780;

void Put16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void Put32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

}  // namespace

std::string EncodeBitmapFile(const RgbPicture& picture, bool top_down) {
    const auto width = static_cast<std::uint32_t>(picture.width);
    const auto height = static_cast<std::uint32_t>(picture.height);
    const std::uint32_t row_size = (width * 3 + 3) / 4 * 4;
    const std::uint32_t image_size = row_size * height;
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;

    std::string out;
    out.reserve(offset + image_size);
    out += "BM";
    Put32(out, offset + image_size);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, kInfoHeaderSize);
    Put32(out, width);
    // A negative height marks rows stored from the top down.
    Put32(out, top_down ? 0u - height : height);
    Put16(out, 1);  // planes
    Put16(out, kBitsPerPixel);
    Put32(out, 0);  // BI_RGB, no compression
    Put32(out, image_size);
    Put32(out, kPixelsPerMetre);
    Put32(out, kPixelsPerMetre);
    Put32(out, 0);  // colours used
    Put32(out, 0);  // important colours

    for (std::uint32_t line = 0; line < height; ++line) {
        const std::uint32_t row = top_down ? line : height - 1 - line;
        const std::uint8_t* source = &picture.pixels[static_cast<std::size_t>(row) * width * 3];
        for (std::uint32_t column = 0; column < width; ++column) {
            out.push_back(static_cast<char>(source[column * 3 + 2]));
            out.push_back(static_cast<char>(source[column * 3 + 1]));
            out.push_back(static_cast<char>(source[column * 3]));
        }
        out.append(row_size - width * 3, '\0');
    }
    return out;
}

}  // namespace vornsim
