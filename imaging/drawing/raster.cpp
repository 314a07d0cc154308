// The checks of the canvas operations that every platform makes the same way.
#include "imaging/drawing/raster.h"

#include "imaging/drawing/raster_platform.h"

namespace vorn {

CardCanvas::~CardCanvas() {
    ReleaseCanvas(*this);
}

bool CreateCanvas(const TemplateBitmap* source, CardCanvas& canvas, int width, int height) {
    if (canvas.valid || canvas.state != nullptr) {
        ReleaseCanvas(canvas);
    }
    return MakeCanvas(source, canvas, width, height);
}

void ReleaseCanvas(CardCanvas& canvas) {
    canvas.width = 0;
    canvas.height = 0;
    canvas.valid = false;
    CanvasState* state = canvas.state;
    canvas.state = nullptr;
    if (state != nullptr) {
        DestroyCanvasState(state);
    }
}

void MoveCanvas(CardCanvas& from, CardCanvas& to) {
    if (&from == &to) {
        return;
    }
    ReleaseCanvas(to);
    to.valid = from.valid;
    to.width = from.width;
    to.height = from.height;
    to.state = from.state;
    from.valid = false;
    from.width = 0;
    from.height = 0;
    from.state = nullptr;
}

int DrawImage(CardCanvas& canvas, int x, int y, int width, int height,
              const ImageMemoryStream& image, bool transparent) {
    if (!canvas.valid || !image.HasBitmap()) {
        return kPictureFailed;
    }
    return DrawImageOnCanvas(canvas, x, y, width, height, image, transparent);
}

bool StretchCanvasToPicture(const CardCanvas& canvas, int width, int height,
                            ImageMemoryStream& holder) {
    if (!canvas.valid || width <= 0 || height <= 0) {
        return false;
    }
    return StretchValidCanvas(canvas, width, height, holder);
}

bool ReadCanvasPixel(const CardCanvas& canvas, int x, int y, std::uint32_t* rgb) {
    if (!canvas.valid || x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) {
        return false;
    }
    return ReadPixelInside(canvas, x, y, rgb);
}

TemplateBitmap* LoadTemplateBitmap(const ResourceEntry& entry) {
    if (entry.source == kResourceFromModule) {
        return LoadModuleTemplate(entry);
    }
    if (entry.source == kResourceFromFile && !entry.path.empty()) {
        return LoadFileTemplate(entry);
    }
    return nullptr;
}

}  // namespace vorn
