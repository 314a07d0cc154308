// A card canvas on Windows: a memory device context with its bitmap and selected font.
#pragma once

#include <windows.h>

struct CanvasState {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ original_bitmap = nullptr;
    HFONT font = nullptr;
    HGDIOBJ original_font = nullptr;
};
