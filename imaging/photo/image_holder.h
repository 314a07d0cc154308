// A picture in memory: the photo decoded from its bitmap file, or a composed card face.
#pragma once

namespace vorn {

// What a picture is made of on the platform (a bitmap over a memory stream, or a raster);
// each platform defines it.
struct PictureState;

// Owns one picture and everything that keeps it alive. Releasing is harmless when empty.
class ImageMemoryStream {
public:
    ImageMemoryStream() = default;
    ~ImageMemoryStream() { Release(); }
    ImageMemoryStream(const ImageMemoryStream&) = delete;
    ImageMemoryStream& operator=(const ImageMemoryStream&) = delete;

    void Release();
    bool HasBitmap() const { return state_ != nullptr; }

    // The platform code fills and reads the holder; the holder takes ownership.
    PictureState* state() const { return state_; }
    void Adopt(PictureState* state) {
        Release();
        state_ = state;
    }

private:
    PictureState* state_ = nullptr;
};

}  // namespace vorn
