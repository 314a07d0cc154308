// The drawing operations the face compositions need: a canvas made from a template,
// character drawing, images drawn into rectangles, and the final scaling.
#pragma once

#include <cstdint>

#include "imaging/faces/card_resources.h"
#include "imaging/photo/image_holder.h"
#include "imaging/text/text_drawing.h"

namespace vorn {

// What a canvas is made of on the platform (a memory device context with its bitmap, or
// a raster with its drawing state); each platform defines it.
struct CanvasState;
// A face template loaded from its file or resource; each platform defines it.
struct TemplateBitmap;

// An off-screen raster for one card face. It owns its pixels and the font selected in it.
class CardCanvas : public TextTarget {
public:
    CardCanvas() = default;
    ~CardCanvas() override;
    CardCanvas(const CardCanvas&) = delete;
    CardCanvas& operator=(const CardCanvas&) = delete;

    bool IsValid() const override { return valid; }
    void SelectFont(const LogFont& font) override;
    TextBox MeasureCharacter(wchar_t character, int left, int top) override;
    void DrawCharacter(wchar_t character, const TextBox& box) override;

    bool valid = false;
    int width = 0;
    int height = 0;
    CanvasState* state = nullptr;
};

// Fills the canvas with the template stretched (averaging areas) to width x height, or
// without a template makes a blank canvas of that size; false when either size is 0
// without a template, or when the raster cannot be made. Returns the valid flag.
bool CreateCanvas(const TemplateBitmap* source, CardCanvas& canvas, int width, int height);
void ReleaseCanvas(CardCanvas& canvas);
// Gives everything from holds to to, releasing what to held before; from is left empty.
void MoveCanvas(CardCanvas& from, CardCanvas& to);

// Stretches the whole image onto the rectangle. Transparent: every image pixel of exactly
// the colour of the image's pixel (1, 1) is left out. Returns kPictureDone, or kPictureFailed
// when the canvas is not valid or there is no image.
int DrawImage(CardCanvas& canvas, int x, int y, int width, int height,
              const ImageMemoryStream& image, bool transparent);

// Makes the holder's picture from the whole canvas stretched to width x height.
bool StretchCanvasToPicture(const CardCanvas& canvas, int width, int height,
                            ImageMemoryStream& holder);

// One canvas pixel as 0x00RRGGBB; false outside the canvas.
bool ReadCanvasPixel(const CardCanvas& canvas, int x, int y, std::uint32_t* rgb);

// Loads the template of a table entry: a bitmap resource of the entry's module, or the
// bitmap file at its path. Null when there is none or it cannot be read.
TemplateBitmap* LoadTemplateBitmap(const ResourceEntry& entry);
void FreeTemplateBitmap(TemplateBitmap* bitmap);

}  // namespace vorn
