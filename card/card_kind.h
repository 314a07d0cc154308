// The kinds of card the program understands.
#pragma once

namespace vorn {

// What kind of card a record holds, told from its card-type sign. Scoped, and switched on
// without a default, so that a kind added here does not compile until every switch handles
// it: the table of card kinds (imaging/faces/card_kinds.cpp) and the reply's members of each
// kind (request/reply_document.cpp) among them.
enum class CardKind : int {
    Resident = 0,
    Foreigner = 1,
    HongKongMacau = 2,
    Taiwan = 3,
};

}  // namespace vorn
