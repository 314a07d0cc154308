// A parsed INI text whose keys are looked up the way Windows profile files are.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::sim {

// Holds every "key = value" line with its section, in file order.
class IniText {
public:
    // Keeps every readable line. A line that is neither blank, a comment, a section header
    // nor a "key = value" pair is skipped and marks the text as not well formed, so that a
    // damaged file is noticed instead of silently half read.
    static IniText Parse(std::string_view text);

    bool well_formed() const { return well_formed_; }

    // Sections and keys compare without regard to ASCII case; the first match wins.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;

private:
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };
    std::vector<Entry> entries_;
    bool well_formed_ = true;
};

// Reads a whole number in decimal or with a "0x" prefix in hexadecimal, with an optional
// sign. Anything else in the text, or a value outside 32 bits, gives nothing.
std::optional<long long> ParseInteger(std::string_view text);

}  // namespace vorn::sim
