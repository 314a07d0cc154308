#include "imaging/encoding/image_encoding.h"

#include <cstring>
#include <vector>

#include "imaging/encoding/image_codec.h"

namespace vorn {

bool EncodeJpegFromMemory(const unsigned char* bytes, int length, std::uint32_t quality,
                          unsigned char* out, std::uint32_t* size) {
    if (bytes == nullptr || length < 1) {
        return false;
    }
    ImageMemoryStream input;
    if (!LoadBitmapFromMemory(bytes, static_cast<std::size_t>(length), input)) {
        return false;
    }
    return EncodeJpegFromBitmap(input, quality, out, size);
}

bool EncodeJpegFromBitmap(const ImageMemoryStream& holder, std::uint32_t quality,
                          unsigned char* out, std::uint32_t* size) {
    if (size == nullptr || !holder.HasBitmap()) {
        return false;
    }
    std::vector<unsigned char> jpeg;
    if (!EncodePictureAsJpeg(holder, quality, jpeg) || jpeg.size() > UINT32_MAX) {
        return false;
    }
    const auto encoded = static_cast<std::uint32_t>(jpeg.size());
    if (out != nullptr) {
        if (*size < encoded) {
            return false;
        }
        std::memcpy(out, jpeg.data(), jpeg.size());
    }
    *size = encoded;
    return true;
}

}  // namespace vorn
