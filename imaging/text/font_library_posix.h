// Fonts on Linux: FreeType faces of the privately registered fonts and of the system's
// fonts found through fontconfig, ready for Cairo.
#pragma once

#include <cairo-ft.h>

#include <cstdint>
#include <string>

#include "platform/graphics_handles_posix.h"

namespace vorn {

// One face: the Cairo font face (which keeps its FreeType face alive) and its metrics.
// The holder owns one reference of the Cairo face.
class FaceRef {
public:
    FaceRef();
    FaceRef(cairo_font_face_t* face, FT_Face ft_face);  // takes a new reference
    ~FaceRef();
    FaceRef(const FaceRef& other);
    FaceRef& operator=(const FaceRef& other);

    explicit operator bool() const { return static_cast<bool>(face_); }
    cairo_font_face_t* face() const { return face_.get(); }
    bool HasGlyph(char32_t character) const;
    // The em size in pixels that gives a character cell of cell_height pixels, and the
    // ascent above the baseline in the same cell; GDI's rule, from the Windows metrics.
    double EmForCellHeight(int cell_height) const;
    double AscentForCellHeight(int cell_height) const;

private:
    CairoFontFace face_;
    FT_Face ft_face_ = nullptr;
};

// A face chosen for a font description, and whether it must be emboldened to look bold.
struct FaceChoice {
    FaceRef face;
    bool synthetic_bold = false;
};

// Registers font file bytes for this process; the returned handle removes them again. With
// copy false the bytes are read in place and must outlive the registration.
void* AddMemoryFont(const unsigned char* data, std::size_t size, bool copy);
void RemoveMemoryFont(void* handle);

// Whether fontconfig knows a font of exactly this family (UTF-8).
bool SystemHasFamily(const std::string& family);

// The face for a family name (UTF-8), weight (100 to 900) and Windows character set:
// a privately registered font of that family first, else fontconfig's best match.
FaceChoice MatchFace(const std::string& family, int weight, int char_set);

// A face that has the character, for one its chosen face lacks: a privately registered
// font first, else fontconfig's best match for the character. Empty when none has it.
FaceRef FallbackFace(char32_t character, int char_set);

// Forgets the system faces and character matches remembered while drawing, and empties
// Cairo's font caches when no face is held any more. True when the caches were emptied.
bool ReleaseFontCaches();

// Loads fontconfig's configuration, which the first match otherwise waits for.
void WarmUpFontMatching();

// How many font faces are open: those registered and those of system fonts, and any that
// Cairo still keeps. Zero between requests.
int OpenFontFaces();

}  // namespace vorn
