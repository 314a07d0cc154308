#include "simulator/photo_decoder/bitmap_file.h"

#include <cstdint>

#include "imaging/encoding/bitmap_file_format.h"

using namespace vorn;

namespace vorn::sim {

namespace {

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
    const auto row_size = static_cast<std::uint32_t>(BitmapRowSize(width, kBitmapTrueColourBits));
    const std::uint32_t image_size = row_size * height;
    const auto offset = static_cast<std::uint32_t>(kBitmapHeadersSize);

    std::string out;
    out.reserve(offset + image_size);
    out += "BM";
    Put32(out, offset + image_size);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, kBitmapInfoHeaderSize);
    Put32(out, width);
    // A negative height marks rows stored from the top down.
    Put32(out, top_down ? 0u - height : height);
    Put16(out, 1);  // planes
    Put16(out, kBitmapTrueColourBits);
    Put32(out, kBitmapUncompressed);
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

}  // namespace vorn::sim
