// A card file turned into every record the simulated driver hands out for that card.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "card/sdt_api.h"
#include "simulator/card_layout.h"
#include "simulator/ini_text.h"
#include "simulator/photo_record.h"

namespace vorn::sim {

constexpr std::size_t kSerialBytes = kSdtSerialSize;
constexpr std::size_t kFingerprintBytes = kSdtFingerprintRecordSize;
constexpr std::size_t kNewAddressBytes = kSdtNewAddressRecordSize;

constexpr const char* kPhotoSection = "Photo";

// The records of one card, ready to be copied into the caller's buffers.
struct SimulatedCard {
    TextRecord text{};
    PhotoRecord photo{};
    std::array<unsigned char, kSerialBytes> serial{};
    std::array<unsigned char, kFingerprintBytes> fingerprint{};
    std::optional<std::array<unsigned char, kNewAddressBytes>> new_address;
};

// Reads the portrait of section [Photo]; every key has a default. Gives nothing and says why
// in `error` when a colour is not "#RRGGBB", or a style or yes/no value is unknown.
std::optional<PortraitParameters> ReadPortrait(const IniText& card, std::string& error);

// Builds all records from the text of a card file. Gives nothing and says why in `error`
// when the file is not a well-formed card.
std::optional<SimulatedCard> BuildSimulatedCard(std::string_view file_text, std::string& error);

}  // namespace vorn::sim
