// Character measuring and drawing on Windows, with GDI fonts and DrawTextW.
#include <cwchar>
#include <utility>

#include "imaging/drawing/canvas_win.h"
#include "imaging/faces/card_resources.h"
#include "imaging/drawing/raster.h"

namespace vorn {

namespace {

LOGFONTW ToLogFont(const LogFont& font) {
    LOGFONTW out{};
    out.lfHeight = font.height;
    out.lfWidth = font.width;
    out.lfEscapement = font.escapement;
    out.lfOrientation = font.orientation;
    out.lfWeight = font.weight;
    out.lfItalic = font.italic;
    out.lfUnderline = font.underline;
    out.lfStrikeOut = font.strike_out;
    out.lfCharSet = font.char_set;
    out.lfOutPrecision = font.out_precision;
    out.lfClipPrecision = font.clip_precision;
    out.lfQuality = font.quality;
    out.lfPitchAndFamily = font.pitch_and_family;
    // While the embedded fonts are registered, their stand-in face names mean them.
    std::wcsncpy(out.lfFaceName, ResolveFaceName(font.face_name), LF_FACESIZE - 1);
    return out;
}

}  // namespace

void CardCanvas::SelectFont(const LogFont& font) {
    if (state == nullptr || !state->dc) {
        return;
    }
    SetBkMode(state->dc.get(), TRANSPARENT);
    const LOGFONTW description = ToLogFont(font);
    GdiObject<HFONT> created(CreateFontIndirectW(&description));
    if (!created) {
        return;
    }
    HGDIOBJ replaced = SelectObject(state->dc.get(), created.get());
    if (state->original_font == nullptr) {
        state->original_font = replaced;
    }
    // The font selected before this one is out of the context now and goes.
    state->font = std::move(created);
}

TextBox CardCanvas::MeasureCharacter(wchar_t character, int left, int top) {
    RECT box;
    SetRect(&box, left, top, 0, 0);
    if (state != nullptr && state->dc) {
        DrawTextW(state->dc.get(), &character, 1, &box, DT_CALCRECT | DT_SINGLELINE);
    }
    return TextBox{box.left, box.top, box.right, box.bottom};
}

void CardCanvas::DrawCharacter(wchar_t character, const TextBox& box) {
    if (state == nullptr || !state->dc) {
        return;
    }
    RECT rect{box.left, box.top, box.right, box.bottom};
    DrawTextW(state->dc.get(), &character, 1, &rect, DT_SINGLELINE);
}

}  // namespace vorn
