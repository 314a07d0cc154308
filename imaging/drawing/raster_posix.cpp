// Canvases and image drawing on Linux, with Cairo image surfaces.
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "imaging/drawing/area_average_posix.h"
#include "imaging/drawing/canvas_posix.h"
#include "imaging/drawing/picture_posix.h"
#include "imaging/drawing/raster.h"
#include "imaging/drawing/raster_platform.h"
#include "imaging/drawing/uncleared_surface_posix.h"
#include "imaging/pixel_colour.h"
#include "platform/file_bytes.h"

namespace vorn {

struct TemplateBitmap {
    CairoSurface surface;
};

namespace {

// A template file is a 540 x 340 bitmap of about half a megabyte; anything much larger is
// not a template.
constexpr std::size_t kMaxTemplateFileSize = 16u * 1024u * 1024u;

// Paints the whole source onto the rectangle; PAD keeps the borders from blending with what
// lies outside the source.
void PaintStretched(cairo_t* cr, cairo_surface_t* source, double x, double y, double width,
                    double height) {
    const int source_width = cairo_image_surface_get_width(source);
    const int source_height = cairo_image_surface_get_height(source);
    cairo_save(cr);
    cairo_rectangle(cr, x, y, width, height);
    cairo_clip(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, width / source_width, height / source_height);
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(cr);
    // Enlarging, interpolation between pixels serves and has Pixman's fast path; shrinking
    // needs the areas averaged.
    const bool enlarging = width >= source_width && height >= source_height;
    cairo_pattern_set_filter(pattern, enlarging ? CAIRO_FILTER_BILINEAR : CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_paint(cr);
    cairo_restore(cr);
}

std::uint32_t PixelAt(cairo_surface_t* surface, int x, int y) {
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    return reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * stride)[x];
}

// A copy of the image in which every pixel of the key colour is fully transparent.
CairoSurface KeyedCopy(cairo_surface_t* image, std::uint32_t key) {
    const int width = cairo_image_surface_get_width(image);
    const int height = cairo_image_surface_get_height(image);
    CairoSurface keyed(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(keyed.get()) != CAIRO_STATUS_SUCCESS) {
        return keyed;
    }
    cairo_surface_flush(keyed.get());
    unsigned char* data = cairo_image_surface_get_data(keyed.get());
    const int stride = cairo_image_surface_get_stride(keyed.get());
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t colour = PixelAt(image, x, y) & kColourMask;
            row[x] = colour == key ? 0 : (0xFF000000u | colour);
        }
    }
    cairo_surface_mark_dirty(keyed.get());
    return keyed;
}

// The template that owns a decoded surface; null, with the surface freed, when there is no
// surface or no memory for the template.
TemplateBitmap* AdoptTemplate(CairoSurface surface) {
    if (!surface) {
        return nullptr;
    }
    auto* bitmap = new (std::nothrow) TemplateBitmap;
    if (bitmap != nullptr) {
        bitmap->surface = std::move(surface);
    }
    return bitmap;
}

}  // namespace

bool MakeCanvas(const TemplateBitmap* source, CardCanvas& canvas, int width, int height) {
    if (width <= 0 || height <= 0 || (source != nullptr && !source->surface)) {
        return false;
    }
    auto* state = new (std::nothrow) CanvasState;
    if (state == nullptr) {
        return false;
    }
    // The template or the white fill below covers every pixel.
    state->surface.reset(CreateUnclearedSurface(width, height));
    state->cr.reset(cairo_create(state->surface.get()));
    canvas.state = state;
    canvas.width = width;
    canvas.height = height;
    cairo_t* cr = state->cr.get();
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        return false;
    }
    if (source != nullptr) {
        cairo_surface_flush(source->surface.get());
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        PaintStretched(cr, source->surface.get(), 0, 0, width, height);
    } else {
        // A canvas without a template starts white rather than undefined.
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
    }
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    canvas.valid = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    return canvas.valid;
}

void DestroyCanvasState(CanvasState* state) {
    delete state;
}

int DrawImageOnCanvas(CardCanvas& canvas, int x, int y, int width, int height,
                      const ImageMemoryStream& image, bool transparent) {
    cairo_surface_t* source = image.state()->surface.get();
    cairo_surface_flush(source);
    cairo_t* cr = canvas.state->cr.get();
    if (!transparent) {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        PaintStretched(cr, source, x, y, width, height);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        return cairo_status(cr) == CAIRO_STATUS_SUCCESS ? 0 : -1;
    }
    // The key is the colour of pixel (1, 1); an image too small to have one is keyed on
    // white, the colour GDI reports for a pixel outside the image.
    std::uint32_t key = kColourMask;
    if (cairo_image_surface_get_width(source) > 1 && cairo_image_surface_get_height(source) > 1) {
        key = PixelAt(source, 1, 1) & kColourMask;
    }
    const CairoSurface keyed = KeyedCopy(source, key);
    if (cairo_surface_status(keyed.get()) != CAIRO_STATUS_SUCCESS) {
        return -1;
    }
    PaintStretched(cr, keyed.get(), x, y, width, height);
    return cairo_status(cr) == CAIRO_STATUS_SUCCESS ? 0 : -1;
}

bool StretchValidCanvas(const CardCanvas& canvas, int width, int height,
                        ImageMemoryStream& holder) {
    // The averaging or the painting below writes every pixel.
    CairoSurface output(CreateUnclearedSurface(width, height));
    if (cairo_surface_status(output.get()) != CAIRO_STATUS_SUCCESS) {
        return false;
    }
    cairo_surface_t* source = canvas.state->surface.get();
    cairo_surface_flush(source);
    cairo_surface_flush(output.get());
    if (width <= canvas.width && height <= canvas.height) {
        // The faces are always reductions: averaged directly, much faster than Pixman's
        // general convolution.
        AreaAverage(cairo_image_surface_get_data(source), canvas.width, canvas.height,
                    cairo_image_surface_get_stride(source),
                    cairo_image_surface_get_data(output.get()), width, height,
                    cairo_image_surface_get_stride(output.get()));
        cairo_surface_mark_dirty(output.get());
    } else {
        bool painted = false;
        {
            // The context lets go of the surface before the surface is read.
            const CairoContext cr(cairo_create(output.get()));
            cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
            PaintStretched(cr.get(), source, 0, 0, width, height);
            painted = cairo_status(cr.get()) == CAIRO_STATUS_SUCCESS;
        }
        if (!painted) {
            return false;
        }
        cairo_surface_flush(output.get());
    }
    PictureState* state = WrapSurface(std::move(output));
    if (state == nullptr) {
        return false;
    }
    holder.Adopt(state);
    return true;
}

bool ReadPixelInside(const CardCanvas& canvas, int x, int y, std::uint32_t* rgb) {
    cairo_surface_flush(canvas.state->surface.get());
    *rgb = PixelAt(canvas.state->surface.get(), x, y) & kColourMask;
    return true;
}

TemplateBitmap* LoadModuleTemplate(const ResourceEntry& entry) {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (!FindModuleResource(entry.module, entry.resource_id, ResourceKind::kBitmap, &data, &size)) {
        return nullptr;
    }
    return AdoptTemplate(DecodeImageToSurface(data, size));
}

TemplateBitmap* LoadFileTemplate(const ResourceEntry& entry) {
    const auto bytes = ReadFileBytes(PathFromWide(entry.path.c_str()), kMaxTemplateFileSize);
    if (!bytes) {
        return nullptr;
    }
    return AdoptTemplate(DecodeImageToSurface(bytes->data(), bytes->size()));
}

void FreeTemplateBitmap(TemplateBitmap* bitmap) {
    delete bitmap;
}

}  // namespace vorn
