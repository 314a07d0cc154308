// Parsing initialisation files the way the Windows private-profile functions read them.
#include "request/ini_file.h"

#include <cstdint>

#include "platform/ascii_text.h"

namespace vorn {

namespace {

// What the private-profile functions take for blanks around names and values.
constexpr std::string_view kIniBlanks = " \t\r\v\f";

std::string TrimIni(std::string_view text) {
    return std::string(Trim(text, kIniBlanks));
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

bool FindIniValue(const std::string& content, const std::string& section, const std::string& key,
                  std::string* value) {
    bool in_section = false;
    // Editors that save UTF-8 may put a byte order mark in front of the first section.
    std::size_t start = content.compare(0, kUtf8ByteOrderMark.size(), kUtf8ByteOrderMark) == 0
                            ? kUtf8ByteOrderMark.size()
                            : 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = TrimIni(std::string_view(content).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            std::size_t close = line.find(']');
            std::string name =
                line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
            in_section = SameAsciiWord(Trim(name, kIniBlanks), section);
            continue;
        }
        std::size_t equals = line.find('=');
        if (!in_section || equals == std::string::npos) {
            continue;
        }
        if (SameAsciiWord(Trim(std::string_view(line).substr(0, equals), kIniBlanks), key)) {
            if (value != nullptr) {
                *value = Unquote(TrimIni(std::string_view(line).substr(equals + 1)));
            }
            return true;
        }
    }
    return false;
}

int ParseIniInteger(const std::string& value) {
    std::size_t i = value.find_first_not_of(kIniBlanks);
    if (i == std::string::npos) {
        return 0;
    }
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
        negative = value[i] == '-';
        ++i;
    }
    std::uint32_t number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10u + static_cast<std::uint32_t>(value[i] - '0');
    }
    if (negative) {
        number = 0u - number;
    }
    return static_cast<int>(number);
}

}  // namespace vorn
