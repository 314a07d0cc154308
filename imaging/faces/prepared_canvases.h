// Face canvases made from their templates before the card is read, so that a read of the
// card kind most readers see finds its canvases already enlarged.
#pragma once

#include "imaging/drawing/raster.h"
#include "imaging/faces/card_resources.h"

namespace vorn {

// Holds the face canvases of the resident card's two templates, made on whichever thread
// calls Prepare and handed whole to the face that asks for the same template. Whatever no
// face takes is released with this object, which the request owns.
class PreparedCanvases {
public:
    PreparedCanvases() = default;
    PreparedCanvases(const PreparedCanvases&) = delete;
    PreparedCanvases& operator=(const PreparedCanvases&) = delete;

    // Loads the resident card's front and back templates from the table's entries and makes
    // the face canvas of each; a template that cannot be loaded leaves its slot empty.
    void Prepare(const CardResourceTable& table);

    // Moves the canvas made from exactly this entry into canvas (which is released first);
    // false, leaving canvas as it was, when none was made from it or it was taken already.
    bool Take(const ResourceEntry& entry, CardCanvas& canvas);

private:
    struct Slot {
        ResourceEntry entry;
        CardCanvas canvas;
    };
    static constexpr int kSlotCount = 2;
    Slot slots_[kSlotCount];
};

}  // namespace vorn
