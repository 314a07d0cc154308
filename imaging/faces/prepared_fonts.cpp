#include "imaging/faces/prepared_fonts.h"

#include <cwctype>
#include <string>
#include <utility>
#include <vector>

#include "card/code_tables.h"
#include "imaging/faces/card_kinds.h"
#include "imaging/faces/card_texts.h"
#include "imaging/faces/composition.h"

namespace vorn {

namespace {

constexpr const wchar_t* kDigits = L"0123456789";
// The check character of an identity number whose check value is ten.
constexpr const wchar_t* kCheckCharacterTen = L"X";
// Both sexes, and the ethnicity most cards show.
constexpr const wchar_t* kSexCodes[] = {L"1", L"2"};
constexpr const wchar_t* kMostCommonEthnicity = L"01";
// A date whose month and day are below ten: the blank of a dropped leading zero and the
// separators of a dotted date.
constexpr const wchar_t* kEarlyDate = L"20000101";
// Nearly every address names a city or a district and a house number, and nearly every card
// is issued by a public security bureau.
constexpr const wchar_t* kCommonAddressText = L"市区号";
constexpr const wchar_t* kCommonAuthorityText = L"公安局";
constexpr std::size_t kNameRoom = 64;

// The characters of a row that nearly every resident card draws, whatever its holder: only
// these pay for being made ahead, the rest differs from card to card. A row without any
// still has its fonts made.
std::wstring CommonText(const FaceRow& row) {
    wchar_t name[kNameRoom] = {};
    switch (row.text) {
        case FaceText::kCardField:
            switch (row.field) {
                case CardField::kSexName: {
                    std::wstring both;
                    for (const wchar_t* code : kSexCodes) {
                        SexNameCn(code, name);
                        both += name;
                    }
                    return both;
                }
                case CardField::kEthnicityName:
                    EthnicityName(kMostCommonEthnicity, name);
                    return name;
                case CardField::kAddress:
                    return std::wstring(kDigits) + kCommonAddressText;
                case CardField::kIdNumber:
                    return std::wstring(kDigits) + kCheckCharacterTen;
                case CardField::kDept:
                    return kCommonAuthorityText;
                default:
                    return {};
            }
        case FaceText::kBirthYear:
        case FaceText::kBirthMonth:
        case FaceText::kBirthDay:
            return kDigits + SplitBirthDate(kEarlyDate).month;
        case FaceText::kBackValidity:
            return kDigits + BackValidityText(kEarlyDate, kEarlyDate) + kLongTermValidity;
        default:
            return {};
    }
}

// One font description and the characters to make ready in it.
struct FontWork {
    LogFont font;
    std::wstring characters;
};

FontWork& WorkOf(std::vector<FontWork>& work, const LogFont& font) {
    for (FontWork& listed : work) {
        if (listed.font == font) {
            return listed;
        }
    }
    return work.emplace_back(FontWork{font, {}});
}

// Both fonts of the item are made, whatever they draw.
void AddFonts(std::vector<FontWork>& work, const TextItem& item) {
    WorkOf(work, item.text_font.font);
    WorkOf(work, item.digit_font.font);
}

// Splits the text between the item's fonts as the drawing does: digits in the digit font.
void AddText(std::vector<FontWork>& work, const TextItem& item, const std::wstring& text) {
    for (const wchar_t character : text) {
        const bool digit = std::iswdigit(static_cast<std::wint_t>(character)) != 0;
        std::wstring& characters =
            WorkOf(work, digit ? item.digit_font.font : item.text_font.font).characters;
        if (characters.find(character) == std::wstring::npos) {
            characters += character;
        }
    }
}

// The fonts the resident card's two faces select with the embedded font set, each with the
// characters that nearly every card draws in it.
std::vector<FontWork> ResidentFontWork() {
    std::vector<FontWork> work;
    CIdCardFont_Ex fonts;
    CIdBufferW blank;
    const CardKindProfile& resident = ProfileOf(CardKind::Resident);
    for (const FaceLayout layout : {resident.front, resident.back}) {
        const std::vector<FieldRow> rows = FieldRowsOf(layout, blank);
        TextItem item;
        ResetTextItem(item);
        for (std::size_t row = 0; row < rows.size(); ++row) {
            ApplyRow(fonts, rows[row], item);
            AddFonts(work, item);
            AddText(work, item, CommonText(layout[row]));
        }
    }
    return work;
}

}  // namespace

PreparedFonts::~PreparedFonts() {
    Release();
}

void PreparedFonts::Prepare(const CardResourceTable& table) {
    Release();
    holding_ = true;
    registration_.entries[kOcrFontResource] = table.entries[kOcrFontResource];
    registration_.entries[kCjkFontResource] = table.entries[kCjkFontResource];
    if (!RegisterCardFonts(registration_)) {
        ReleaseCardFont(registration_.ocr_font);
        ReleaseCardFont(registration_.cjk_font);
        return;
    }
    for (const FontWork& work : ResidentFontWork()) {
        warm_.Warm(work.font, work.characters);
    }
}

bool PreparedFonts::Take(CardResourceTable& table, WarmFonts& fonts) {
    if (registration_.registered == 0 ||
        !SameResource(registration_.entries[kOcrFontResource], table.entries[kOcrFontResource]) ||
        !SameResource(registration_.entries[kCjkFontResource], table.entries[kCjkFontResource])) {
        return false;
    }
    ReleaseCardFont(table.ocr_font);
    ReleaseCardFont(table.cjk_font);
    table.ocr_font = std::exchange(registration_.ocr_font, nullptr);
    table.cjk_font = std::exchange(registration_.cjk_font, nullptr);
    table.registered = std::exchange(registration_.registered, 0);
    fonts = std::move(warm_);
    holding_ = false;
    return true;
}

void PreparedFonts::Release() {
    if (!holding_) {
        return;
    }
    holding_ = false;
    // The warm fonts hold the registered faces; the caches are emptied only once no face is
    // held any more.
    warm_.Release();
    ResetCardResources(registration_);
}

}  // namespace vorn
