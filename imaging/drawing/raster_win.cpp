// Canvases and image drawing on Windows, with GDI, msimg32 and GDI+.
#include <new>

#include "imaging/drawing/canvas_win.h"
#include "imaging/drawing/picture_win.h"
#include "imaging/drawing/raster.h"
#include "imaging/drawing/raster_platform.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

struct TemplateBitmap {
    HBITMAP bitmap = nullptr;
};

namespace {

constexpr COLORREF kColourMask = 0x00FFFFFF;
constexpr int kBlankBitsPerPixel = 32;

// COLORREF keeps red in the low byte; the program's pixels are 0x00RRGGBB.
std::uint32_t ToRgb(COLORREF colour) {
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

// The template that owns a loaded bitmap; null, with the bitmap freed, when there is no
// bitmap or no memory for the template.
TemplateBitmap* AdoptTemplate(HBITMAP bitmap) {
    if (bitmap == nullptr) {
        return nullptr;
    }
    auto* loaded = new (std::nothrow) TemplateBitmap;
    if (loaded == nullptr) {
        DeleteObject(bitmap);
        return nullptr;
    }
    loaded->bitmap = bitmap;
    return loaded;
}

}  // namespace

bool MakeCanvas(const TemplateBitmap* source, CardCanvas& canvas, int width, int height) {
    HDC source_dc = CreateCompatibleDC(nullptr);
    if (source_dc == nullptr) {
        return false;
    }
    HBITMAP blank = nullptr;
    HBITMAP source_bitmap = nullptr;
    int source_width = width;
    int source_height = height;
    if (source != nullptr && source->bitmap != nullptr) {
        BITMAP info{};
        GetObjectW(source->bitmap, sizeof(info), &info);
        source_width = info.bmWidth;
        source_height = info.bmHeight;
        source_bitmap = source->bitmap;
    } else {
        if (width == 0 || height == 0) {
            DeleteDC(source_dc);
            return false;
        }
        blank = CreateBitmap(width, height, 1, kBlankBitsPerPixel, nullptr);
        source_bitmap = blank;
    }
    HGDIOBJ original_source = SelectObject(source_dc, source_bitmap);

    auto* state = new (std::nothrow) CanvasState;
    if (state != nullptr) {
        canvas.state = state;
        canvas.width = width;
        canvas.height = height;
        state->bitmap = CreateCompatibleBitmap(source_dc, width, height);
        state->dc = CreateCompatibleDC(source_dc);
        if (state->bitmap != nullptr && state->dc != nullptr) {
            state->original_bitmap = SelectObject(state->dc, state->bitmap);
            // HALFTONE averages the source's areas, and stays set for later stretches.
            SetStretchBltMode(state->dc, HALFTONE);
            SetBrushOrgEx(state->dc, 0, 0, nullptr);
            canvas.valid = StretchBlt(state->dc, 0, 0, width, height, source_dc, 0, 0, source_width,
                                      source_height, SRCCOPY) != FALSE;
        }
    }
    SelectObject(source_dc, original_source);
    DeleteDC(source_dc);
    if (blank != nullptr) {
        DeleteObject(blank);
    }
    return canvas.valid;
}

void DestroyCanvasState(CanvasState* state) {
    if (state->dc != nullptr) {
        if (state->original_font != nullptr) {
            SelectObject(state->dc, state->original_font);
        }
        if (state->original_bitmap != nullptr) {
            SelectObject(state->dc, state->original_bitmap);
        }
        DeleteDC(state->dc);
    }
    if (state->font != nullptr) {
        DeleteObject(state->font);
    }
    if (state->bitmap != nullptr) {
        DeleteObject(state->bitmap);
    }
    delete state;
}

int DrawImageOnCanvas(CardCanvas& canvas, int x, int y, int width, int height,
                      const ImageMemoryStream& image, bool transparent) {
    HBITMAP converted = nullptr;
    if (GdipCreateHBITMAPFromBitmap(image.state()->bitmap, &converted, 0) != Ok ||
        converted == nullptr) {
        return -1;
    }
    UINT image_width = 0;
    UINT image_height = 0;
    GdipGetImageWidth(image.state()->bitmap, &image_width);
    GdipGetImageHeight(image.state()->bitmap, &image_height);
    int result = -1;
    HDC image_dc = CreateCompatibleDC(canvas.state->dc);
    HGDIOBJ original = image_dc != nullptr ? SelectObject(image_dc, converted) : nullptr;
    if (original != nullptr) {
        BOOL drawn = FALSE;
        if (transparent) {
            const COLORREF key = GetPixel(image_dc, 1, 1) & kColourMask;
            drawn =
                TransparentBlt(canvas.state->dc, x, y, width, height, image_dc, 0, 0,
                               static_cast<int>(image_width), static_cast<int>(image_height), key);
        } else {
            drawn =
                StretchBlt(canvas.state->dc, x, y, width, height, image_dc, 0, 0,
                           static_cast<int>(image_width), static_cast<int>(image_height), SRCCOPY);
        }
        SelectObject(image_dc, original);
        result = drawn ? 0 : -1;
    }
    if (image_dc != nullptr) {
        DeleteDC(image_dc);
    }
    DeleteObject(converted);
    return result;
}

bool StretchValidCanvas(const CardCanvas& canvas, int width, int height,
                        ImageMemoryStream& holder) {
    HBITMAP output = CreateCompatibleBitmap(canvas.state->dc, width, height);
    HDC output_dc = CreateCompatibleDC(canvas.state->dc);
    bool ok = output != nullptr && output_dc != nullptr;
    if (ok) {
        HGDIOBJ original = SelectObject(output_dc, output);
        SetStretchBltMode(output_dc, HALFTONE);
        SetBrushOrgEx(output_dc, 0, 0, nullptr);
        ok = StretchBlt(output_dc, 0, 0, width, height, canvas.state->dc, 0, 0, canvas.width,
                        canvas.height, SRCCOPY) != FALSE;
        SelectObject(output_dc, original);
    }
    if (ok) {
        // GDI+ copies the pixels: the GDI bitmap can go right after.
        GpBitmap* bitmap = nullptr;
        ok = GdipCreateBitmapFromHBITMAP(output, nullptr, &bitmap) == Ok && bitmap != nullptr;
        PictureState* state = ok ? WrapBitmap(bitmap) : nullptr;
        ok = state != nullptr;
        if (ok) {
            holder.Adopt(state);
        }
    }
    if (output_dc != nullptr) {
        DeleteDC(output_dc);
    }
    if (output != nullptr) {
        DeleteObject(output);
    }
    return ok;
}

bool ReadPixelInside(const CardCanvas& canvas, int x, int y, std::uint32_t* rgb) {
    const COLORREF colour = GetPixel(canvas.state->dc, x, y);
    if (colour == CLR_INVALID) {
        return false;
    }
    *rgb = ToRgb(colour);
    return true;
}

TemplateBitmap* LoadModuleTemplate(const ResourceEntry& entry) {
    return AdoptTemplate(
        LoadBitmapW(static_cast<HINSTANCE>(entry.module), MAKEINTRESOURCEW(entry.resource_id)));
}

TemplateBitmap* LoadFileTemplate(const ResourceEntry& entry) {
    return AdoptTemplate(
        static_cast<HBITMAP>(LoadImageW(nullptr, entry.path.c_str(), IMAGE_BITMAP, 0, 0,
                                        LR_LOADFROMFILE | LR_CREATEDIBSECTION | LR_DEFAULTSIZE)));
}

void FreeTemplateBitmap(TemplateBitmap* bitmap) {
    if (bitmap != nullptr) {
        DeleteObject(bitmap->bitmap);
        delete bitmap;
    }
}
