// A card canvas on Linux: a Cairo image surface, its drawing context and selected font.
#pragma once

#include <cairo.h>

#include <map>

#include "imaging/text/font_library_posix.h"

// The font selected into a canvas, sized for its cell height.
struct SelectedFont {
    FaceRef face;
    cairo_scaled_font_t* scaled = nullptr;
    int cell_height = 0;
    double ascent = 0;
    int embolden = 0;  // extra strokes, in pixels to the right, for a synthesised bold
    int char_set = 0;
    // Faces for characters the chosen face lacks, sized for the same cell.
    std::map<char32_t, cairo_scaled_font_t*> fallbacks;

    ~SelectedFont();
};

struct CanvasState {
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    SelectedFont* font = nullptr;
};
