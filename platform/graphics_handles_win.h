// Owners of the Windows drawing handles: GDI and GDI+ objects and COM interfaces. Only _win
// files use it.
#pragma once

// GDI+ needs the Windows and COM types declared first, in this order.
#include <windows.h>

#include <objbase.h>

#include <objidl.h>

#include <propidl.h>

#include <gdiplus.h>

#include "platform/unique_handle.h"

namespace vorn {

// A GDI object: bitmap, font, brush.
template <typename T>
using GdiObject = NullableHandle<T, &DeleteObject>;
// A memory device context made by CreateCompatibleDC.
using MemoryDc = NullableHandle<HDC, &DeleteDC>;
// A GDI+ bitmap of the flat interface.
using GdiplusBitmap = NullableHandle<Gdiplus::GpBitmap*, &Gdiplus::DllExports::GdipDisposeImage>;

// The kind of a COM interface pointer: owning it means holding one reference.
template <typename Interface>
struct ComReferenceKind {
    using Handle = Interface*;
    static constexpr Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle object) noexcept { object->Release(); }
};
template <typename Interface>
using ComReference = UniqueHandle<ComReferenceKind<Interface>>;

}  // namespace vorn
