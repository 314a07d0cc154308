// The stand-in photo decoder's one export: a simulator photo record in, a bitmap file out.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <type_traits>

#include "imaging/photo/photo_decoder_api.h"
#include "simulator/file_access.h"
#include "simulator/library_location.h"
#include "simulator/photo_decoder/bitmap_file.h"
#include "simulator/photo_decoder/decoder_settings.h"
#include "simulator/photo_decoder/portrait_painter.h"
#include "simulator/photo_record.h"
#include "simulator/sim_codes.h"

using namespace vorn;

#if defined(_WIN32)
#define WLT_EXPORT __declspec(dllexport)
#else
#define WLT_EXPORT __attribute__((visibility("default")))
#endif

namespace vorn::sim {

namespace {

// Failure codes of the stand-in; a description may choose any other code instead.
constexpr int kBadCall = -1;          // no path, a path not ending in ".wlt", or a mode not 1
constexpr int kNoPhotoRecord = -2;    // the photo file is missing or not 1024 bytes
constexpr int kNotAPhotoRecord = -3;  // the record is not a valid simulator photo record
constexpr int kCannotWrite = -4;      // the bitmap file could not be written
constexpr int kUnreadableSettings = -6;

constexpr std::string_view kPhotoSuffix = ".wlt";
constexpr std::string_view kBitmapSuffix = ".bmp";
constexpr std::size_t kTruncatedSize = 1000;
constexpr std::size_t kOversizeExtra = 512;

std::string ApplyOutput(std::string file, BitmapOutput output) {
    switch (output) {
        case BitmapOutput::kNormal:
        case BitmapOutput::kMissing:
        case BitmapOutput::kTopDown:
            return file;
        case BitmapOutput::kEmpty:
            return {};
        case BitmapOutput::kTruncated:
            file.resize(kTruncatedSize);
            return file;
        case BitmapOutput::kOversize:
            return file + std::string(kOversizeExtra, '\x7F');
        case BitmapOutput::kGarbage:
            for (std::size_t i = 0; i < file.size(); ++i) {
                file[i] = static_cast<char>(i * 37 + 11);
            }
            return file;
    }
    return file;
}

// Calls since the library was loaded; the program loads it afresh for every request.
long long g_calls = 0;

// The last record painted and the bitmap file made of it. The program has the same record
// decoded three times for one read, and painting is nearly all of a decoding's cost; the
// painting goes with the library when the read unloads it.
struct LastPainting {
    std::string record;
    bool top_down = false;
    std::string file;
};
LastPainting g_last;

const std::string& PaintedFile(const std::string& record, const PortraitParameters& portrait,
                               bool top_down) {
    if (g_last.file.empty() || g_last.record != record || g_last.top_down != top_down) {
        g_last.file = EncodeBitmapFile(PaintPortrait(portrait), top_down);
        g_last.record = record;
        g_last.top_down = top_down;
    }
    return g_last.file;
}

int Decode(const char* photo_file, int mode) {
    ++g_calls;
    std::optional<DecoderSettings> settings = DecoderSettings{};
    if (const auto text = ReadSmallFile(LibraryDirectory() / kDescriptionFileName)) {
        settings = ParseDecoderSettings(*text);
    }
    if (!settings) {
        return kUnreadableSettings;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(settings->delay_milliseconds));
    if (settings->result && g_calls >= settings->fail_from_call) {
        return *settings->result;
    }
    if (photo_file == nullptr || mode != kGetBmpMode) {
        return kBadCall;
    }
    const std::string photo_path = photo_file;
    if (photo_path.size() <= kPhotoSuffix.size() ||
        photo_path.compare(photo_path.size() - kPhotoSuffix.size(), kPhotoSuffix.size(),
                           kPhotoSuffix) != 0) {
        return kBadCall;
    }
    const auto record = ReadSmallFile(photo_path);
    if (!record || record->size() != kPhotoRecordBytes) {
        return kNoPhotoRecord;
    }
    const auto portrait =
        DecodePhotoRecord(reinterpret_cast<const unsigned char*>(record->data()), record->size());
    if (!portrait) {
        return kNotAPhotoRecord;
    }
    if (settings->output == BitmapOutput::kMissing) {
        return kGetBmpWritten;
    }
    const std::string file =
        ApplyOutput(PaintedFile(*record, *portrait, settings->output == BitmapOutput::kTopDown),
                    settings->output);
    const std::string bitmap_path =
        photo_path.substr(0, photo_path.size() - kPhotoSuffix.size()) + std::string(kBitmapSuffix);
    std::ofstream out(bitmap_path, std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    out.close();
    return out ? kGetBmpWritten : kCannotWrite;
}

}  // namespace

}  // namespace vorn::sim

extern "C" {

// No exception may leave the library: its caller knows only the C calling convention.
WLT_EXPORT int WLT_API GetBmp(char* photo_file, int mode) {
    try {
        return vorn::sim::Decode(photo_file, mode);
    } catch (...) {
        return vorn::sim::kCannotWrite;
    }
}

}  // extern "C"

// The program binds the export to the pointer type of its own header; a mismatch in
// arguments or calling convention would corrupt its stack on 32-bit Windows.
static_assert(std::is_same_v<decltype(&GetBmp), GetBmpFn>);
