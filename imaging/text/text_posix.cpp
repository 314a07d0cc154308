// Character measuring and drawing on Linux: FreeType faces drawn by Cairo, sized and placed
// the way GDI sizes and places a LOGFONT's characters.
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <utility>

#include "imaging/drawing/canvas_posix.h"
#include "imaging/faces/card_resources.h"
#include "imaging/drawing/raster.h"
#include "platform/text_conversion.h"

namespace vorn {

namespace {

// A heavier stroke for every this many pixels of em size when bold must be synthesised.
constexpr double kEmboldenStep = 24.0;
// A font description of height 0 asks for the system's default size.
constexpr int kDefaultCellHeight = 16;

CairoScaledFont ScaleFace(const FaceRef& face, int cell_height) {
    const double em = face.EmForCellHeight(cell_height);
    cairo_matrix_t font_matrix;
    cairo_matrix_init_scale(&font_matrix, em, em);
    cairo_matrix_t identity;
    cairo_matrix_init_identity(&identity);
    const CairoFontOptions options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_SLIGHT);
    // Whole-pixel advances, as GDI measures them.
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_ON);
    CairoScaledFont scaled(
        cairo_scaled_font_create(face.face(), &font_matrix, &identity, options.get()));
    if (cairo_scaled_font_status(scaled.get()) != CAIRO_STATUS_SUCCESS) {
        return {};
    }
    return scaled;
}

// The scaled font that draws the character, and the character's glyph in it.
cairo_scaled_font_t* FontFor(SelectedFont& font, wchar_t character, unsigned long* glyph) {
    const auto code = static_cast<char32_t>(character);
    cairo_scaled_font_t* scaled = font.scaled.get();
    if (!font.face.HasGlyph(code)) {
        auto found = font.fallbacks.find(code);
        if (found == font.fallbacks.end()) {
            CairoScaledFont fallback;
            if (FaceRef face = FallbackFace(code, font.char_set)) {
                fallback = ScaleFace(face, font.cell_height);
            }
            found = font.fallbacks.emplace(code, std::move(fallback)).first;
        }
        if (found->second) {
            scaled = found->second.get();
        }
    }
    *glyph = 0;
    if (scaled != nullptr) {
        FT_Face face = cairo_ft_scaled_font_lock_face(scaled);
        if (face != nullptr) {
            *glyph = FT_Get_Char_Index(face, code);
            cairo_ft_scaled_font_unlock_face(scaled);
        }
    }
    return scaled;
}

}  // namespace

void CardCanvas::SelectFont(const LogFont& font) {
    if (state == nullptr) {
        return;
    }
    state->font.reset();
    const std::string family = WideToUtf8(ResolveFaceName(font.face_name));
    FaceChoice choice = MatchFace(family, font.weight, font.char_set);
    if (!choice.face) {
        return;
    }
    std::unique_ptr<SelectedFont> selected(new (std::nothrow) SelectedFont);
    if (selected == nullptr) {
        return;
    }
    selected->face = choice.face;
    selected->char_set = font.char_set;
    if (font.height > 0) {
        selected->cell_height = font.height;
    } else if (font.height < 0) {
        // A negative height is the em size; the cell is as tall as the face makes it.
        const double per_em = choice.face.EmForCellHeight(1000) / 1000.0;
        selected->cell_height = static_cast<int>(std::lround(-font.height / per_em));
    } else {
        selected->cell_height = kDefaultCellHeight;
    }
    selected->ascent = choice.face.AscentForCellHeight(selected->cell_height);
    selected->scaled = ScaleFace(choice.face, selected->cell_height);
    if (choice.synthetic_bold) {
        const double em = choice.face.EmForCellHeight(selected->cell_height);
        selected->embolden = std::max(1, static_cast<int>(std::lround(em / kEmboldenStep)));
    }
    state->font = std::move(selected);
}

TextBox CardCanvas::MeasureCharacter(wchar_t character, int left, int top) {
    TextBox box{left, top, left, top};
    if (state == nullptr || state->font == nullptr) {
        return box;
    }
    SelectedFont& font = *state->font;
    box.bottom = top + font.cell_height;
    unsigned long glyph = 0;
    cairo_scaled_font_t* scaled = FontFor(font, character, &glyph);
    if (scaled == nullptr) {
        return box;
    }
    cairo_glyph_t item{glyph, 0, 0};
    cairo_text_extents_t extents;
    cairo_scaled_font_glyph_extents(scaled, &item, 1, &extents);
    box.right = left + static_cast<int>(std::lround(extents.x_advance)) + font.embolden;
    return box;
}

void CardCanvas::DrawCharacter(wchar_t character, const TextBox& box) {
    if (state == nullptr || state->font == nullptr) {
        return;
    }
    SelectedFont& font = *state->font;
    unsigned long glyph = 0;
    cairo_scaled_font_t* scaled = FontFor(font, character, &glyph);
    if (scaled == nullptr) {
        return;
    }
    cairo_t* cr = state->cr.get();
    cairo_save(cr);
    cairo_set_scaled_font(cr, scaled);
    cairo_set_source_rgb(cr, 0, 0, 0);
    const double baseline = box.top + std::round(font.ascent);
    for (int stroke = 0; stroke <= font.embolden; ++stroke) {
        cairo_glyph_t item{glyph, static_cast<double>(box.left + stroke), baseline};
        cairo_show_glyphs(cr, &item, 1);
    }
    cairo_restore(cr);
}

}  // namespace vorn
