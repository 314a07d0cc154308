// Fonts made and their glyphs loaded before the drawing, held for the request that draws.
#pragma once

#include <memory>
#include <string>

#include "imaging/text/text_item.h"

namespace vorn {

// What the held fonts are on the platform; each platform defines it.
struct WarmFontsState;

// Holds the fonts that a canvas makes for the font descriptions it was given, each with the
// glyphs of its characters measured and drawn once, so that a canvas of the same request
// that selects one of them is handed that font with its glyphs ready. The request owns it
// and releases it before the drawing library's caches are emptied. Where the system keeps
// its own glyph cache (GDI), it holds nothing.
class WarmFonts {
public:
    WarmFonts();
    ~WarmFonts();
    WarmFonts(const WarmFonts&) = delete;
    WarmFonts& operator=(const WarmFonts&) = delete;
    // Taking another's fonts releases the ones held before.
    WarmFonts(WarmFonts&& other) noexcept;
    WarmFonts& operator=(WarmFonts&& other) noexcept;

    // Makes the font a canvas makes for this description and loads the glyphs of the
    // characters into it, as measuring and drawing them does.
    void Warm(const LogFont& font, const std::wstring& characters);
    // Lets go of every font held.
    void Release();
    // How many fonts are held.
    int count() const;

private:
    std::unique_ptr<WarmFontsState> state_;
};

}  // namespace vorn
