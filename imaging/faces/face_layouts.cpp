#include "imaging/faces/face_layouts.h"

#include <cwchar>

#include "card/code_tables.h"
#include "imaging/faces/card_texts.h"

namespace vorn {

namespace {

constexpr std::size_t kScratchSize = 128;
constexpr const wchar_t* kForeignerAuthority = L"公安部/Ministry of Public Security";

std::wstring Format(const wchar_t* format, const wchar_t* first, const wchar_t* second) {
    wchar_t scratch[kScratchSize] = {};
    std::swprintf(scratch, kScratchSize, format, first, second);
    return scratch;
}

// The text of one row and whether a leading zero of it became a blank.
struct RowText {
    std::wstring text;
    bool shifted = false;
};

RowText TextOf(const FaceRow& row, CIdBufferW& card) {
    switch (row.text) {
        case FaceText::kCardField:
            return {ReadCardField(card, row.field)};
        case FaceText::kBirthYear:
            return {SplitBirthDate(card.GetBirth()).year};
        case FaceText::kBirthMonth: {
            BirthDateParts birth = SplitBirthDate(card.GetBirth());
            return {std::move(birth.month), birth.month_shifted};
        }
        case FaceText::kBirthDay: {
            BirthDateParts birth = SplitBirthDate(card.GetBirth());
            return {std::move(birth.day), birth.day_shifted};
        }
        case FaceText::kSexBilingual: {
            const wchar_t* sex = card.GetSexCode();
            SexNameCn(sex, card.sex_name_cn);
            SexNameEn(sex, card.sex_name_en);
            return {Format(L"%ls/%ls", card.sex_name_cn, card.sex_name_en)};
        }
        case FaceText::kNationality: {
            // A code the table does not know leaves the name empty: "/code".
            const wchar_t* nation = card.GetNationCode();
            card.nationality_name[0] = L'\0';
            CountryNameCn(nation, card.nationality_name);
            return {Format(L"%ls/%ls", card.nationality_name, nation)};
        }
        case FaceText::kForeignerAuthority:
            return {kForeignerAuthority};
        case FaceText::kDottedBirth: {
            wchar_t birth[kScratchSize] = {};
            FormatDotDate(card.GetBirth(), birth);
            return {birth};
        }
        case FaceText::kForeignerValidity: {
            const std::wstring valid_from = card.GetValidBeg();
            return {ForeignerValidityText(valid_from.c_str(), card.GetValidEnd())};
        }
        case FaceText::kBackValidity: {
            const std::wstring valid_from = card.GetValidBeg();
            return {BackValidityText(valid_from.c_str(), card.GetValidEnd())};
        }
    }
    return {};
}

}  // namespace

std::vector<FieldRow> FieldRowsOf(FaceLayout layout, CIdBufferW& card) {
    std::vector<FieldRow> rows;
    rows.reserve(layout.size());
    for (const FaceRow& row : layout) {
        RowText text = TextOf(row, card);
        const int x = text.shifted && row.shifted_x != 0 ? row.shifted_x : row.x;
        FieldRow drawn(std::move(text.text), x, row.y, row.font, row.wrap_width, row.line_gap);
        if (row.weight != 0) {
            drawn.weight = row.weight;
        }
        if (row.digit_weight != 0) {
            drawn.digit_weight = row.digit_weight;
        }
        drawn.fit_width = row.fit_width;
        rows.push_back(std::move(drawn));
    }
    return rows;
}

}  // namespace vorn
