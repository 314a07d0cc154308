// Folding and comparing ASCII letters, and trimming blanks.
#include "platform/ascii_text.h"

#include <algorithm>
#include <utility>

namespace vorn {

namespace {

template <typename Char>
Char FoldLetter(Char c) {
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <typename Text>
Text FoldText(Text text) {
    std::transform(text.begin(), text.end(), text.begin(), [](auto c) { return FoldLetter(c); });
    return text;
}

template <typename View>
bool SameWord(View a, View b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](auto x, auto y) { return FoldLetter(x) == FoldLetter(y); });
}

}  // namespace

char FoldAsciiCase(char c) {
    return FoldLetter(c);
}

wchar_t FoldAsciiCase(wchar_t c) {
    return FoldLetter(c);
}

std::string FoldAsciiCase(std::string text) {
    return FoldText(std::move(text));
}

std::wstring FoldAsciiCase(std::wstring text) {
    return FoldText(std::move(text));
}

bool SameAsciiWord(std::string_view a, std::string_view b) {
    return SameWord(a, b);
}

bool SameAsciiWord(std::wstring_view a, std::wstring_view b) {
    return SameWord(a, b);
}

std::string_view TrimStart(std::string_view text, std::string_view blanks) {
    const std::size_t begin = text.find_first_not_of(blanks);
    return begin == std::string_view::npos ? std::string_view() : text.substr(begin);
}

std::string_view TrimEnd(std::string_view text, std::string_view blanks) {
    const std::size_t last = text.find_last_not_of(blanks);
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string_view Trim(std::string_view text, std::string_view blanks) {
    return TrimEnd(TrimStart(text, blanks), blanks);
}

}  // namespace vorn
