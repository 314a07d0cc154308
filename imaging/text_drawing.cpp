#include "imaging/text_drawing.h"

#include <cwctype>

namespace {

enum class FontClass { kNone, kText, kDigit };

}  // namespace

int DrawTextItem(TextTarget& target, const TextItem& item) {
    if (!target.IsValid()) {
        return -1;
    }
    FontClass current = FontClass::kNone;
    int pen_x = item.x;
    int pen_y = item.y;
    for (const wchar_t character : item.text) {
        const bool digit = std::iswdigit(static_cast<std::wint_t>(character)) != 0;
        const FontClass font_class = digit ? FontClass::kDigit : FontClass::kText;
        const FontSpec& spec = digit ? item.digit_font : item.text_font;
        if (font_class != current) {
            target.SelectFont(spec.font);
            current = font_class;
        }
        TextBox box = target.MeasureCharacter(character, pen_x + spec.x_offset, pen_y);
        if (item.wrap_width > 0 && box.right + spec.spacing - item.x > item.wrap_width) {
            pen_y = box.bottom + item.line_gap;
            box = target.MeasureCharacter(character, item.x + spec.x_offset, pen_y);
        }
        pen_x = box.right + spec.spacing;
        target.DrawCharacter(character, box);
    }
    return 0;
}
