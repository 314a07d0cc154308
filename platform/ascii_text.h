// Case and blanks of ASCII text: protocol words, switches, setting names and file names, which
// compare without regard to the case of their letters whatever the locale is.
#pragma once

#include <string>
#include <string_view>

namespace vorn {

// The blanks of a line that people and programs write: space and tab.
constexpr std::string_view kSpaceAndTab = " \t";

// An ASCII letter in lower case; every other character as it is.
char FoldAsciiCase(char c);
wchar_t FoldAsciiCase(wchar_t c);

// The text with every ASCII letter in lower case.
std::string FoldAsciiCase(std::string text);
std::wstring FoldAsciiCase(std::wstring text);

// Whether two words are the same without regard to the case of ASCII letters.
bool SameAsciiWord(std::string_view a, std::string_view b);
bool SameAsciiWord(std::wstring_view a, std::wstring_view b);

// The text without the characters of `blanks` at its start, at its end, or at both.
std::string_view TrimStart(std::string_view text, std::string_view blanks = kSpaceAndTab);
std::string_view TrimEnd(std::string_view text, std::string_view blanks = kSpaceAndTab);
std::string_view Trim(std::string_view text, std::string_view blanks = kSpaceAndTab);

}  // namespace vorn
