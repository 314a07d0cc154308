// Names of the sex, ethnicity and nationality codes of a card, and dotted dates.
#pragma once

namespace vorn {

// Each lookup returns false and writes nothing when a pointer is null; otherwise it copies
// the name with its terminator into the caller's buffer and returns true.
bool SexNameCn(const wchar_t* code, wchar_t* out);
bool SexNameEn(const wchar_t* code, wchar_t* out);
// An unknown code gives "未知(code)".
bool EthnicityName(const wchar_t* code, wchar_t* out);
// An unknown code leaves the output as it was.
bool CountryNameCn(const wchar_t* code, wchar_t* out);

// Writes "YYYY.MM.DD" from the first eight characters of a date; a shorter date leaves the
// output untouched.
void FormatDotDate(const wchar_t* date, wchar_t* out);

}  // namespace vorn
