#include "imaging/faces/font_sets.h"

#include "imaging/text/font_faces.h"

namespace vorn {

// One font of a font operation: a LOGFONT that is all zero but for these members, and the
// pixels added before and after each character drawn with it.
struct FontChoice {
    const wchar_t* face;
    int height;
    int weight;
    int char_set;
    int x_offset;
    int spacing;
};

// The two fonts of one font operation; without a digit font of its own, the operation draws
// digits with its text font.
struct OperationFonts {
    FontChoice text;
    bool has_digit_font;
    FontChoice digit;
};

struct FontSetTable {
    OperationFonts name;
    OperationFonts field;
    OperationFonts id_number;
    OperationFonts validity;
    OperationFonts foreign_name;
    OperationFonts foreign_field;
    OperationFonts foreign_number;
    OperationFonts foreign_date;
};

namespace {

// A two-character name is spread out so that it spans about as much as a longer one.
constexpr int kTwoCharacterNameSpacing = 25;

constexpr int kGb = kCharsetGb2312;
constexpr int kAny = kCharsetDefault;
constexpr int kNormal = kWeightNormal;
constexpr int kBold = kWeightBold;

// Whether an operation has a digit font of its own; one without gives kNoDigitFont, which is
// never read.
constexpr bool kOwnDigits = true;
constexpr bool kSameDigits = false;
constexpr FontChoice kNoDigitFont{nullptr, 0, 0, 0, 0, 0};

// The rows are in the order of FontSetTable's members. The name's text spacing is 0 here,
// since ApplyNameFont sets kTwoCharacterNameSpacing for a two-character name.
constexpr FontSetTable kBaseSet{
    {{kFaceXihei, 40, kBold, kGb, 0, 0}, kOwnDigits, {kFaceYaoti, 40, kNormal, kGb, 2, 2}},
    {{kFaceHeiti, 31, kNormal, kGb, 0, 0}, kOwnDigits, {kFaceYaoti, 31, kNormal, kGb, 2, 2}},
    {{kFaceHeiti, 36, kBold, kGb, 0, 6}, kSameDigits, kNoDigitFont},
    {{kFaceYaoti, 34, kNormal, kGb, 0, 3}, kSameDigits, kNoDigitFont},
    {{kFaceHeiti, 36, kNormal, kGb, 0, 0}, kOwnDigits, {kFaceYaoti, 36, kNormal, kGb, 2, 2}},
    {{kFaceHeiti, 30, kNormal, kGb, 0, 0}, kOwnDigits, {kFaceYaoti, 30, kNormal, kGb, 1, 1}},
    {{kFaceHeiti, 40, kBold, kGb, 0, 4}, kSameDigits, kNoDigitFont},
    {{kFaceYaoti, 30, kNormal, kGb, 1, 1}, kSameDigits, kNoDigitFont},
};

constexpr FontSetTable kEmbeddedSet{
    {{kFaceXihei, 40, kBold, kGb, 0, 0}, kOwnDigits, {kFaceCjkHei, 40, kNormal, kGb, 0, 0}},
    {{kFaceHeiti, 31, kNormal, kGb, 0, 0}, kOwnDigits, {kFaceCjkHei, 34, kNormal, kGb, 0, 1}},
    {{kFaceOcrNumbers, 40, kBold, kAny, 0, 2}, kSameDigits, kNoDigitFont},
    {{kFaceCjkHei, 34, kNormal, kGb, 0, 1}, kSameDigits, kNoDigitFont},
    {{kFaceHeiti, 36, kNormal, kGb, 0, 0}, kOwnDigits, {kFaceCjkHei, 36, kNormal, kGb, 0, 0}},
    {{kFaceHeiti, 30, kNormal, kGb, 0, 0}, kOwnDigits, {kFaceCjkHei, 32, kNormal, kGb, 0, 1}},
    {{kFaceOcrNumbers, 42, kBold, kAny, 0, 0}, kSameDigits, kNoDigitFont},
    {{kFaceCjkHei, 32, kNormal, kGb, 0, 1}, kSameDigits, kNoDigitFont},
};

void Set(FontSpec& run_font, const FontChoice& choice) {
    run_font.x_offset = choice.x_offset;
    run_font.spacing = choice.spacing;
    run_font.font = LogFont{};
    run_font.font.height = choice.height;
    run_font.font.weight = choice.weight;
    run_font.font.char_set = static_cast<std::uint8_t>(choice.char_set);
    run_font.font.quality = kQualityAntialiased;
    SetFaceName(run_font.font, choice.face);
}

void Apply(const OperationFonts& fonts, TextItem& item) {
    Set(item.text_font, fonts.text);
    if (fonts.has_digit_font) {
        Set(item.digit_font, fonts.digit);
    } else {
        item.digit_font = item.text_font;
    }
}

}  // namespace

void CIdCardFont::ApplyNameFont(TextItem& item) {
    Apply(table_.name, item);
    if (item.text.size() == 2) {
        item.text_font.spacing = kTwoCharacterNameSpacing;
    }
}

void CIdCardFont::ApplyFieldFont(TextItem& item) {
    Apply(table_.field, item);
}

void CIdCardFont::ApplyIdNumberFont(TextItem& item) {
    Apply(table_.id_number, item);
}

void CIdCardFont::ApplyValidityFont(TextItem& item) {
    Apply(table_.validity, item);
}

void CIdCardFont::ApplyForeignNameFont(TextItem& item) {
    Apply(table_.foreign_name, item);
}

void CIdCardFont::ApplyForeignFieldFont(TextItem& item) {
    Apply(table_.foreign_field, item);
}

void CIdCardFont::ApplyForeignNumberFont(TextItem& item) {
    Apply(table_.foreign_number, item);
}

void CIdCardFont::ApplyForeignDateFont(TextItem& item) {
    Apply(table_.foreign_date, item);
}

CIdCardFont_Base::CIdCardFont_Base() : CIdCardFont(kBaseSet) {}

CIdCardFont_Ex::CIdCardFont_Ex() : CIdCardFont(kEmbeddedSet) {}

}  // namespace vorn
