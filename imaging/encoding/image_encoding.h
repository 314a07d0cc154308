// JPEG encoding into a caller's buffer of fixed capacity.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/photo/image_holder.h"

namespace vorn {

// The output capacities the callers choose.
constexpr std::uint32_t kPhotoJpegCapacity = 32768;
constexpr std::uint32_t kFaceJpegCapacity = 4194304;

// The JPEG quality every picture is written at, and the range of qualities the encoder takes.
constexpr int kLowestJpegQuality = 1;
constexpr int kHighestJpegQuality = 100;
constexpr int kJpegQuality = kHighestJpegQuality;

// Both forms write the JPEG into out and its length into *size. With out null only the
// length is reported. A JPEG larger than *size (the capacity) fails rather than being cut;
// on failure *size is left as it was.
bool EncodeJpegFromMemory(const unsigned char* bytes, int length, std::uint32_t quality,
                          unsigned char* out, std::uint32_t* size);
bool EncodeJpegFromBitmap(const ImageMemoryStream& holder, std::uint32_t quality,
                          unsigned char* out, std::uint32_t* size);

}  // namespace vorn
