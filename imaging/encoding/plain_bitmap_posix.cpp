// Each template is a 540 x 340 bitmap file of 24 bits per pixel and is read for every face;
// going through the general decoder cost an intermediate copy of every pixel and a second
// pass to bring it into the surface's layout, more than all the text drawn on the face.
#include "imaging/encoding/plain_bitmap_posix.h"

#include <cstdint>
#include <cstring>

#include "imaging/drawing/uncleared_surface_posix.h"
#include "imaging/encoding/bitmap_file_format.h"
#include "imaging/pixel_colour.h"

namespace vorn {

namespace {

std::uint32_t Read16(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8;
}

// Four bytes read from memory as the file's little-endian order gives them.
std::uint32_t LittleEndian(std::uint32_t loaded) {
    if constexpr (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__) {
        return __builtin_bswap32(loaded);
    }
    return loaded;
}

std::uint32_t Read32(const unsigned char* bytes) {
    return Read16(bytes) | Read16(bytes + 2) << 16;
}

}  // namespace

CairoSurface DecodePlainBitmap(const unsigned char* bytes, std::size_t length, int max_side) {
    if (bytes == nullptr || length < kBitmapHeadersSize || bytes[0] != 'B' || bytes[1] != 'M') {
        return {};
    }
    const std::uint32_t offset = Read32(bytes + 10);
    const std::uint32_t info_size = Read32(bytes + 14);
    const auto width = static_cast<std::int32_t>(Read32(bytes + 18));
    const auto height = static_cast<std::int32_t>(Read32(bytes + 22));
    if (info_size < kBitmapInfoHeaderSize || Read16(bytes + 26) != 1 ||
        Read16(bytes + 28) != kBitmapTrueColourBits || Read32(bytes + 30) != kBitmapUncompressed ||
        width < 1 || height < 1 || width > max_side || height > max_side ||
        offset < kBitmapFileHeaderSize + info_size) {
        return {};
    }
    const auto row_bytes = static_cast<std::size_t>(
        BitmapRowSize(static_cast<std::uint64_t>(width), kBitmapTrueColourBits));
    if (offset > length || (length - offset) / row_bytes < static_cast<std::size_t>(height)) {
        return {};
    }
    // Every pixel is written below.
    CairoSurface surface(CreateUnclearedSurface(width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return {};
    }
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    // The file holds the bottom row first, each pixel as blue, green, red.
    for (std::int32_t y = 0; y < height; ++y) {
        const unsigned char* source = bytes + offset + (height - 1 - y) * row_bytes;
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
        // Read four bytes at a time, a pixel is already the surface's 0x00RRGGBB once the
        // next pixel's first byte is masked off; the row's last pixel is read byte by byte, so
        // that the file's last row is never read past its end.
        for (std::int32_t x = 0; x + 1 < width; ++x, source += 3) {
            std::uint32_t pixel = 0;
            std::memcpy(&pixel, source, sizeof(pixel));
            row[x] = LittleEndian(pixel) & kColourMask;
        }
        row[width - 1] = std::uint32_t{source[2]} << 16 | std::uint32_t{source[1]} << 8 | source[0];
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

}  // namespace vorn
