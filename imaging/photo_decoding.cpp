// Binding the photo decoder library and decoding the card's photo through two files.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <system_error>

#include "imaging/image_codec.h"
#include "imaging/imaging_context.h"
#include "platform/module_path.h"
#include "platform/text_conversion.h"

namespace {

constexpr int kFailed = -1;
constexpr std::size_t kLongestPath = 260;
constexpr std::size_t kShortestBitmapPath = 5;
constexpr const char* kBitmapSuffix = ".bmp";
constexpr const char* kPhotoSuffix = ".wlt";
constexpr std::size_t kSuffixLength = 4;

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && path.back() == kPathSeparator;
}

// The narrow path, in the system's code page, as a path object.
std::filesystem::path NarrowPath(const std::string& path) {
    return std::filesystem::path(path);
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(NarrowPath(path), error);
}

void DeleteFile(const std::string& path) {
    std::error_code error;
    std::filesystem::remove(NarrowPath(path), error);
}

// Reads the whole file into the buffer; false when it is missing, empty or larger than the
// capacity. A file that grows while it is read never writes past the capacity.
bool ReadWholeFile(const std::string& path, unsigned char* out, std::uint32_t capacity,
                   std::uint32_t* length) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(NarrowPath(path), error);
    if (error || size == 0 || size > capacity) {
        return false;
    }
    std::ifstream stream(NarrowPath(path), std::ios::binary);
    if (!stream) {
        return false;
    }
    stream.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
    const auto read = static_cast<std::uint32_t>(stream.gcount());
    if (read == 0) {
        return false;
    }
    *length = read;
    return true;
}

}  // namespace

CImagingContext::CImagingContext() = default;

CImagingContext::~CImagingContext() {
    UnloadDecoder();
    // Fonts registered without a decoder ever being loaded are removed all the same.
    ResetCardResources(resources);
}

bool CImagingContext::LoadDecoder(const char* module_directory) {
    if (loaded_) {
        UnloadDecoder();
    }
    decoder_directory_ = module_directory != nullptr ? AnsiToWide(module_directory) : L"";
    if (decoder_directory_.size() > kLongestPath) {
        decoder_directory_.resize(kLongestPath);
    }
    if (!decoder_directory_.empty() && decoder_directory_.back() != kPathSeparatorW) {
        decoder_directory_ += kPathSeparatorW;
    }
    library_ = LoadSharedLibrary(decoder_directory_ + kPhotoDecoderLibrary, nullptr);
    void* get_bmp = FindLibraryExport(library_, kGetBmpExport, nullptr);
    if (library_ == nullptr || get_bmp == nullptr) {
        FreeSharedLibrary(library_);
        library_ = nullptr;
        get_bmp_ = nullptr;
        return false;
    }
    get_bmp_ = reinterpret_cast<GetBmpFn>(get_bmp);
    for (int entry = 0; entry < kCardResourceCount; ++entry) {
        resources.entries[entry].source = kResourceFromFile;
        resources.entries[entry].path = decoder_directory_ + kCardResourceFileNames[entry];
    }
    loaded_ = true;
    decoder_state_ = 1;
    return true;
}

void CImagingContext::UnloadDecoder() {
    if (!loaded_) {
        return;
    }
    FreeSharedLibrary(library_);
    library_ = nullptr;
    decoder_state_ = 0;
    get_bmp_ = nullptr;
    face_scale = kFullFaceScale;
    temp_prefix_.clear();
    decoder_directory_.clear();
    ResetCardResources(resources);
    resources.fonts_registered = false;
    loaded_ = false;
}

int CImagingContext::DecodePhoto(unsigned char* out, std::uint32_t* size) {
    if (out == nullptr || size == nullptr || *size < kPhotoBitmapFileSize ||
        card.photo_length != kSdtPhotoRecordSize || decoder_state_ != 1) {
        return kFailed;
    }
    const std::string path = temp_prefix_ + kPhotoBitmapFileName;
    // A bitmap left by an earlier decoding must never be taken for this card's photo.
    if (!EndsWithSeparator(path) && FileExists(path)) {
        DeleteFile(path);
    }
    const int written = WritePhotoFile(path.c_str());
    if (written != 0) {
        return written;
    }
    std::uint32_t length = 0;
    if (!ReadWholeFile(path, out, *size, &length)) {
        return kFailed;
    }
    *size = length;
    if (!EndsWithSeparator(path)) {
        DeleteFile(path);
    }
    return 0;
}

int CImagingContext::WritePhotoFile(const char* bitmap_path) {
    if (decoder_state_ != 1 || bitmap_path == nullptr || get_bmp_ == nullptr) {
        return kFailed;
    }
    const std::size_t length = std::strlen(bitmap_path);
    if (length < kShortestBitmapPath || length > kLongestPath ||
        std::strcmp(bitmap_path + length - kSuffixLength, kBitmapSuffix) != 0) {
        return kFailed;
    }
    // The record's length comes from the driver; more than the record holds is refused
    // rather than read beyond it.
    if (card.photo_length == 0 || card.photo_length > kSdtPhotoRecordSize) {
        return kFailed;
    }
    std::string photo_path(bitmap_path, length - kSuffixLength);
    photo_path += kPhotoSuffix;
    {
        std::ofstream photo(NarrowPath(photo_path), std::ios::binary | std::ios::trunc);
        if (!photo) {
            return kFailed;
        }
        photo.write(reinterpret_cast<const char*>(card.photo_record), card.photo_length);
        photo.flush();
        if (!photo) {
            return kFailed;
        }
    }
    const int result = get_bmp_(photo_path.data(), kGetBmpMode);
    if (result == kGetBmpWritten) {
        return 0;
    }
    return result == 0 ? kFailed : result;
}

int CImagingContext::LoadPhotoBitmap(ImageMemoryStream& holder) {
    std::unique_ptr<unsigned char[]> bitmap(new (std::nothrow) unsigned char[kPhotoBitmapFileSize]);
    if (bitmap == nullptr) {
        return kFailed;
    }
    auto size = static_cast<std::uint32_t>(kPhotoBitmapFileSize);
    const int decoded = DecodePhoto(bitmap.get(), &size);
    if (decoded != 0) {
        return decoded;
    }
    return LoadBitmapFromMemory(bitmap.get(), size, holder) ? 0 : kFailed;
}
