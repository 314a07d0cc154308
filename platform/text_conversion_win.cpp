// Text conversions through the Windows code-page functions.
#include "platform/text_conversion.h"

#include <windows.h>

namespace vorn {

namespace {

std::wstring ToWide(UINT code_page, const char* text, int length) {
    if (text == nullptr || length == 0) {
        return {};
    }
    int needed = MultiByteToWideChar(code_page, 0, text, length, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(code_page, 0, text, length, wide.data(), needed);
    // A length of -1 counts the terminator too.
    if (length < 0 && !wide.empty() && wide.back() == L'\0') {
        wide.pop_back();
    }
    return wide;
}

}  // namespace

std::wstring AnsiToWide(const char* text) {
    return ToWide(CP_ACP, text, -1);
}

std::wstring Utf8ToWide(const std::string& text) {
    return ToWide(CP_UTF8, text.data(), static_cast<int>(text.size()));
}

std::string WideToUtf8(const wchar_t* text) {
    if (text == nullptr || text[0] == L'\0') {
        return {};
    }
    int needed = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 1) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), needed, nullptr, nullptr);
    narrow.pop_back();
    return narrow;
}

}  // namespace vorn
