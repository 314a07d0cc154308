// Binding the photo decoder library and decoding the card's photo through two files.
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <system_error>

#include "imaging/encoding/image_codec.h"
#include "imaging/imaging_context.h"
#include "platform/load_failure.h"
#include "platform/module_path.h"
#include "platform/text_conversion.h"

namespace vorn {

namespace {

constexpr const char* kPhotoSuffix = ".wlt";
constexpr std::size_t kSuffixLength = 4;

// The private temporary folders of the requests are named after the program.
constexpr const char* kTemporaryFolderPrefix = "VornIdReader-";

void RemoveFile(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
}

// Reads the whole file into the buffer; false when it is missing, empty or larger than the
// capacity. A file that grows while it is read never writes past the capacity.
bool ReadWholeFile(const std::filesystem::path& path, unsigned char* out, std::uint32_t capacity,
                   std::uint32_t* length) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size == 0 || size > capacity) {
        return false;
    }
    std::ifstream stream(path, std::ios::binary);
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

bool CImagingContext::LoadDecoder(const char* module_directory) {
    if (loaded_) {
        UnloadDecoder();
    }
    std::wstring decoder_directory =
        module_directory != nullptr ? AnsiToWide(module_directory) : L"";
    if (decoder_directory.size() > kLongestPath) {
        decoder_directory.resize(kLongestPath);
    }
    if (!decoder_directory.empty() && decoder_directory.back() != kPathSeparatorW) {
        decoder_directory += kPathSeparatorW;
    }
    decoder_load_failure_.clear();
    library_ = LoadSharedLibrary(decoder_directory + kPhotoDecoderLibrary, nullptr,
                                 &decoder_load_failure_);
    if (!library_) {
        ReportLoadFailure(decoder_load_failure_);
    }
    void* get_bmp = FindLibraryExport(library_.get(), kGetBmpExport, nullptr);
    if (!library_ || get_bmp == nullptr) {
        library_.reset();
        get_bmp_ = nullptr;
        return false;
    }
    get_bmp_ = reinterpret_cast<GetBmpFn>(get_bmp);
    for (int entry = 0; entry < kCardResourceCount; ++entry) {
        resources_.entries[entry].source = kResourceFromFile;
        resources_.entries[entry].path = decoder_directory + kCardResourceFileNames[entry];
    }
    loaded_ = true;
    return true;
}

void CImagingContext::UnloadDecoder() {
    // The temporary folder goes first, on every path, with whatever the decoder left in it.
    temp_directory_.reset();
    if (!loaded_) {
        return;
    }
    library_.reset();
    get_bmp_ = nullptr;
    face_scale_ = kFullFaceScale;
    // The warm fonts hold the registered faces, which must all be let go before the drawing
    // library's caches are emptied.
    warm_fonts_.Release();
    ResetCardResources(resources_);
    resources_.fonts_registered = false;
    loaded_ = false;
}

bool CImagingContext::EnsureTemporaryDirectory() {
    if (temp_directory_ == nullptr) {
        temp_directory_ = TemporaryDirectory::Create(kTemporaryFolderPrefix);
    }
    return temp_directory_ != nullptr;
}

int CImagingContext::DecodePhoto(unsigned char* out, std::uint32_t* size) {
    if (out == nullptr || size == nullptr || *size < kPhotoBitmapFileSize ||
        card_.photo_length != kSdtPhotoRecordSize || !loaded_) {
        return kPictureFailed;
    }
    // The two files live in a folder of this request's own, never in the current directory:
    // that may be read-only, shared with another process, or hold a planted link.
    if (!EnsureTemporaryDirectory()) {
        return kPictureFailed;
    }
    const std::filesystem::path bitmap_file = temp_directory_->path() / kPhotoBitmapFileName;
    const std::filesystem::path photo_file =
        std::filesystem::path(bitmap_file).replace_extension(kPhotoSuffix);
    std::string narrow_photo_file = temp_directory_->narrow_prefix() + kPhotoBitmapFileName;
    narrow_photo_file.replace(narrow_photo_file.size() - kSuffixLength, kSuffixLength,
                              kPhotoSuffix);
    // A bitmap left by an earlier decoding must never be taken for this card's photo.
    RemoveFile(bitmap_file);
    const int written = WritePhotoRecord(photo_file, narrow_photo_file);
    // The holder's photo record stays on disk no longer than the decoder needs it.
    RemoveFile(photo_file);
    std::uint32_t length = 0;
    const bool read = written == kPictureDone && ReadWholeFile(bitmap_file, out, *size, &length);
    RemoveFile(bitmap_file);
    if (written != kPictureDone) {
        return written;
    }
    if (!read) {
        return kPictureFailed;
    }
    *size = length;
    return kPictureDone;
}

int CImagingContext::WritePhotoRecord(const std::filesystem::path& photo_file,
                                      const std::string& narrow_photo_file) {
    if (!loaded_ || get_bmp_ == nullptr || narrow_photo_file.size() > kLongestPath) {
        return kPictureFailed;
    }
    // The record's length comes from the driver; more than the record holds is refused
    // rather than read beyond it.
    if (card_.photo_length == 0 || card_.photo_length > kSdtPhotoRecordSize) {
        return kPictureFailed;
    }
    {
        std::ofstream photo(photo_file, std::ios::binary | std::ios::trunc);
        if (!photo) {
            return kPictureFailed;
        }
        photo.write(reinterpret_cast<const char*>(card_.photo_record), card_.photo_length);
        photo.flush();
        if (!photo) {
            return kPictureFailed;
        }
    }
    // The decoder takes a writable narrow name; the copy keeps the caller's text intact.
    std::string decoder_name = narrow_photo_file;
    const int result = get_bmp_(decoder_name.data(), kGetBmpMode);
    if (result == kGetBmpWritten) {
        return kPictureDone;
    }
    return result == 0 ? kPictureFailed : result;
}

int CImagingContext::LoadPhotoBitmap(ImageMemoryStream& holder) {
    std::unique_ptr<unsigned char[]> bitmap(new (std::nothrow) unsigned char[kPhotoBitmapFileSize]);
    if (bitmap == nullptr) {
        return kPictureFailed;
    }
    auto size = static_cast<std::uint32_t>(kPhotoBitmapFileSize);
    const int decoded = DecodePhoto(bitmap.get(), &size);
    if (decoded != kPictureDone) {
        return decoded;
    }
    return LoadBitmapFromMemory(bitmap.get(), size, holder) ? kPictureDone : kPictureFailed;
}

}  // namespace vorn
