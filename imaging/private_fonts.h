// Fonts made available to this process only, from font file bytes in memory.
#pragma once

#include <cstddef>

// A registration; null when none.
using FontHandle = void*;

// Registers the font file's fonts for the process; the bytes may be released afterwards.
// Returns null when the bytes hold no usable font.
FontHandle AddPrivateFont(const unsigned char* data, std::size_t size);
void RemovePrivateFont(FontHandle font);

// Whether the system itself has a font of this family (private fonts not counted).
bool SystemHasFace(const wchar_t* face);
