#include "card/card_fields.h"

#include "card/code_tables.h"

namespace vorn {

const wchar_t* ReadCardField(CIdBufferW& card, CardField field) {
    switch (field) {
        case CardField::kName:
            return card.GetName();
        case CardField::kSexName:
            SexNameCn(card.GetSexCode(), card.sex_name_cn);
            return card.sex_name_cn;
        case CardField::kBirth:
            return card.GetBirth();
        case CardField::kIdNumber:
            return card.GetIdNumber();
        case CardField::kValidBeg:
            return card.GetValidBeg();
        case CardField::kValidEnd:
            return card.GetValidEnd();
        case CardField::kCardSign:
            return card.GetCardSign();
        case CardField::kEthnicityName:
            EthnicityName(card.GetEthnicityCode(), card.ethnicity_name);
            return card.ethnicity_name;
        case CardField::kAddress:
            return card.GetAddress();
        case CardField::kDept:
            return card.GetDept();
        case CardField::kNewAddress:
            return card.GetNewAddress();
        case CardField::kPassId:
            return card.GetPassId();
        case CardField::kIssNum:
            return card.GetIssNum();
        case CardField::kNationCode:
            return card.GetNationCode();
        case CardField::kNameEn:
            return card.GetNameEn();
        case CardField::kIssAuthCode:
            return card.GetIssAuthCode();
        case CardField::kReserved:
            return card.GetReserved();
        case CardField::kCardVer:
            return card.GetCardVer();
    }
    // Only a value cast from outside the enum gets here.
    return L"";
}

}  // namespace vorn
