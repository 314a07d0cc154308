// The platform halves of the raster.h operations. raster.cpp makes the checks that do not
// depend on the platform and calls these only for what remains: they are defined in
// raster_posix.cpp and raster_win.cpp.
#pragma once

#include <cstdint>

#include "imaging/drawing/raster.h"

namespace vorn {

// Makes the canvas's state and fills it, on a canvas that holds nothing.
bool MakeCanvas(const TemplateBitmap* source, CardCanvas& canvas, int width, int height);
// Frees what a canvas state holds, and the state.
void DestroyCanvasState(CanvasState* state);
// DrawImage on a valid canvas with an image that has a bitmap.
int DrawImageOnCanvas(CardCanvas& canvas, int x, int y, int width, int height,
                      const ImageMemoryStream& image, bool transparent);
// StretchCanvasToPicture on a valid canvas, to a size of at least 1 x 1.
bool StretchValidCanvas(const CardCanvas& canvas, int width, int height, ImageMemoryStream& holder);
// ReadCanvasPixel at a point inside a valid canvas.
bool ReadPixelInside(const CardCanvas& canvas, int x, int y, std::uint32_t* rgb);
// LoadTemplateBitmap from a bitmap resource of the entry's module, or from the entry's file.
TemplateBitmap* LoadModuleTemplate(const ResourceEntry& entry);
TemplateBitmap* LoadFileTemplate(const ResourceEntry& entry);

}  // namespace vorn
