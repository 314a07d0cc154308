// What differs between the card kinds' pictures: the layouts of the two faces and their
// templates. Adding a kind means the kind in card/card_kind.h, its sign in
// CSdtBuffer::GetCardKind, its reply members in request/reply_document.cpp and its row in
// card_kinds.cpp; templates of its own go into the list of resources
// (resources/CMakeLists.txt), the card resource table (card_resources.h and .cpp) and the
// program's resource ids (program_resources.cpp).
#pragma once

#include "card/card_fields.h"
#include "card/card_kind.h"
#include "imaging/faces/card_resources.h"
#include "imaging/faces/face_layouts.h"

namespace vorn {

// One card kind's row of the table.
struct CardKindProfile {
    FaceLayout front;
    FaceLayout back;
    CardResource front_template;
    CardResource back_template;
};

// Which face of a kind's row a composition draws: its template and its layout.
struct FaceSide {
    CardResource CardKindProfile::*face_template;
    FaceLayout CardKindProfile::*layout;
};
constexpr FaceSide kFrontFace{&CardKindProfile::front_template, &CardKindProfile::front};
constexpr FaceSide kBackFace{&CardKindProfile::back_template, &CardKindProfile::back};

// The row of the kind; a value outside the enum gets the resident card's, as an unknown sign
// does.
const CardKindProfile& ProfileOf(CardKind kind);

}  // namespace vorn
