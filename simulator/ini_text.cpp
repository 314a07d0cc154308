#include "simulator/ini_text.h"

#include <cctype>

namespace vorn::sim {

namespace {

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < base ? value : -1;
}

}  // namespace

IniText IniText::Parse(std::string_view text) {
    // Editors on Windows like to start UTF-8 files with a byte order mark.
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.substr(0, kBom.size()) == kBom) {
        text.remove_prefix(kBom.size());
    }
    IniText result;
    std::string section;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                result.well_formed_ = false;
                continue;
            }
            section = std::string(Trim(line.substr(1, line.size() - 2)));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || Trim(line.substr(0, equals)).empty()) {
            result.well_formed_ = false;
            continue;
        }
        std::string_view value = Trim(line.substr(equals + 1));
        // Quotes keep blanks at either end of a value, which card fields sometimes need.
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        result.entries_.push_back(
            {section, std::string(Trim(line.substr(0, equals))), std::string(value)});
    }
    return result;
}

std::optional<std::string> IniText::Get(std::string_view section, std::string_view key) const {
    for (const Entry& entry : entries_) {
        if (EqualsIgnoringCase(entry.section, section) && EqualsIgnoringCase(entry.key, key)) {
            return entry.value;
        }
    }
    return std::nullopt;
}

std::optional<long long> ParseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    long long value = 0;
    for (char c : text) {
        const int digit = DigitValue(c, base);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    // Codes are signed, lengths unsigned: anything either reading of 32 bits can hold is taken.
    if (negative) {
        value = -value;
    }
    if (value < -2147483648LL || value > 4294967295LL) {
        return std::nullopt;
    }
    return value;
}

}  // namespace vorn::sim
