// One text-drawing request: where a field goes, its text, and the fonts it is drawn with.
#pragma once

#include <cstdint>
#include <string>

namespace vorn {

// The size of a font's face name, terminator included.
constexpr int kFaceNameSize = 32;

// A font description with the members and meaning of the Windows LOGFONTW: a positive
// height is the character cell height in pixels.
struct LogFont {
    std::int32_t height = 0;
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strike_out = 0;
    std::uint8_t char_set = 0;
    std::uint8_t out_precision = 0;
    std::uint8_t clip_precision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitch_and_family = 0;
    wchar_t face_name[kFaceNameSize] = {};

    friend bool operator==(const LogFont&, const LogFont&) = default;
};

constexpr std::int32_t kWeightThin = 100;
constexpr std::int32_t kWeightNormal = 400;
constexpr std::int32_t kWeightBold = 700;
constexpr std::int32_t kWeightHeavy = 900;
constexpr std::uint8_t kCharsetDefault = 1;
constexpr std::uint8_t kCharsetGb2312 = 134;
constexpr std::uint8_t kQualityAntialiased = 4;

// A font and the pixels added before (x offset) and after (spacing) each character drawn
// with it.
struct FontSpec {
    int x_offset = 0;
    int spacing = 0;
    LogFont font;
};

// One field to draw. Decimal digits use the digit font, every other character the text font.
struct TextItem {
    int x = 0;
    int y = 0;
    int wrap_width = 0;  // 0 or less: no wrapping
    int line_gap = 0;    // between the bottom of a wrapped line and the top of the next
    std::wstring text;
    FontSpec text_font;
    FontSpec digit_font;
};

// The defaults: everything 0 and empty, both fonts 20 pixels high, normal weight, GB2312,
// antialiased, with no face name.
void ResetTextItem(TextItem& item);

// Sets the font's face name, cut to fit its array.
void SetFaceName(LogFont& font, const wchar_t* face);

}  // namespace vorn
