#include "imaging/text/text_drawing.h"

#include <cwctype>

namespace vorn {

const FontSpec& FontRun::FontFor(wchar_t character) {
    const bool digit = std::iswdigit(static_cast<std::wint_t>(character)) != 0;
    const FontClass font_class = digit ? FontClass::kDigit : FontClass::kText;
    const FontSpec& run_font = digit ? item_.digit_font : item_.text_font;
    if (font_class != current_) {
        target_.SelectFont(run_font.font);
        current_ = font_class;
    }
    return run_font;
}

int DrawTextItem(TextTarget& target, const TextItem& item) {
    if (!target.IsValid()) {
        return kPictureFailed;
    }
    FontRun run(target, item);
    int pen_x = item.x;
    int pen_y = item.y;
    for (const wchar_t character : item.text) {
        const FontSpec& run_font = run.FontFor(character);
        TextBox box = target.MeasureCharacter(character, pen_x + run_font.x_offset, pen_y);
        if (item.wrap_width > 0 && box.right + run_font.spacing - item.x > item.wrap_width) {
            pen_y = box.bottom + item.line_gap;
            box = target.MeasureCharacter(character, item.x + run_font.x_offset, pen_y);
        }
        pen_x = box.right + run_font.spacing;
        target.DrawCharacter(character, box);
    }
    return kPictureDone;
}

}  // namespace vorn
