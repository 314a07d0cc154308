#include "imaging/faces/card_texts.h"

#include <cwchar>

namespace vorn {

namespace {

constexpr std::size_t kDateLength = 8;

}  // namespace

std::wstring FormatDotDateExact(const wchar_t* text) {
    if (text == nullptr || std::wcslen(text) != kDateLength) {
        return {};
    }
    const std::wstring date(text);
    return date.substr(0, 4) + L"." + date.substr(4, 2) + L"." + date.substr(6, 2);
}

BirthDateParts SplitBirthDate(const wchar_t* birth) {
    BirthDateParts parts;
    if (birth == nullptr || std::wcslen(birth) != kDateLength) {
        return parts;
    }
    const std::wstring date(birth);
    parts.year = date.substr(0, 4);
    parts.month = date.substr(4, 2);
    parts.day = date.substr(6, 2);
    if (parts.month[0] == L'0') {
        parts.month[0] = L' ';
        parts.month_shifted = true;
    }
    if (parts.day[0] == L'0') {
        parts.day[0] = L' ';
        parts.day_shifted = true;
    }
    return parts;
}

std::wstring ValidityEndText(const wchar_t* trimmed_end) {
    if (trimmed_end != nullptr && std::wcscmp(trimmed_end, kLongTermValidity) == 0) {
        return kLongTermValidity;
    }
    return FormatDotDateExact(trimmed_end);
}

std::wstring BackValidityText(const wchar_t* valid_from, const wchar_t* trimmed_end) {
    return FormatDotDateExact(valid_from) + L"-" + ValidityEndText(trimmed_end);
}

std::wstring ForeignerValidityText(const wchar_t* valid_from, const wchar_t* trimmed_end) {
    return FormatDotDateExact(valid_from) + L" - " + ValidityEndText(trimmed_end);
}

}  // namespace vorn
