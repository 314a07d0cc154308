// Fonts made available to this process only, from font file bytes in memory.
#pragma once

#include <cstddef>

namespace vorn {

// A registration; null when none.
using FontHandle = void*;

// Registers the font file's fonts for the process; the bytes may be released afterwards.
// Returns null when the bytes hold no usable font.
FontHandle AddPrivateFont(const unsigned char* data, std::size_t size);
// The same for bytes that stay where they are while the program runs (its own resources),
// which need not be copied. On Windows such a font stays registered for the process once it
// has been added, and removing it leaves it so.
FontHandle AddProgramFont(const unsigned char* data, std::size_t size);
void RemovePrivateFont(FontHandle font);

// Whether the system itself has a font of this family (private fonts not counted).
bool SystemHasFace(const wchar_t* face);

// Lets go of what drawing text kept for the request that ends: faces of system fonts and
// the drawing library's font caches.
void ReleaseDrawingCaches();

// Readies what finding fonts needs before the first text is drawn (the system's font
// configuration), so that it can be done ahead, on another thread, while nothing is drawn.
void WarmUpTextDrawing();

}  // namespace vorn
