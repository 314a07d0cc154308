// The program's two fonts registered, and the fonts of the resident card's faces made with
// the glyphs nearly every card draws, before the card is read.
#pragma once

#include "imaging/faces/card_resources.h"
#include "imaging/text/warm_fonts.h"

namespace vorn {

// Holds a registration of a card resource table's two fonts and the warm fonts of the
// resident card's faces, made on whichever thread calls Prepare and handed whole to the
// imaging context whose table names the same fonts. What no context takes is released with
// this object, which the request owns.
class PreparedFonts {
public:
    PreparedFonts() = default;
    ~PreparedFonts();
    PreparedFonts(const PreparedFonts&) = delete;
    PreparedFonts& operator=(const PreparedFonts&) = delete;

    // Releases whatever is held, registers the table's two fonts and, when both are
    // registered, warms the fonts the resident card's faces select. A registration that
    // fails is removed at once, so that the request registers its fonts itself, as without
    // this preparation.
    void Prepare(const CardResourceTable& table);

    // Moves the registration into table (whose own fonts are removed first) and the warm
    // fonts into fonts, when table's font entries name exactly the fonts registered; false,
    // leaving both as they were, when none are registered or they were taken already. The
    // taker then releases them: its warm fonts before the registration.
    bool Take(CardResourceTable& table, WarmFonts& fonts);

    // Lets go of what was not taken: the warm fonts, then the registration, then what the
    // drawing library keeps of them.
    void Release();

private:
    // The tests count the warm fonts not taken.
    friend struct PreparedFontsPeer;

    CardResourceTable registration_;
    WarmFonts warm_;
    // Prepare has run and nothing was taken since: the drawing library may keep its fonts.
    bool holding_ = false;
};

}  // namespace vorn
