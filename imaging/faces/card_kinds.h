// What differs between the card kinds: the fields the reply carries, the layouts of the two
// faces and their templates. Adding a kind means the kind in card/card_kind.h, its sign in
// CSdtBuffer::GetCardKind and its row in card_kinds.cpp; templates of its own go into the
// list of resources (resources/CMakeLists.txt) and the card resource table
// (card_resources.h and .cpp).
#pragma once

#include <span>

#include "card/card_fields.h"
#include "card/card_kind.h"
#include "imaging/faces/card_resources.h"
#include "imaging/faces/face_layouts.h"

namespace vorn {

// One card kind's row of the table.
struct CardKindProfile {
    // The fields the reply fills for this kind besides those every kind shows; the other
    // members stay empty.
    std::span<const CardField> reply_fields;
    FaceLayout front;
    FaceLayout back;
    CardResource front_template;
    CardResource back_template;
};

// The row of the kind; a value outside the enum gets the resident card's, as an unknown sign
// does.
const CardKindProfile& ProfileOf(CardKind kind);

}  // namespace vorn
