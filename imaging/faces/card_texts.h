// The texts the card faces print that are made from the card's fields.
#pragma once

#include <string>

namespace vorn {

// The end of the validity of a card valid for life (long-term), as the card holds it.
constexpr const wchar_t* kLongTermValidity = L"长期";

// "YYYYMMDD" becomes "YYYY.MM.DD"; any text that is not exactly 8 characters gives "".
std::wstring FormatDotDateExact(const wchar_t* text);

// A birth date cut for the resident and permit fronts. A leading zero of the month or day
// is printed as a blank, a little further left, so that the digit stays in its place.
struct BirthDateParts {
    std::wstring year;
    std::wstring month;
    std::wstring day;
    bool month_shifted = false;
    bool day_shifted = false;
};

// Only a date of exactly 8 characters is cut; any other gives three empty parts.
BirthDateParts SplitBirthDate(const wchar_t* birth);

// The end of a validity period: "长期" (long-term) as it stands, else the dotted date.
std::wstring ValidityEndText(const wchar_t* trimmed_end);

// The period of validity on the backs: "start-end", no blanks.
std::wstring BackValidityText(const wchar_t* valid_from, const wchar_t* trimmed_end);
// The period of validity on the foreigner's front: "start - end".
std::wstring ForeignerValidityText(const wchar_t* valid_from, const wchar_t* trimmed_end);

}  // namespace vorn
