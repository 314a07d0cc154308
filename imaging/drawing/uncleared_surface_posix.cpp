#include "imaging/drawing/uncleared_surface_posix.h"

#include <cstdlib>

#include "platform/graphics_handles_posix.h"

namespace vorn {

namespace {

// The key under which a surface keeps its pixels, to free them with it.
const cairo_user_data_key_t kPixelsKey{};

}  // namespace

cairo_surface_t* CreateUnclearedSurface(int width, int height) {
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width);
    if (width <= 0 || height <= 0 || stride <= 0) {
        // Cairo makes the error surface that such a size deserves.
        return cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    }
    void* pixels = std::malloc(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
    if (pixels == nullptr) {
        return cairo_image_surface_create(CAIRO_FORMAT_RGB24, -1, -1);
    }
    CairoSurface surface(cairo_image_surface_create_for_data(
        static_cast<unsigned char*>(pixels), CAIRO_FORMAT_RGB24, width, height, stride));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(surface.get(), &kPixelsKey, pixels, std::free) !=
            CAIRO_STATUS_SUCCESS) {
        std::free(pixels);
        if (cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS) {
            // The pixels are gone: the surface must not be used, only destroyed.
            return cairo_image_surface_create(CAIRO_FORMAT_RGB24, -1, -1);
        }
    }
    return surface.release();
}

}  // namespace vorn
