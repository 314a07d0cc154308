// The photo decoder library's one export and the bitmap file it writes, as the program
// relies on them; the simulator's stand-in decoder is built against the same declarations.
#pragma once

#include <cstddef>

#include "imaging/encoding/bitmap_file_format.h"

namespace vorn {

// The decoder's export uses the Windows API calling convention; it differs from the
// default only on 32-bit Windows.
#if defined(_WIN32) && !defined(_WIN64)
#define WLT_API __stdcall
#else
#define WLT_API
#endif

extern "C" {
// Decodes the photo record in the file at photo_file ("....wlt") into a bitmap file of the
// same name ending in ".bmp". Returns kGetBmpWritten on success.
using GetBmpFn = int(WLT_API*)(char* photo_file, int mode);
}

constexpr const char* kGetBmpExport = "GetBmp";
constexpr int kGetBmpMode = 1;
constexpr int kGetBmpWritten = 1;

// The decoded photo: a 24-bit bottom-up bitmap file with a 54-byte header and rows padded
// to four bytes.
constexpr int kPhotoWidth = 102;
constexpr int kPhotoHeight = 126;
constexpr std::size_t kPhotoBitmapHeaderSize = kBitmapHeadersSize;
constexpr std::size_t kPhotoBitmapRowSize = BitmapRowSize(kPhotoWidth, kBitmapTrueColourBits);
constexpr std::size_t kPhotoBitmapFileSize =
    kPhotoBitmapHeaderSize + kPhotoBitmapRowSize * kPhotoHeight;
static_assert(kPhotoBitmapFileSize == 38862);

}  // namespace vorn
