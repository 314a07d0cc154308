// Text conversions on Linux, where wide characters are UTF-32 and narrow text is UTF-8.
#include "platform/text_conversion.h"

#include <cstdint>
#include <cstring>

namespace vorn {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kHighSurrogateFirst = 0xD800;
constexpr char32_t kLowSurrogateFirst = 0xDC00;
constexpr char32_t kLowSurrogateLast = 0xDFFF;

bool IsHighSurrogate(char32_t c) {
    return c >= kHighSurrogateFirst && c < kLowSurrogateFirst;
}

bool IsLowSurrogate(char32_t c) {
    return c >= kLowSurrogateFirst && c <= kLowSurrogateLast;
}

void AppendUtf8(std::string& out, char32_t c) {
    // A surrogate left alone is no character; Windows writes it as U+FFFD too.
    if (c > 0x10FFFF || (c >= kHighSurrogateFirst && c <= kLowSurrogateLast)) {
        c = kReplacement;
    }
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[i], advancing i; malformed input yields U+FFFD and
// consumes one byte, so every input terminates.
char32_t DecodeUtf8(const unsigned char* text, std::size_t size, std::size_t& i) {
    unsigned char lead = text[i++];
    if (lead < 0x80) {
        return lead;
    }
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    if (i + extra > size) {
        return kReplacement;
    }
    for (int k = 0; k < extra; ++k) {
        if ((text[i + k] & 0xC0) != 0x80) {
            return kReplacement;
        }
        c = (c << 6) | (text[i + k] & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return kReplacement;
    }
    i += extra;
    return c;
}

}  // namespace

std::wstring AnsiToWide(const char* text) {
    if (text == nullptr) {
        return {};
    }
    return Utf8ToWide(std::string(text));
}

std::wstring Utf8ToWide(const std::string& text) {
    std::wstring wide;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        wide += static_cast<wchar_t>(DecodeUtf8(bytes, text.size(), i));
    }
    return wide;
}

std::string WideToUtf8(const wchar_t* text) {
    std::string out;
    if (text == nullptr) {
        return out;
    }
    for (; *text != L'\0'; ++text) {
        auto c = static_cast<char32_t>(*text);
        // Card text arrives one UTF-16 unit per wide character, so a character beyond U+FFFF
        // comes as a high and a low surrogate; together they are that one character. The
        // unit after a high surrogate is at worst the terminator, never beyond it.
        const auto next = static_cast<char32_t>(text[1]);
        if (IsHighSurrogate(c) && IsLowSurrogate(next)) {
            c = 0x10000 + ((c - kHighSurrogateFirst) << 10) + (next - kLowSurrogateFirst);
            ++text;
        }
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace vorn
