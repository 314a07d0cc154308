// A photo decoder that loads no C++ runtime: whatever the record, it writes the same
// bitmap, a dark oval on a pale ground, beside it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "bench/plain_stand_ins/plain_export.h"
#include "imaging/photo/photo_decoder_api.h"

using namespace vorn;

namespace {

constexpr int kBadCall = -1;      // no path, a path not ending in ".wlt", or a mode not 1
constexpr int kCannotWrite = -4;  // the bitmap file could not be written
constexpr char kPhotoSuffix[] = ".wlt";
constexpr char kBitmapSuffix[] = ".bmp";
constexpr std::size_t kSuffixLength = sizeof kPhotoSuffix - 1;
// The longest path taken; the program's temporary folder is far shorter.
constexpr std::size_t kPathRoom = 4096;
constexpr unsigned char kGround[3] = {0xF0, 0xE8, 0xE0};
constexpr unsigned char kOval[3] = {0x50, 0x60, 0x80};

void Put16(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value & 0xFF);
    at[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

void Put32(unsigned char* at, std::uint32_t value) {
    Put16(at, value & 0xFFFF);
    Put16(at + 2, value >> 16);
}

// The file and info headers of a bottom-up, 24-bit photo.
void WriteHeaders(unsigned char* headers) {
    std::memset(headers, 0, kPhotoBitmapHeaderSize);
    headers[0] = 'B';
    headers[1] = 'M';
    Put32(headers + 2, kPhotoBitmapFileSize);
    Put32(headers + 10, kPhotoBitmapHeaderSize);
    Put32(headers + 14, kBitmapInfoHeaderSize);
    Put32(headers + 18, kPhotoWidth);
    Put32(headers + 22, kPhotoHeight);
    Put16(headers + 26, 1);
    Put16(headers + 28, kBitmapTrueColourBits);
    Put32(headers + 30, kBitmapUncompressed);
    Put32(headers + 34, static_cast<std::uint32_t>(kPhotoBitmapRowSize * kPhotoHeight));
}

// One stored row: pixels inside the oval centred on the photo take its colour.
void PaintRow(unsigned char* row, int y) {
    std::memset(row, 0, kPhotoBitmapRowSize);
    const int half_width = kPhotoWidth / 3;
    const int half_height = kPhotoHeight / 3;
    const int dy = y - kPhotoHeight / 2;
    for (int x = 0; x < kPhotoWidth; ++x) {
        const int dx = x - kPhotoWidth / 2;
        const bool inside =
            dx * dx * half_height * half_height + dy * dy * half_width * half_width <=
            half_width * half_width * half_height * half_height;
        std::memcpy(row + x * 3, inside ? kOval : kGround, 3);
    }
}

int Decode(const char* photo_file, int mode) {
    if (photo_file == nullptr || mode != kGetBmpMode) {
        return kBadCall;
    }
    const std::size_t length = std::strlen(photo_file);
    if (length <= kSuffixLength || length >= kPathRoom ||
        std::strcmp(photo_file + length - kSuffixLength, kPhotoSuffix) != 0) {
        return kBadCall;
    }
    char bitmap_path[kPathRoom] = {};
    std::memcpy(bitmap_path, photo_file, length - kSuffixLength);
    std::memcpy(bitmap_path + length - kSuffixLength, kBitmapSuffix, kSuffixLength);
    std::FILE* out = std::fopen(bitmap_path, "wb");
    if (out == nullptr) {
        return kCannotWrite;
    }
    unsigned char headers[kPhotoBitmapHeaderSize];
    WriteHeaders(headers);
    bool written = std::fwrite(headers, 1, sizeof headers, out) == sizeof headers;
    unsigned char row[kPhotoBitmapRowSize];
    for (int y = 0; y < kPhotoHeight && written; ++y) {
        PaintRow(row, y);
        written = std::fwrite(row, 1, sizeof row, out) == sizeof row;
    }
    written = std::fclose(out) == 0 && written;
    return written ? kGetBmpWritten : kCannotWrite;
}

}  // namespace

extern "C" {

PLAIN_EXPORT int WLT_API GetBmp(char* photo_file, int mode) {
    return Decode(photo_file, mode);
}

}  // extern "C"

// The program binds the export to the pointer type of its own header; a mismatch in
// arguments or calling convention would corrupt its stack on 32-bit Windows.
static_assert(std::is_same_v<decltype(&GetBmp), GetBmpFn>);
