// Image surfaces whose pixels are not cleared first, for code that writes every pixel.
#pragma once

#include <cairo.h>

namespace vorn {

// A 24-bit colour surface of the size, its pixels left as the allocator gives them: cleared
// by Cairo, a canvas, a template or a face cost as much again as writing them. The surface
// owns its pixels and frees them when it is destroyed. On failure the surface is in an
// error state (check cairo_surface_status), as cairo_image_surface_create's would be.
cairo_surface_t* CreateUnclearedSurface(int width, int height);

}  // namespace vorn
