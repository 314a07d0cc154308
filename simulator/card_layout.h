// Lays the fields of a card file into the 256-byte UCS-2 text record that a card carries.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "card/sdt_api.h"
#include "simulator/ini_text.h"

namespace vorn::sim {

constexpr std::size_t kTextRecordBytes = kSdtTextRecordSize;
using TextRecord = std::array<unsigned char, kTextRecordBytes>;

constexpr const char* kCardSection = "Card";

// Where one field of the card file lands in the text record (offset and width in bytes).
struct FieldSlot {
    std::string_view key;
    std::size_t offset;
    std::size_t width;
    bool required;
};

// The field layout of the card kind named by the "kind" key (resident, permit, foreigner);
// gives nothing for an unknown kind. The sign slot is not part of the list.
std::optional<std::span<const FieldSlot>> FieldLayout(std::string_view kind);

// Fills the record with U+0020 blanks, then writes every field of section [Card] in
// UCS-2 little-endian at its place. A field shorter than its slot keeps the blanks behind it,
// just as a real card pads its fields. Gives nothing and says why in `error` when the kind is
// unknown, a required field is missing, a value is not UTF-8 or does not fit its slot.
std::optional<TextRecord> LayOutTextRecord(const IniText& card, std::string& error);

// Writes `text` as 16-bit little-endian units into `width` bytes at `destination` (a
// character beyond U+FFFF as a surrogate pair), padding with blanks. Gives false, writing
// nothing, when the text is not UTF-8 or is too long.
bool PutUcs2Field(std::string_view text, unsigned char* destination, std::size_t width);

}  // namespace vorn::sim
