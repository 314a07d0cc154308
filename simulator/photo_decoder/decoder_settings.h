// What the simulator's description file tells the stand-in photo decoder to do.
#pragma once

#include <optional>
#include <string_view>

namespace vorn::sim {

constexpr const char* kPhotoDecoderSection = "PhotoDecoder";

// How the decoder writes its bitmap file; everything but kNormal and kTopDown is a fault on
// purpose, so that the program's handling of a misbehaving decoder can be driven from outside.
enum class BitmapOutput {
    kNormal,     // the portrait, 38,862 bytes
    kMissing,    // reports success but writes no file
    kEmpty,      // a file of 0 bytes
    kTruncated,  // the first part of the file only
    kOversize,   // the file followed by extra bytes, larger than any photo
    kGarbage,    // a file of the right size that is no bitmap at all
    kTopDown,    // the portrait with its rows stored from the top down (negative height)
};

// Section [PhotoDecoder]: "result" answers with that code instead of decoding, from call
// "fail_from_call" on (counted from 1 since the library was loaded; 1 when absent), so that
// one request can decode the photo and still fail a face; "output" names a BitmapOutput
// (normal, missing, empty, truncated, oversize, garbage, top_down); "delay" is the
// milliseconds each call waits before it starts: a slow decoder.
struct DecoderSettings {
    std::optional<int> result;
    long long fail_from_call = 1;
    BitmapOutput output = BitmapOutput::kNormal;
    long long delay_milliseconds = 0;
};

// Reads the settings from the description text; a missing section gives the defaults, an
// unknown output name or a result that is no number makes every call fail.
std::optional<DecoderSettings> ParseDecoderSettings(std::string_view text);

}  // namespace vorn::sim
