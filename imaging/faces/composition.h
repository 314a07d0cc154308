// What the front and back compositions share: the face canvas, the template of a card
// kind, and drawing a table of fields with the font operations of a font set.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "imaging/drawing/raster.h"
#include "imaging/faces/font_sets.h"
#include "imaging/text/text_item.h"

namespace vorn {

// Every coordinate of a face layout is in this canvas: the template enlarged ~1.585 times.
constexpr int kFaceCanvasWidth = 856;
constexpr int kFaceCanvasHeight = 540;

// Which font operation of the font set a field applies; kKeep keeps the previous field's.
enum class FontOperation {
    kKeep,
    kName,
    kField,
    kIdNumber,
    kValidity,
    kForeignName,
    kForeignField,
    kForeignNumber,
    kForeignDate,
};

// One row of a layout table.
struct FieldRow {
    FieldRow(std::wstring row_text, int row_x, int row_y,
             FontOperation operation = FontOperation::kKeep, int wrap = 0, int gap = 0)
        : text(std::move(row_text)),
          x(row_x),
          y(row_y),
          font(operation),
          wrap_width(wrap),
          line_gap(gap) {}

    std::wstring text;
    int x = 0;
    int y = 0;
    FontOperation font = FontOperation::kKeep;
    int wrap_width = 0;
    int line_gap = 0;
    // Weights forced after the font operation: both fonts, or the digit font only.
    std::optional<int> weight;
    std::optional<int> digit_weight;
    // When greater than 0: the most pixels right of x the text may reach; a longer text is
    // drawn smaller, and past a point on two lines (see DrawFittedRow).
    int fit_width = 0;
};

// Makes the item ready to draw the row: its place, wrapping and text, then the fonts of the
// row's font operation (which see the text) and its forced weights.
void ApplyRow(CIdCardFont& fonts, const FieldRow& row, TextItem& item);

// Draws the rows in order into the canvas with the reused item; the item's text is set
// before its font operation runs, since the name font looks at it. kPictureFailed at the first
// failure.
int DrawFieldRows(CardCanvas& canvas, TextItem& item, CIdCardFont& fonts,
                  const std::vector<FieldRow>& rows);

// The right edge of the item's last character, as DrawTextItem would place it, without
// drawing; the item's x when it has no text.
int MeasureTextItem(TextTarget& target, const TextItem& item);

// Owns a loaded template for the length of a composition.
class TemplateHolder {
public:
    explicit TemplateHolder(TemplateBitmap* bitmap) : bitmap_(bitmap) {}
    ~TemplateHolder() { FreeTemplateBitmap(bitmap_); }
    TemplateHolder(const TemplateHolder&) = delete;
    TemplateHolder& operator=(const TemplateHolder&) = delete;

    const TemplateBitmap* get() const { return bitmap_; }

private:
    TemplateBitmap* bitmap_;
};

}  // namespace vorn
