#include "simulator/card_layout.h"

#include "simulator/utf8_text.h"

namespace vorn::sim {

namespace {

// Resident identity card: the sign slot holds a blank.
constexpr FieldSlot kResidentFields[] = {
    {"name", 0, 30, true},   {"sex", 30, 2, true},           {"ethnicity", 32, 4, true},
    {"birth", 36, 16, true}, {"address", 52, 70, true},      {"id", 122, 36, true},
    {"dept", 158, 30, true}, {"valid_begin", 188, 16, true}, {"valid_end", 204, 16, true},
};

// Residence permit of Hong Kong, Macau and Taiwan residents: sign "J"; the number's first two
// digits (81, 82, 83) tell the three apart, so the card file does not need to.
constexpr FieldSlot kPermitFields[] = {
    {"name", 0, 30, true},          {"sex", 30, 2, true},         {"birth", 36, 16, true},
    {"address", 52, 70, true},      {"id", 122, 36, true},        {"dept", 158, 30, true},
    {"valid_begin", 188, 16, true}, {"valid_end", 204, 16, true}, {"pass_id", 220, 18, true},
    {"issue_count", 238, 4, true},
};

// Foreigner's permanent-residence card: sign "I"; the reserved characters may stay blank.
constexpr FieldSlot kForeignerFields[] = {
    {"name_en", 0, 120, true},     {"sex", 120, 2, true},       {"id", 122, 30, true},
    {"nationality", 152, 6, true}, {"name", 158, 30, true},     {"valid_begin", 188, 16, true},
    {"valid_end", 204, 16, true},  {"birth", 220, 16, true},    {"card_version", 236, 4, true},
    {"authority", 240, 8, true},   {"reserved", 250, 6, false},
};

constexpr FieldSlot kSignSlot = {"sign", 248, 2, false};

}  // namespace

std::optional<std::span<const FieldSlot>> FieldLayout(std::string_view kind) {
    if (kind == "resident") {
        return std::span<const FieldSlot>(kResidentFields);
    }
    if (kind == "permit") {
        return std::span<const FieldSlot>(kPermitFields);
    }
    if (kind == "foreigner") {
        return std::span<const FieldSlot>(kForeignerFields);
    }
    return std::nullopt;
}

bool PutUcs2Field(std::string_view text, unsigned char* destination, std::size_t width) {
    const std::optional<std::u16string> characters = Utf8ToUtf16(text);
    if (!characters || characters->size() * 2 > width) {
        return false;
    }
    for (std::size_t i = 0; i < width / 2; ++i) {
        const char16_t c = i < characters->size() ? (*characters)[i] : u' ';
        destination[2 * i] = static_cast<unsigned char>(c & 0xFF);
        destination[2 * i + 1] = static_cast<unsigned char>(c >> 8);
    }
    return true;
}

std::optional<TextRecord> LayOutTextRecord(const IniText& card, std::string& error) {
    const std::string kind = card.Get(kCardSection, "kind").value_or("");
    const auto layout = FieldLayout(kind);
    if (!layout) {
        error = "unknown card kind \"" + kind + "\"";
        return std::nullopt;
    }
    TextRecord record{};
    PutUcs2Field("", record.data(), record.size());
    for (const FieldSlot& slot : *layout) {
        const std::optional<std::string> value = card.Get(kCardSection, slot.key);
        if (!value) {
            if (slot.required) {
                error = "missing field \"" + std::string(slot.key) + "\"";
                return std::nullopt;
            }
            continue;
        }
        if (!PutUcs2Field(*value, record.data() + slot.offset, slot.width)) {
            error = "field \"" + std::string(slot.key) + "\" is not UTF-8 or too long";
            return std::nullopt;
        }
    }
    // Resident cards carry a blank where the other kinds carry their letter.
    const std::string default_sign = kind == "foreigner" ? "I" : kind == "permit" ? "J" : " ";
    const std::string sign = card.Get(kCardSection, kSignSlot.key).value_or(default_sign);
    if (!PutUcs2Field(sign, record.data() + kSignSlot.offset, kSignSlot.width)) {
        error = "field \"sign\" is not one character";
        return std::nullopt;
    }
    return record;
}

}  // namespace vorn::sim
