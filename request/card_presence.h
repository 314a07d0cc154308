// Looking for a card on the reader while a page watches it, without reading it.
#pragma once

#include "card/sdt_func.h"

namespace vorn {

// Keeps the reader driver bound from the first look until Release, so that a look costs one
// find call and nothing else. Used from one thread only, the one that runs the reads.
class CardPresence {
public:
    // True when the driver answers that a card lies on the reader; false for an empty reader,
    // a driver that cannot be bound, and any other answer.
    bool Look();
    // Unbinds the driver, so that its library can be replaced while nobody watches.
    void Release();

private:
    CSdtFunc driver_;
};

}  // namespace vorn
