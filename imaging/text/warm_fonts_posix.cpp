// Warm fonts on Linux: Cairo scaled fonts with their glyphs' metrics and images loaded. Cairo
// hands a later request for the same face, size and options the scaled font already made,
// so the drawing finds its glyphs ready instead of having FreeType load and hint them.
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "imaging/drawing/canvas_posix.h"
#include "imaging/drawing/raster.h"
#include "imaging/text/warm_fonts.h"

namespace vorn {

namespace {

// Room for the largest character cell of the faces at its top-left corner: a glyph drawn
// wholly outside the canvas would never have its image made.
constexpr int kScratchSide = 96;

}  // namespace

// The fonts are made on a small canvas of their own, by the same selecting, measuring and
// drawing as the faces use, so they are exactly the fonts the faces will ask for.
struct WarmFontsState {
    CardCanvas scratch;
    std::vector<std::unique_ptr<SelectedFont>> fonts;
};

WarmFonts::WarmFonts() = default;
WarmFonts::~WarmFonts() = default;
WarmFonts::WarmFonts(WarmFonts&& other) noexcept = default;
WarmFonts& WarmFonts::operator=(WarmFonts&& other) noexcept = default;

void WarmFonts::Warm(const LogFont& font, const std::wstring& characters) {
    if (state_ == nullptr) {
        state_.reset(new (std::nothrow) WarmFontsState);
        if (state_ == nullptr) {
            return;
        }
    }
    CardCanvas& scratch = state_->scratch;
    if (!scratch.valid && !CreateCanvas(nullptr, scratch, kScratchSide, kScratchSide)) {
        return;
    }
    scratch.SelectFont(font);
    if (scratch.state->font == nullptr) {
        return;
    }
    for (const wchar_t character : characters) {
        scratch.DrawCharacter(character, scratch.MeasureCharacter(character, 0, 0));
    }
    state_->fonts.push_back(std::move(scratch.state->font));
}

void WarmFonts::Release() {
    state_.reset();
}

int WarmFonts::count() const {
    return state_ == nullptr ? 0 : static_cast<int>(state_->fonts.size());
}

}  // namespace vorn
