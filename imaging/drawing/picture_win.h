// A picture on Windows: a GDI+ bitmap, with the stream and memory block it was read from.
#pragma once

#include "platform/graphics_handles_win.h"

namespace vorn {

// Owns the bitmap and the stream it reads from; the bitmap is declared last so that it goes
// first. The stream frees the memory block when it goes, so the block is only noted here.
struct PictureState {
    HGLOBAL block = nullptr;
    ComReference<IStream> stream;
    GdiplusBitmap bitmap;
};

// Wraps a GDI+ bitmap that holds its own pixels; null when there is none.
PictureState* WrapBitmap(GdiplusBitmap bitmap);

}  // namespace vorn
