// The text fields of a card by name, so that tables can list which fields a card kind shows.
#pragma once

#include "card/sdt_buffer.h"

namespace vorn {

// One text field of a card record as the program hands it on; the sex and ethnicity come as
// their Chinese names, not as their codes.
enum class CardField {
    kName,
    kSexName,
    kBirth,
    kIdNumber,
    kValidBeg,
    kValidEnd,
    kCardSign,
    kEthnicityName,
    kAddress,
    kDept,
    kNewAddress,
    kPassId,
    kIssNum,
    kNationCode,
    kNameEn,
    kIssAuthCode,
    kReserved,
    kCardVer,
};

// Decodes the field afresh from the record, by the record's own getter; a name looked up from
// a code lands in the record's name buffer. The text lives in the record until the same field
// is read again.
const wchar_t* ReadCardField(CIdBufferW& card, CardField field);

}  // namespace vorn
