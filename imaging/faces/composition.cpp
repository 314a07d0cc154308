#include "imaging/faces/composition.h"

#include <cwctype>

namespace vorn {

namespace {

// A text that does not fit its width shrinks down to this cell height on one line; below
// it, it takes two lines of the two-line height, one pixel apart, within the height that
// one line of the original font takes.
constexpr int kSmallestOneLineHeight = 24;
constexpr int kTwoLineGap = 1;

void ApplyFontOperation(CIdCardFont& fonts, FontOperation operation, TextItem& item) {
    switch (operation) {
        case FontOperation::kKeep:
            return;
        case FontOperation::kName:
            fonts.ApplyNameFont(item);
            return;
        case FontOperation::kField:
            fonts.ApplyFieldFont(item);
            return;
        case FontOperation::kIdNumber:
            fonts.ApplyIdNumberFont(item);
            return;
        case FontOperation::kValidity:
            fonts.ApplyValidityFont(item);
            return;
        case FontOperation::kForeignName:
            fonts.ApplyForeignNameFont(item);
            return;
        case FontOperation::kForeignField:
            fonts.ApplyForeignFieldFont(item);
            return;
        case FontOperation::kForeignNumber:
            fonts.ApplyForeignNumberFont(item);
            return;
        case FontOperation::kForeignDate:
            fonts.ApplyForeignDateFont(item);
            return;
    }
}

void SetHeights(TextItem& item, int height) {
    item.text_font.font.height = height;
    item.digit_font.font.height = height;
}

bool Fits(TextTarget& target, const TextItem& item, int width) {
    return MeasureTextItem(target, item) - item.x <= width;
}

// Draws a text that is too long for its width at the original size: one line as large as
// fits down to kSmallestOneLineHeight, else two lines broken between words. The item's
// fonts are restored afterwards, since the next fields keep them.
int DrawFittedRow(CardCanvas& canvas, TextItem& item, int width) {
    const FontSpec text_font = item.text_font;
    const FontSpec digit_font = item.digit_font;
    const int original = text_font.font.height;
    int result = 0;
    int height = original;
    while (height > kSmallestOneLineHeight && !Fits(canvas, item, width)) {
        SetHeights(item, --height);
    }
    if (Fits(canvas, item, width)) {
        result = DrawTextItem(canvas, item);
    } else {
        const int line_height = (original - kTwoLineGap) / 2;
        SetHeights(item, line_height);
        const std::wstring text = item.text;
        // The longest first line that fits and ends before a blank; a text without a blank
        // that fits is cut between characters.
        std::size_t cut = 0;
        std::size_t fallback = 0;
        for (std::size_t end = 1; end <= text.size(); ++end) {
            item.text = text.substr(0, end);
            if (!Fits(canvas, item, width)) {
                break;
            }
            fallback = end;
            if (end < text.size() && std::iswspace(static_cast<std::wint_t>(text[end]))) {
                cut = end;
            }
        }
        if (cut == 0) {
            cut = fallback;
        }
        std::size_t next = cut;
        while (next < text.size() && std::iswspace(static_cast<std::wint_t>(text[next]))) {
            ++next;
        }
        const int top = item.y;
        item.text = text.substr(0, cut);
        result = DrawTextItem(canvas, item);
        if (result == 0) {
            item.y = top + line_height + kTwoLineGap;
            item.text = text.substr(next);
            result = DrawTextItem(canvas, item);
        }
        item.y = top;
        item.text = text;
    }
    item.text_font = text_font;
    item.digit_font = digit_font;
    return result;
}

}  // namespace

int MeasureTextItem(TextTarget& target, const TextItem& item) {
    FontRun run(target, item);
    int right = item.x;
    for (const wchar_t character : item.text) {
        const FontSpec& run_font = run.FontFor(character);
        right = target.MeasureCharacter(character, right + run_font.x_offset, item.y).right +
                run_font.spacing;
    }
    return right;
}

void ApplyRow(CIdCardFont& fonts, const FieldRow& row, TextItem& item) {
    item.x = row.x;
    item.y = row.y;
    item.wrap_width = row.wrap_width;
    item.line_gap = row.line_gap;
    item.text = row.text;
    ApplyFontOperation(fonts, row.font, item);
    if (row.weight) {
        item.text_font.font.weight = *row.weight;
        item.digit_font.font.weight = *row.weight;
    }
    if (row.digit_weight) {
        item.digit_font.font.weight = *row.digit_weight;
    }
}

int DrawFieldRows(CardCanvas& canvas, TextItem& item, CIdCardFont& fonts,
                  const std::vector<FieldRow>& rows) {
    for (const FieldRow& row : rows) {
        ApplyRow(fonts, row, item);
        const int drawn = row.fit_width > 0 && !Fits(canvas, item, row.fit_width)
                              ? DrawFittedRow(canvas, item, row.fit_width)
                              : DrawTextItem(canvas, item);
        if (drawn != kPictureDone) {
            return kPictureFailed;
        }
    }
    return kPictureDone;
}

}  // namespace vorn
