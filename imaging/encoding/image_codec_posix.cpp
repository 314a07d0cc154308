// Pictures on Linux: stb_image reads image files, libjpeg-turbo writes JPEG.
#include <bit>
#include <climits>
#include <cstring>
#include <new>
#include <utility>

#include "imaging/encoding/image_codec.h"
#include "imaging/drawing/picture_posix.h"
#include "imaging/encoding/bitmap_file_format.h"
#include "imaging/encoding/image_encoding.h"
#include "imaging/encoding/plain_bitmap_posix.h"
#include "platform/codec_handles_posix.h"

namespace vorn {

namespace {

// No picture of the program is larger; a header claiming more is refused before memory
// is taken for it.
constexpr int kMaxPictureSide = 4096;

// Cairo keeps each 24-bit pixel in a native-endian 32-bit word 0x00RRGGBB.
constexpr int kCairoPixelFormat =
    std::endian::native == std::endian::little ? TJPF_BGRX : TJPF_XRGB;

std::uint32_t Read32(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

// stb_image fills the missing rows of a cut-off bitmap file with black instead of failing,
// as Windows does; an uncompressed bitmap whose pixels do not all fit in the bytes is
// therefore refused here. Other formats, and compressed bitmaps, are left to the decoder.
bool CutOffBitmap(const unsigned char* bytes, std::size_t length) {
    if (length < kBitmapHeadersSize || bytes[0] != 'B' || bytes[1] != 'M') {
        return false;
    }
    const std::uint32_t offset = Read32(bytes + 10);
    const auto width = static_cast<std::int32_t>(Read32(bytes + 18));
    const auto height = static_cast<std::int32_t>(Read32(bytes + 22));
    const unsigned bits = bytes[28] | bytes[29] << 8;
    const std::uint32_t compression = Read32(bytes + 30);
    if (compression != kBitmapUncompressed || width <= 0 || height == 0 ||
        (bits != kBitmapTrueColourBits && bits != kBitmapAlphaBits)) {
        return false;
    }
    const std::uint64_t row = BitmapRowSize(static_cast<std::uint64_t>(width), bits);
    const std::uint64_t rows =
        height < 0 ? 0ull - static_cast<std::int64_t>(height) : static_cast<std::uint64_t>(height);
    return offset + row * rows > length;
}

}  // namespace

GraphicsSession::GraphicsSession() : started_(true) {}

GraphicsSession::~GraphicsSession() = default;

PictureState* WrapSurface(CairoSurface surface) {
    if (!surface || cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    auto* state = new (std::nothrow) PictureState;
    if (state != nullptr) {
        state->surface = std::move(surface);
    }
    return state;
}

void DestroyPictureState(PictureState* state) {
    delete state;
}

CairoSurface DecodeImageToSurface(const unsigned char* bytes, std::size_t length) {
    if (bytes == nullptr || length == 0 || length > INT_MAX || CutOffBitmap(bytes, length)) {
        return {};
    }
    if (CairoSurface plain = DecodePlainBitmap(bytes, length, kMaxPictureSide)) {
        return plain;
    }
    const int size = static_cast<int>(length);
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info_from_memory(bytes, size, &width, &height, &channels) == 0) {
        return {};
    }
    // For a bitmap stored from the top down the image library reports the header's negative
    // height here, though it reads the picture the right way up like any other.
    if (height < 0 && height != INT_MIN) {
        height = -height;
    }
    if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) {
        return {};
    }
    const DecodedPixels rgb(stbi_load_from_memory(bytes, size, &width, &height, &channels, 3));
    if (!rgb) {
        return {};
    }
    CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return {};
    }
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
        const stbi_uc* source = rgb.get() + static_cast<std::size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            row[x] = (std::uint32_t{source[0]} << 16) | (std::uint32_t{source[1]} << 8) | source[2];
            source += 3;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

bool LoadBitmapFromMemory(const unsigned char* bytes, std::size_t length,
                          ImageMemoryStream& holder) {
    holder.Release();
    PictureState* state = WrapSurface(DecodeImageToSurface(bytes, length));
    if (state == nullptr) {
        return false;
    }
    holder.Adopt(state);
    return true;
}

bool EncodePictureAsJpeg(const ImageMemoryStream& holder, std::uint32_t quality,
                         std::vector<unsigned char>& jpeg) {
    if (!holder.HasBitmap() || quality < static_cast<std::uint32_t>(kLowestJpegQuality) ||
        quality > static_cast<std::uint32_t>(kHighestJpegQuality)) {
        return false;
    }
    cairo_surface_t* surface = holder.state()->surface.get();
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    if (data == nullptr) {
        return false;
    }
    const JpegCodec encoder(tjInitCompress());
    if (!encoder) {
        return false;
    }
    unsigned char* encoded_bytes = nullptr;
    unsigned long encoded_size = 0;
    const bool ok =
        tjCompress2(encoder.get(), data, cairo_image_surface_get_width(surface),
                    cairo_image_surface_get_stride(surface),
                    cairo_image_surface_get_height(surface), kCairoPixelFormat, &encoded_bytes,
                    &encoded_size, TJSAMP_420, static_cast<int>(quality), 0) == 0;
    // The encoder may have allocated the buffer even when it failed.
    const JpegBuffer encoded(encoded_bytes);
    if (ok) {
        try {
            jpeg.assign(encoded.get(), encoded.get() + encoded_size);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    return ok;
}

bool PictureSize(const ImageMemoryStream& holder, int* width, int* height) {
    if (!holder.HasBitmap()) {
        return false;
    }
    *width = cairo_image_surface_get_width(holder.state()->surface.get());
    *height = cairo_image_surface_get_height(holder.state()->surface.get());
    return true;
}

}  // namespace vorn
