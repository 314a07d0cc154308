#include "simulator/photo_decoder/decoder_settings.h"

#include <array>
#include <string>
#include <utility>

#include "simulator/ini_text.h"

namespace vorn::sim {

namespace {

constexpr std::array<std::pair<const char*, BitmapOutput>, 7> kOutputNames{{
    {"normal", BitmapOutput::kNormal},
    {"missing", BitmapOutput::kMissing},
    {"empty", BitmapOutput::kEmpty},
    {"truncated", BitmapOutput::kTruncated},
    {"oversize", BitmapOutput::kOversize},
    {"garbage", BitmapOutput::kGarbage},
    {"top_down", BitmapOutput::kTopDown},
}};

}  // namespace

std::optional<DecoderSettings> ParseDecoderSettings(std::string_view text) {
    const IniText ini = IniText::Parse(text);
    DecoderSettings settings;
    if (const auto result = ini.Get(kPhotoDecoderSection, "result")) {
        const auto number = ParseInteger(*result);
        if (!number) {
            return std::nullopt;
        }
        settings.result = static_cast<int>(*number);
    }
    if (const auto from = ini.Get(kPhotoDecoderSection, "fail_from_call")) {
        const auto number = ParseInteger(*from);
        if (!number || *number < 1) {
            return std::nullopt;
        }
        settings.fail_from_call = *number;
    }
    if (const auto delay = ini.Get(kPhotoDecoderSection, "delay")) {
        const auto number = ParseInteger(*delay);
        if (!number || *number < 0) {
            return std::nullopt;
        }
        settings.delay_milliseconds = *number;
    }
    if (const auto output = ini.Get(kPhotoDecoderSection, "output")) {
        bool known = false;
        for (const auto& [name, value] : kOutputNames) {
            if (*output == name) {
                settings.output = value;
                known = true;
            }
        }
        if (!known) {
            return std::nullopt;
        }
    }
    return settings;
}

}  // namespace vorn::sim
