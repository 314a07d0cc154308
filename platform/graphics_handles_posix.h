// Owners of the Linux drawing objects: Cairo surfaces, contexts and fonts, FreeType faces and
// fontconfig's patterns and sets. Only _posix files of the drawing code use it.
#pragma once

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include "platform/unique_handle.h"

namespace vorn {

// One reference of a Cairo image surface.
using CairoSurface = NullableHandle<cairo_surface_t*, &cairo_surface_destroy>;
// One reference of a Cairo drawing context.
using CairoContext = NullableHandle<cairo_t*, &cairo_destroy>;
// One reference of a Cairo font face.
using CairoFontFace = NullableHandle<cairo_font_face_t*, &cairo_font_face_destroy>;
// One reference of a Cairo scaled font.
using CairoScaledFont = NullableHandle<cairo_scaled_font_t*, &cairo_scaled_font_destroy>;
// Cairo font options made by cairo_font_options_create.
using CairoFontOptions = NullableHandle<cairo_font_options_t*, &cairo_font_options_destroy>;
// A FreeType face opened from a file or from memory.
using FreeTypeFace = NullableHandle<FT_Face, &FT_Done_Face>;
// A fontconfig pattern, object set, character set and font set.
using FontPattern = NullableHandle<FcPattern*, &FcPatternDestroy>;
using FontObjectSet = NullableHandle<FcObjectSet*, &FcObjectSetDestroy>;
using FontCharacterSet = NullableHandle<FcCharSet*, &FcCharSetDestroy>;
using FontSet = NullableHandle<FcFontSet*, &FcFontSetDestroy>;

}  // namespace vorn
