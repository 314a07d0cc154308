#include "imaging/text/text_item.h"

#include <cwchar>

namespace vorn {

namespace {

constexpr std::int32_t kDefaultHeight = 20;

void ResetFontSpec(FontSpec& run_font) {
    run_font = FontSpec{};
    run_font.font.height = kDefaultHeight;
    run_font.font.weight = kWeightNormal;
    run_font.font.char_set = kCharsetGb2312;
    run_font.font.quality = kQualityAntialiased;
}

}  // namespace

void ResetTextItem(TextItem& item) {
    item.x = 0;
    item.y = 0;
    item.wrap_width = 0;
    item.line_gap = 0;
    item.text.clear();
    ResetFontSpec(item.text_font);
    ResetFontSpec(item.digit_font);
}

void SetFaceName(LogFont& font, const wchar_t* face) {
    std::wmemset(font.face_name, L'\0', kFaceNameSize);
    if (face != nullptr) {
        std::wcsncpy(font.face_name, face, kFaceNameSize - 1);
    }
}

}  // namespace vorn
