#include "simulator/card_file.h"

#include <cstring>

namespace vorn::sim {

namespace {

constexpr std::string_view kHairStyleNames[kHairStyleCount] = {"short", "long", "bun", "bald",
                                                               "curly"};

// The fingerprint record is filler that the program copies along and never reads; a magic
// text at its start lets a curious reader of a memory dump tell what it is.
constexpr char kFingerprintMagic[] = "VORNSIMFINGERPRINT";

std::optional<Rgb> ParseColour(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') {
        return std::nullopt;
    }
    const std::optional<long long> value = ParseInteger("0x" + std::string(text.substr(1)));
    if (!value || *value < 0) {
        return std::nullopt;
    }
    return Rgb{static_cast<std::uint8_t>(*value >> 16), static_cast<std::uint8_t>(*value >> 8),
               static_cast<std::uint8_t>(*value)};
}

std::optional<bool> ParseYesNo(std::string_view text) {
    if (text == "yes") {
        return true;
    }
    if (text == "no") {
        return false;
    }
    return std::nullopt;
}

bool ReadColour(const IniText& card, const char* key, Rgb& colour, std::string& error) {
    const std::optional<std::string> text = card.Get(kPhotoSection, key);
    if (!text) {
        return true;
    }
    const std::optional<Rgb> parsed = ParseColour(*text);
    if (!parsed) {
        error = std::string("colour \"") + key + "\" is not #RRGGBB";
        return false;
    }
    colour = *parsed;
    return true;
}

void PutLittleEndian(unsigned char* destination, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        destination[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

}  // namespace

std::optional<PortraitParameters> ReadPortrait(const IniText& card, std::string& error) {
    PortraitParameters portrait;
    if (!ReadColour(card, "skin", portrait.skin, error) ||
        !ReadColour(card, "hair", portrait.hair, error) ||
        !ReadColour(card, "clothing", portrait.clothing, error)) {
        return std::nullopt;
    }
    if (const auto style = card.Get(kPhotoSection, "hair_style")) {
        bool known = false;
        for (std::uint8_t i = 0; i < kHairStyleCount; ++i) {
            if (*style == kHairStyleNames[i]) {
                portrait.hair_style = static_cast<HairStyle>(i);
                known = true;
            }
        }
        if (!known) {
            error = "unknown hair style \"" + *style + "\"";
            return std::nullopt;
        }
    }
    if (const auto glasses = card.Get(kPhotoSection, "glasses")) {
        const std::optional<bool> flag = ParseYesNo(*glasses);
        if (!flag) {
            error = "\"glasses\" is neither yes nor no";
            return std::nullopt;
        }
        portrait.glasses = *flag;
    }
    return portrait;
}

std::optional<SimulatedCard> BuildSimulatedCard(std::string_view file_text, std::string& error) {
    const IniText card = IniText::Parse(file_text);
    if (!card.well_formed()) {
        error = "the card file has a line that is not INI";
        return std::nullopt;
    }
    SimulatedCard result;
    const std::optional<TextRecord> text = LayOutTextRecord(card, error);
    const std::optional<PortraitParameters> portrait =
        text ? ReadPortrait(card, error) : std::nullopt;
    if (!text || !portrait) {
        return std::nullopt;
    }
    result.text = *text;
    result.photo = EncodePhotoRecord(*portrait);

    // A damaged photo keeps its parameters but fails its checksum, so a decoder refuses it.
    const std::optional<bool> damaged =
        ParseYesNo(card.Get(kPhotoSection, "damaged").value_or("no"));
    if (!damaged) {
        error = "\"damaged\" is neither yes nor no";
        return std::nullopt;
    }
    if (*damaged) {
        result.photo[kPhotoChecksumOffset] ^= 0xFF;
    }

    if (const auto address = card.Get(kCardSection, "new_address")) {
        std::array<unsigned char, kNewAddressBytes> record{};
        if (!PutUcs2Field(*address, record.data(), record.size())) {
            error = "field \"new_address\" is not UTF-8 or too long";
            return std::nullopt;
        }
        result.new_address = record;
    }

    // The serial number only has to differ between cards; checksums of the records do that.
    const std::uint32_t text_crc = Crc32(result.text.data(), result.text.size());
    PutLittleEndian(result.serial.data(), text_crc);
    PutLittleEndian(result.serial.data() + 4, Crc32(result.photo.data(), kPhotoChecksumOffset));

    std::memcpy(result.fingerprint.data(), kFingerprintMagic, sizeof(kFingerprintMagic) - 1);
    for (std::size_t i = sizeof(kFingerprintMagic) - 1; i < kFingerprintBytes; ++i) {
        result.fingerprint[i] = static_cast<unsigned char>((text_crc >> (8 * (i % 4))) ^ i);
    }
    return result;
}

}  // namespace vorn::sim
