#include "simulator/reader_description.h"

#include "simulator/ini_text.h"

namespace vorn::sim {

namespace {

// Reads one numeric key; a present but unreadable value marks the description malformed.
std::optional<long long> ReadNumber(const IniText& ini, const char* key, bool& malformed) {
    const std::optional<std::string> text = ini.Get(kReaderSection, key);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    const std::optional<long long> value = ParseInteger(*text);
    if (!value) {
        malformed = true;
    }
    return value;
}

}  // namespace

ReaderDescription ParseReaderDescription(std::string_view text) {
    ReaderDescription description;
    const IniText ini = IniText::Parse(text);
    description.malformed = !ini.well_formed();
    description.card = ini.Get(kReaderSection, "card").value_or("");
    bool& malformed = description.malformed;
    // Codes and lengths are 32-bit values on the calling side; a number given as unsigned
    // (0xFFFFFFFF) or signed (-1) names the same bits.
    const auto as_code = [](long long value) { return static_cast<int>(value); };
    if (const auto value = ReadNumber(ini, "find", malformed)) {
        description.find = as_code(*value);
    }
    if (const auto value = ReadNumber(ini, "select", malformed)) {
        description.select = as_code(*value);
    }
    if (const auto value = ReadNumber(ini, "read_fp", malformed)) {
        description.read_fp = as_code(*value);
    }
    if (const auto value = ReadNumber(ini, "read", malformed)) {
        description.read = as_code(*value);
    }
    if (const auto value = ReadNumber(ini, "text_length", malformed)) {
        description.text_length = static_cast<std::uint32_t>(*value);
    }
    if (const auto value = ReadNumber(ini, "photo_length", malformed)) {
        description.photo_length = static_cast<std::uint32_t>(*value);
    }
    if (const auto value = ReadNumber(ini, "find_delay", malformed)) {
        description.find_delay = *value < 0 ? 0 : static_cast<std::uint32_t>(*value);
    }
    if (const auto value = ReadNumber(ini, "read_delay", malformed)) {
        description.read_delay = *value < 0 ? 0 : static_cast<std::uint32_t>(*value);
    }
    description.call_log = ini.Get(kReaderSection, "call_log").value_or("");
    return description;
}

}  // namespace vorn::sim
