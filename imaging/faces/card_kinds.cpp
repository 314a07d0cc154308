#include "imaging/faces/card_kinds.h"

namespace vorn {

namespace {

using enum CardField;
using enum FaceText;
using Font = FontOperation;

constexpr int kAddressWrapWidth = 355;
constexpr int kAddressLineGap = 11;
// A foreigner's English name may have 60 characters, far more than fit before the photo at
// its font's size; a longer name is drawn smaller rather than under the photo and past the
// card's edge.
constexpr int kForeignerFieldX = 71;
constexpr int kForeignNameWidth = kPhotoX - kPhotoMargin - kForeignerFieldX;
constexpr int kThin = kWeightThin;
constexpr int kHeavy = kWeightHeavy;

// The face layouts, in face canvas pixels. Columns: text, field, x, y, font operation, wrap
// width, line gap, weight of both fonts, weight of the digit font, fit width, x when shifted.

constexpr FaceRow kResidentFront[] = {
    {kCardField, kName, 169, 70, Font::kName, 0, 0, 0, 0, 0, 0},
    {kCardField, kSexName, 169, 145, Font::kField, 0, 0, 0, 0, 0, 0},
    {kCardField, kEthnicityName, 342, 145, Font::kKeep, 0, 0, 0, 0, 0, 0},
    {kBirthYear, kBirth, 169, 211, Font::kKeep, 0, 0, 0, 0, 0, 0},
    {kBirthMonth, kBirth, 298, 211, Font::kKeep, 0, 0, 0, 0, 0, 292},
    {kBirthDay, kBirth, 378, 211, Font::kKeep, 0, 0, 0, 0, 0, 372},
    {kCardField, kAddress, 169, 277, Font::kKeep, kAddressWrapWidth, kAddressLineGap, 0, 0, 0, 0},
    {kCardField, kIdNumber, 302, 448, Font::kIdNumber, 0, kAddressLineGap, 0, 0, 0, 0},
};

// The resident front without the ethnicity.
constexpr FaceRow kPermitFront[] = {
    kResidentFront[0], kResidentFront[1], kResidentFront[3], kResidentFront[4],
    kResidentFront[5], kResidentFront[6], kResidentFront[7],
};

// Nothing on the foreigner's front wraps.
constexpr FaceRow kForeignerFront[] = {
    {kCardField, kNameEn, kForeignerFieldX, 77, Font::kForeignName, 0, 0, 0, 0, kForeignNameWidth,
     0},
    {kCardField, kName, 71, 119, Font::kKeep, 0, 0, 0, 0, 0, 0},
    {kSexBilingual, kSexName, 71, 190, Font::kForeignField, 0, 0, 0, 0, 0, 0},
    {kNationality, kNationCode, 71, 261, Font::kKeep, 0, 0, 0, 0, 0, 0},
    {kForeignerAuthority, kIssAuthCode, 71, 395, Font::kKeep, 0, 0, 0, 0, 0, 0},
    {kDottedBirth, kBirth, 253, 190, Font::kForeignDate, 0, 0, 0, 0, 0, 0},
    {kForeignerValidity, kValidEnd, 71, 322, Font::kKeep, 0, 0, 0, 0, 0, 0},
    {kCardField, kIdNumber, 71, 458, Font::kForeignNumber, 0, 0, 0, 0, 0, 0},
};

// The backs print in a thin weight, whatever the font operation chose.
constexpr FaceRow kResidentBack[] = {
    {kCardField, kDept, 355, 388, Font::kField, 0, 0, kThin, 0, 0, 0},
    {kBackValidity, kValidEnd, 358, 454, Font::kValidity, 0, 0, kThin, 0, 0, 0},
};

// The issue count's digits are heavy.
constexpr FaceRow kPermitBack[] = {
    {kCardField, kDept, 355, 360, Font::kField, 0, 0, kThin, 0, 0, 0},
    {kBackValidity, kValidEnd, 358, 400, Font::kValidity, 0, 0, kThin, 0, 0, 0},
    {kCardField, kPassId, 358, 440, Font::kKeep, 0, 0, 0, 0, 0, 0},
    {kCardField, kIssNum, 730, 400, Font::kKeep, 0, 0, 0, kHeavy, 0, 0},
};

// The foreigner's back is its template alone.
constexpr FaceLayout kTemplateOnly{};

// The table of card kinds.
constexpr CardKindProfile kResidentCard{kResidentFront, kResidentBack, kResidentFrontTemplate,
                                        kResidentBackTemplate};
constexpr CardKindProfile kForeignerCard{kForeignerFront, kTemplateOnly, kForeignerFrontTemplate,
                                         kForeignerBackTemplate};
constexpr CardKindProfile kHongKongMacauPermit{kPermitFront, kPermitBack, kPermitFrontTemplate,
                                               kHongKongMacauBackTemplate};
constexpr CardKindProfile kTaiwanPermit{kPermitFront, kPermitBack, kPermitFrontTemplate,
                                        kTaiwanBackTemplate};

}  // namespace

const CardKindProfile& ProfileOf(CardKind kind) {
    switch (kind) {
        case CardKind::Resident:
            return kResidentCard;
        case CardKind::Foreigner:
            return kForeignerCard;
        case CardKind::HongKongMacau:
            return kHongKongMacauPermit;
        case CardKind::Taiwan:
            return kTaiwanPermit;
    }
    return kResidentCard;
}

}  // namespace vorn
