// Canvases and image drawing on Windows, with GDI, msimg32 and GDI+.
#include <memory>
#include <new>
#include <utility>

#include "imaging/drawing/canvas_win.h"
#include "imaging/drawing/picture_win.h"
#include "imaging/drawing/raster.h"
#include "imaging/drawing/raster_platform.h"
#include "imaging/pixel_colour.h"

namespace vorn {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

struct TemplateBitmap {
    GdiObject<HBITMAP> bitmap;
};

namespace {

constexpr int kBlankBitsPerPixel = 32;

// COLORREF keeps red in the low byte; the program's pixels are 0x00RRGGBB.
std::uint32_t ToRgb(COLORREF colour) {
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

// The template that owns a loaded bitmap; null, with the bitmap freed, when there is no
// bitmap or no memory for the template.
TemplateBitmap* AdoptTemplate(GdiObject<HBITMAP> bitmap) {
    if (!bitmap) {
        return nullptr;
    }
    auto* loaded = new (std::nothrow) TemplateBitmap;
    if (loaded != nullptr) {
        loaded->bitmap = std::move(bitmap);
    }
    return loaded;
}

}  // namespace

bool MakeCanvas(const TemplateBitmap* source, CardCanvas& canvas, int width, int height) {
    // The blank bitmap is declared first so that it goes after the context that holds it.
    GdiObject<HBITMAP> blank;
    MemoryDc source_dc(CreateCompatibleDC(nullptr));
    if (!source_dc) {
        return false;
    }
    HBITMAP source_bitmap = nullptr;
    int source_width = width;
    int source_height = height;
    if (source != nullptr && source->bitmap) {
        BITMAP info{};
        GetObjectW(source->bitmap.get(), sizeof(info), &info);
        source_width = info.bmWidth;
        source_height = info.bmHeight;
        source_bitmap = source->bitmap.get();
    } else {
        if (width == 0 || height == 0) {
            return false;
        }
        blank.reset(CreateBitmap(width, height, 1, kBlankBitsPerPixel, nullptr));
        source_bitmap = blank.get();
    }
    HGDIOBJ original_source = SelectObject(source_dc.get(), source_bitmap);

    auto* state = new (std::nothrow) CanvasState;
    if (state != nullptr) {
        canvas.state = state;
        canvas.width = width;
        canvas.height = height;
        state->bitmap.reset(CreateCompatibleBitmap(source_dc.get(), width, height));
        state->dc.reset(CreateCompatibleDC(source_dc.get()));
        if (state->bitmap && state->dc) {
            state->original_bitmap = SelectObject(state->dc.get(), state->bitmap.get());
            // HALFTONE averages the source's areas, and stays set for later stretches.
            SetStretchBltMode(state->dc.get(), HALFTONE);
            SetBrushOrgEx(state->dc.get(), 0, 0, nullptr);
            canvas.valid = StretchBlt(state->dc.get(), 0, 0, width, height, source_dc.get(), 0, 0,
                                      source_width, source_height, SRCCOPY) != FALSE;
        }
    }
    // The source context lets go of the bitmap before either goes.
    SelectObject(source_dc.get(), original_source);
    return canvas.valid;
}

void DestroyCanvasState(CanvasState* state) {
    delete state;
}

int DrawImageOnCanvas(CardCanvas& canvas, int x, int y, int width, int height,
                      const ImageMemoryStream& image, bool transparent) {
    HBITMAP made = nullptr;
    if (GdipCreateHBITMAPFromBitmap(image.state()->bitmap.get(), &made, 0) != Ok ||
        made == nullptr) {
        return -1;
    }
    const GdiObject<HBITMAP> converted(made);
    UINT image_width = 0;
    UINT image_height = 0;
    GdipGetImageWidth(image.state()->bitmap.get(), &image_width);
    GdipGetImageHeight(image.state()->bitmap.get(), &image_height);
    int result = -1;
    // The context goes before the bitmap it held.
    const MemoryDc image_dc(CreateCompatibleDC(canvas.state->dc.get()));
    HGDIOBJ original = image_dc ? SelectObject(image_dc.get(), converted.get()) : nullptr;
    if (original != nullptr) {
        BOOL drawn = FALSE;
        if (transparent) {
            const COLORREF key = GetPixel(image_dc.get(), 1, 1) & kColourMask;
            drawn =
                TransparentBlt(canvas.state->dc.get(), x, y, width, height, image_dc.get(), 0, 0,
                               static_cast<int>(image_width), static_cast<int>(image_height), key);
        } else {
            drawn =
                StretchBlt(canvas.state->dc.get(), x, y, width, height, image_dc.get(), 0, 0,
                           static_cast<int>(image_width), static_cast<int>(image_height), SRCCOPY);
        }
        SelectObject(image_dc.get(), original);
        result = drawn ? 0 : -1;
    }
    return result;
}

bool StretchValidCanvas(const CardCanvas& canvas, int width, int height,
                        ImageMemoryStream& holder) {
    // The context goes before the bitmap it drew into.
    const GdiObject<HBITMAP> output(CreateCompatibleBitmap(canvas.state->dc.get(), width, height));
    const MemoryDc output_dc(CreateCompatibleDC(canvas.state->dc.get()));
    bool ok = output && output_dc;
    if (ok) {
        HGDIOBJ original = SelectObject(output_dc.get(), output.get());
        SetStretchBltMode(output_dc.get(), HALFTONE);
        SetBrushOrgEx(output_dc.get(), 0, 0, nullptr);
        ok = StretchBlt(output_dc.get(), 0, 0, width, height, canvas.state->dc.get(), 0, 0,
                        canvas.width, canvas.height, SRCCOPY) != FALSE;
        SelectObject(output_dc.get(), original);
    }
    if (ok) {
        // GDI+ copies the pixels: the GDI bitmap can go right after.
        GpBitmap* bitmap = nullptr;
        ok = GdipCreateBitmapFromHBITMAP(output.get(), nullptr, &bitmap) == Ok && bitmap != nullptr;
        PictureState* state = ok ? WrapBitmap(GdiplusBitmap(bitmap)) : nullptr;
        ok = state != nullptr;
        if (ok) {
            holder.Adopt(state);
        }
    }
    return ok;
}

bool ReadPixelInside(const CardCanvas& canvas, int x, int y, std::uint32_t* rgb) {
    const COLORREF colour = GetPixel(canvas.state->dc.get(), x, y);
    if (colour == CLR_INVALID) {
        return false;
    }
    *rgb = ToRgb(colour);
    return true;
}

TemplateBitmap* LoadModuleTemplate(const ResourceEntry& entry) {
    return AdoptTemplate(GdiObject<HBITMAP>(
        LoadBitmapW(static_cast<HINSTANCE>(entry.module), MAKEINTRESOURCEW(entry.resource_id))));
}

TemplateBitmap* LoadFileTemplate(const ResourceEntry& entry) {
    return AdoptTemplate(GdiObject<HBITMAP>(
        static_cast<HBITMAP>(LoadImageW(nullptr, entry.path.c_str(), IMAGE_BITMAP, 0, 0,
                                        LR_LOADFROMFILE | LR_CREATEDIBSECTION | LR_DEFAULTSIZE))));
}

void FreeTemplateBitmap(TemplateBitmap* bitmap) {
    delete bitmap;
}

}  // namespace vorn
