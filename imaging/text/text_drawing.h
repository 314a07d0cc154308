// Drawing a text item character by character, with font runs and wrapping.
#pragma once

#include "imaging/picture_result.h"
#include "imaging/text/text_item.h"

namespace vorn {

// A character's box in canvas pixels: its advance width by the font's cell height.
struct TextBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// What text drawing needs of a canvas: one selected font at a time, and measuring and
// drawing of single characters with it.
class TextTarget {
public:
    virtual ~TextTarget() = default;

    virtual bool IsValid() const = 0;
    // Creates the font and selects it, releasing the one it replaces.
    virtual void SelectFont(const LogFont& font) = 0;
    // The box of the character with its top-left corner at (left, top).
    virtual TextBox MeasureCharacter(wchar_t character, int left, int top) = 0;
    // Draws the character in black over what is below, its box's top-left at the box's.
    virtual void DrawCharacter(wchar_t character, const TextBox& box) = 0;
};

// Picks each character's font, digit or text, and selects it on the target only where the
// character class changes from the previous character's (and for the first character).
class FontRun {
public:
    FontRun(TextTarget& target, const TextItem& item) : target_(target), item_(item) {}

    const FontSpec& FontFor(wchar_t character);

private:
    enum class FontClass { kNone, kText, kDigit };

    TextTarget& target_;
    const TextItem& item_;
    FontClass current_ = FontClass::kNone;
};

// Returns kPictureFailed when the target is not valid, else kPictureDone. A font is created only where the
// character class (digit or not) changes. With a wrap width, a character that would end
// more than wrap width pixels right of x starts a new line at x, line gap pixels below the
// bottom of its box on the line it left.
int DrawTextItem(TextTarget& target, const TextItem& item);

}  // namespace vorn
