// Owners of what the Linux picture codecs hand out: the JPEG encoder, its output buffers and
// the pixels the general image decoder allocates. Only _posix files of the codecs use it.
#pragma once

#include <stb_image.h>
#include <turbojpeg.h>

#include "platform/unique_handle.h"

namespace vorn {

// A libjpeg-turbo compressor or decompressor.
using JpegCodec = NullableHandle<tjhandle, &tjDestroy>;
// A buffer libjpeg-turbo allocated for a compressed picture.
using JpegBuffer = NullableHandle<unsigned char*, &tjFree>;
// Pixels the general image decoder allocated.
using DecodedPixels = NullableHandle<stbi_uc*, &stbi_image_free>;

}  // namespace vorn
