// Warm fonts on Windows: GDI keeps its own glyph cache for the system's fonts, so nothing is
// made ahead and nothing is held.
#include "imaging/text/warm_fonts.h"

namespace vorn {

struct WarmFontsState {};

WarmFonts::WarmFonts() = default;
WarmFonts::~WarmFonts() = default;
WarmFonts::WarmFonts(WarmFonts&& other) noexcept = default;
WarmFonts& WarmFonts::operator=(WarmFonts&& other) noexcept = default;

void WarmFonts::Warm(const LogFont& /*font*/, const std::wstring& /*characters*/) {}

void WarmFonts::Release() {
    state_.reset();
}

int WarmFonts::count() const {
    return 0;
}

}  // namespace vorn
