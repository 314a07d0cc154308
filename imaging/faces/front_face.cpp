// The card's portrait side: template, fields and photo, with the layout of each card kind.
#include <cwchar>

#include "card/code_tables.h"
#include "imaging/faces/card_texts.h"
#include "imaging/faces/composition.h"
#include "imaging/faces/face_start.h"
#include "imaging/imaging_context.h"

namespace {

// The photo is drawn 2.5 times its size, its background keyed out.
constexpr int kPhotoX = 541;
constexpr int kPhotoY = 84;
constexpr int kPhotoDrawnWidth = 255;
constexpr int kPhotoDrawnHeight = 315;

constexpr int kAddressWrapWidth = 355;
constexpr int kAddressLineGap = 11;
// Month and day move left by the width of the blank that replaces a leading zero.
constexpr int kMonthX = 298;
constexpr int kMonthShiftedX = 292;
constexpr int kDayX = 378;
constexpr int kDayShiftedX = 372;

// A foreigner's English name may have 60 characters, far more than fit before the photo at
// its font's size; a longer name is drawn smaller rather than under the photo and past the
// card's edge.
constexpr int kForeignerFieldX = 71;
constexpr int kPhotoMargin = 10;
constexpr int kForeignNameWidth = kPhotoX - kPhotoMargin - kForeignerFieldX;

constexpr std::size_t kScratchSize = 128;
constexpr const wchar_t* kForeignerAuthority = L"公安部/Ministry of Public Security";

std::wstring Format(const wchar_t* format, const wchar_t* first, const wchar_t* second) {
    wchar_t scratch[kScratchSize] = {};
    std::swprintf(scratch, kScratchSize, format, first, second);
    return scratch;
}

// Resident card and residence permits; the permits print no ethnicity.
std::vector<FieldRow> PortraitRows(CIdBufferW& card, bool with_ethnicity) {
    std::vector<FieldRow> rows;
    rows.push_back({card.GetName(), 169, 70, FontOperation::kName});
    SexNameCn(card.GetSexCode(), card.sex_name_cn);
    rows.push_back({card.sex_name_cn, 169, 145, FontOperation::kField});
    if (with_ethnicity) {
        EthnicityName(card.GetEthnicityCode(), card.ethnicity_name);
        rows.push_back({card.ethnicity_name, 342, 145});
    }
    const BirthDateParts birth = SplitBirthDate(card.GetBirth());
    rows.push_back({birth.year, 169, 211});
    rows.push_back({birth.month, birth.month_shifted ? kMonthShiftedX : kMonthX, 211});
    rows.push_back({birth.day, birth.day_shifted ? kDayShiftedX : kDayX, 211});
    rows.push_back(
        {card.GetAddress(), 169, 277, FontOperation::kKeep, kAddressWrapWidth, kAddressLineGap});
    rows.push_back({card.GetIdNumber(), 302, 448, FontOperation::kIdNumber, 0, kAddressLineGap});
    return rows;
}

std::vector<FieldRow> ForeignerRows(CIdBufferW& card) {
    std::vector<FieldRow> rows;
    FieldRow english_name{card.GetNameEn(), kForeignerFieldX, 77, FontOperation::kForeignName};
    english_name.fit_width = kForeignNameWidth;
    rows.push_back(english_name);
    rows.push_back({card.GetName(), 71, 119});
    const wchar_t* sex = card.GetSexCode();
    SexNameCn(sex, card.sex_name_cn);
    SexNameEn(sex, card.sex_name_en);
    rows.push_back({Format(L"%ls/%ls", card.sex_name_cn, card.sex_name_en), 71, 190,
                    FontOperation::kForeignField});
    const wchar_t* nation = card.GetNationCode();
    card.nationality_name[0] = L'\0';
    CountryNameCn(nation, card.nationality_name);
    rows.push_back({Format(L"%ls/%ls", card.nationality_name, nation), 71, 261});
    rows.push_back({kForeignerAuthority, 71, 395});
    wchar_t birth[kScratchSize] = {};
    FormatDotDate(card.GetBirth(), birth);
    rows.push_back({birth, 253, 190, FontOperation::kForeignDate});
    const std::wstring valid_from = card.GetValidBeg();
    rows.push_back({ForeignerValidityText(valid_from.c_str(), card.GetValidEnd()), 71, 322});
    rows.push_back({card.GetIdNumber(), 71, 458, FontOperation::kForeignNumber});
    return rows;
}

int FrontTemplate(CardKind kind) {
    switch (kind) {
        case Resident:
            return kResidentFrontTemplate;
        case Foreigner:
            return kForeignerFrontTemplate;
        case HongKongMacau:
        case Taiwan:
            return kPermitFrontTemplate;
    }
    return kResidentFrontTemplate;
}

}  // namespace

int CImagingContext::ComposeFront(ImageMemoryStream& holder) {
    FaceStart face;
    const int started = face.Begin(*this, holder, FrontTemplate);
    if (started != 0) {
        return started;
    }
    const std::vector<FieldRow> rows =
        face.kind == Foreigner ? ForeignerRows(card_) : PortraitRows(card_, face.kind == Resident);
    if (DrawFieldRows(face.canvas, face.item, *face.fonts, rows) != 0) {
        return kPictureFailed;
    }
    if (DrawImage(face.canvas, kPhotoX, kPhotoY, kPhotoDrawnWidth, kPhotoDrawnHeight, face.photo,
                  true) != 0) {
        return kPictureFailed;
    }
    if (!FinishFace(face.canvas, holder)) {
        holder.Release();
        return kPictureFailed;
    }
    return 0;
}
