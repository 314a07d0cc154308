#include "imaging/font_sets.h"

#include "imaging/font_faces.h"

namespace {

// A two-character name is spread out so that it spans about as much as a longer one.
constexpr int kTwoCharacterNameSpacing = 25;

// Writes one font of a font operation: a LOGFONT that is all zero but for these members.
void Set(FontSpec& spec, const wchar_t* face, int height, int weight, int char_set, int x_offset,
         int spacing) {
    spec.x_offset = x_offset;
    spec.spacing = spacing;
    spec.font = LogFont{};
    spec.font.height = height;
    spec.font.weight = weight;
    spec.font.char_set = static_cast<std::uint8_t>(char_set);
    spec.font.quality = kQualityAntialiased;
    SetFaceName(spec.font, face);
}

int NameSpacing(const TextItem& item) {
    return item.text.size() == 2 ? kTwoCharacterNameSpacing : 0;
}

constexpr int kGb = kCharsetGb2312;
constexpr int kAny = kCharsetDefault;
constexpr int kNormal = kWeightNormal;
constexpr int kBold = kWeightBold;

}  // namespace

void CIdCardFont_Base::ApplyNameFont(TextItem& item) {
    Set(item.text_font, kFaceXihei, 40, kBold, kGb, 0, NameSpacing(item));
    Set(item.digit_font, kFaceYaoti, 40, kNormal, kGb, 2, 2);
}

void CIdCardFont_Base::ApplyFieldFont(TextItem& item) {
    Set(item.text_font, kFaceHeiti, 31, kNormal, kGb, 0, 0);
    Set(item.digit_font, kFaceYaoti, 31, kNormal, kGb, 2, 2);
}

void CIdCardFont_Base::ApplyIdNumberFont(TextItem& item) {
    Set(item.text_font, kFaceHeiti, 36, kBold, kGb, 0, 6);
    item.digit_font = item.text_font;
}

void CIdCardFont_Base::ApplyValidityFont(TextItem& item) {
    Set(item.text_font, kFaceYaoti, 34, kNormal, kGb, 0, 3);
    item.digit_font = item.text_font;
}

void CIdCardFont_Base::ApplyForeignNameFont(TextItem& item) {
    Set(item.text_font, kFaceHeiti, 36, kNormal, kGb, 0, 0);
    Set(item.digit_font, kFaceYaoti, 36, kNormal, kGb, 2, 2);
}

void CIdCardFont_Base::ApplyForeignFieldFont(TextItem& item) {
    Set(item.text_font, kFaceHeiti, 30, kNormal, kGb, 0, 0);
    Set(item.digit_font, kFaceYaoti, 30, kNormal, kGb, 1, 1);
}

void CIdCardFont_Base::ApplyForeignNumberFont(TextItem& item) {
    Set(item.text_font, kFaceHeiti, 40, kBold, kGb, 0, 4);
    item.digit_font = item.text_font;
}

void CIdCardFont_Base::ApplyForeignDateFont(TextItem& item) {
    Set(item.text_font, kFaceYaoti, 30, kNormal, kGb, 1, 1);
    item.digit_font = item.text_font;
}

void CIdCardFont_Ex::ApplyNameFont(TextItem& item) {
    Set(item.text_font, kFaceXihei, 40, kBold, kGb, 0, NameSpacing(item));
    Set(item.digit_font, kFaceCjkHei, 40, kNormal, kGb, 0, 0);
}

void CIdCardFont_Ex::ApplyFieldFont(TextItem& item) {
    Set(item.text_font, kFaceHeiti, 31, kNormal, kGb, 0, 0);
    Set(item.digit_font, kFaceCjkHei, 34, kNormal, kGb, 0, 1);
}

void CIdCardFont_Ex::ApplyIdNumberFont(TextItem& item) {
    Set(item.text_font, kFaceOcrNumbers, 40, kBold, kAny, 0, 2);
    item.digit_font = item.text_font;
}

void CIdCardFont_Ex::ApplyValidityFont(TextItem& item) {
    Set(item.text_font, kFaceCjkHei, 34, kNormal, kGb, 0, 1);
    item.digit_font = item.text_font;
}

void CIdCardFont_Ex::ApplyForeignNameFont(TextItem& item) {
    Set(item.text_font, kFaceHeiti, 36, kNormal, kGb, 0, 0);
    Set(item.digit_font, kFaceCjkHei, 36, kNormal, kGb, 0, 0);
}

void CIdCardFont_Ex::ApplyForeignFieldFont(TextItem& item) {
    Set(item.text_font, kFaceHeiti, 30, kNormal, kGb, 0, 0);
    Set(item.digit_font, kFaceCjkHei, 32, kNormal, kGb, 0, 1);
}

void CIdCardFont_Ex::ApplyForeignNumberFont(TextItem& item) {
    Set(item.text_font, kFaceOcrNumbers, 42, kBold, kAny, 0, 0);
    item.digit_font = item.text_font;
}

void CIdCardFont_Ex::ApplyForeignDateFont(TextItem& item) {
    Set(item.text_font, kFaceCjkHei, 32, kNormal, kGb, 0, 1);
    item.digit_font = item.text_font;
}
