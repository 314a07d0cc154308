// A card canvas on Linux: a Cairo image surface, its drawing context and selected font.
#pragma once

#include <cairo.h>

#include <map>
#include <memory>

#include "imaging/text/font_library_posix.h"
#include "platform/graphics_handles_posix.h"

namespace vorn {

// The font selected into a canvas, sized for its cell height.
struct SelectedFont {
    FaceRef face;
    CairoScaledFont scaled;
    int cell_height = 0;
    double ascent = 0;
    int embolden = 0;  // extra strokes, in pixels to the right, for a synthesised bold
    int char_set = 0;
    // Faces for characters the chosen face lacks, sized for the same cell.
    std::map<char32_t, CairoScaledFont> fallbacks;
};

// The font goes first, then the context, then the surface it draws on.
struct CanvasState {
    CairoSurface surface;
    CairoContext cr;
    std::unique_ptr<SelectedFont> font;
};

}  // namespace vorn
