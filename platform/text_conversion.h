// Conversions between the program's wide text and the narrow texts of its boundaries.
#pragma once

#include <string>

namespace vorn {

// Text in the system's ANSI code page (paths from the module file name) to wide text.
std::wstring AnsiToWide(const char* text);
// Wide text to UTF-8; characters that cannot be encoded become U+FFFD.
std::string WideToUtf8(const wchar_t* text);
// UTF-8 to wide text; malformed bytes become U+FFFD.
std::wstring Utf8ToWide(const std::string& text);

}  // namespace vorn
