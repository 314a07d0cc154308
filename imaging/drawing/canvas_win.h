// A card canvas on Windows: a memory device context with its bitmap and selected font.
#pragma once

#include "platform/graphics_handles_win.h"

namespace vorn {

// Owns the canvas's GDI objects. The context goes before the bitmap and font it holds, and
// gets its original objects back first, as GDI asks of a context that is deleted.
struct CanvasState {
    GdiObject<HBITMAP> bitmap;
    GdiObject<HFONT> font;
    MemoryDc dc;
    HGDIOBJ original_bitmap = nullptr;
    HGDIOBJ original_font = nullptr;

    CanvasState() = default;
    CanvasState(const CanvasState&) = delete;
    CanvasState& operator=(const CanvasState&) = delete;
    ~CanvasState() {
        if (!dc) {
            return;
        }
        if (original_font != nullptr) {
            SelectObject(dc.get(), original_font);
        }
        if (original_bitmap != nullptr) {
            SelectObject(dc.get(), original_bitmap);
        }
    }
};

}  // namespace vorn
