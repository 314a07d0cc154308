// A picture on Windows: a GDI+ bitmap, with the stream and memory block it was read from.
#pragma once

// GDI+ needs the Windows and COM types declared first, in this order.
#include <windows.h>

#include <objbase.h>

#include <objidl.h>

#include <propidl.h>

#include <gdiplus.h>

struct PictureState {
    HGLOBAL block = nullptr;
    IStream* stream = nullptr;
    Gdiplus::GpBitmap* bitmap = nullptr;
};

// Wraps a GDI+ bitmap that holds its own pixels; null when there is none.
PictureState* WrapBitmap(Gdiplus::GpBitmap* bitmap);
