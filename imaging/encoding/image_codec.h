// The platform's image library: reading image bytes and writing JPEG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/photo/image_holder.h"

namespace vorn {

// Start-up state of the platform's image library, for the life of one imaging context.
class GraphicsSession {
public:
    GraphicsSession();
    ~GraphicsSession();
    GraphicsSession(const GraphicsSession&) = delete;
    GraphicsSession& operator=(const GraphicsSession&) = delete;

    bool started() const { return started_; }

private:
    bool started_ = false;
    std::uintptr_t token_ = 0;
};

// Releases whatever the holder held and decodes the image bytes (a bitmap file, or any
// other format the platform reads) into it. False, with the holder empty, when the bytes
// cannot be decoded or memory cannot be obtained.
bool LoadBitmapFromMemory(const unsigned char* bytes, std::size_t length,
                          ImageMemoryStream& holder);

// Encodes the holder's picture as JPEG at the quality (1..100) into jpeg.
bool EncodePictureAsJpeg(const ImageMemoryStream& holder, std::uint32_t quality,
                         std::vector<unsigned char>& jpeg);

// The picture's size in pixels; false when the holder is empty.
bool PictureSize(const ImageMemoryStream& holder, int* width, int* height);

// Frees what the platform allocated for a picture.
void DestroyPictureState(PictureState* state);

}  // namespace vorn
