#include "simulator/simulated_reader.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "card/sdt_api.h"
#include "simulator/file_access.h"

using namespace vorn;

namespace vorn::sim {

SimulatedReader::SimulatedReader(const std::filesystem::path& directory) {
    if (directory.empty()) {
        return;
    }
    if (const auto text = ReadSmallFile(directory / kDescriptionFileName)) {
        description_ = ParseReaderDescription(*text);
    }
    if (description_.card.empty()) {
        return;
    }
    // A named card whose file is missing is a reader with nothing on it, which lets a test
    // take the card away by renaming a file.
    const auto card_text = ReadSmallFile(ResolveBelow(directory, description_.card));
    if (!card_text) {
        return;
    }
    card_present_ = true;
    card_ = BuildSimulatedCard(*card_text, card_error_);
}

int SimulatedReader::StartFind(unsigned char* manage) const {
    if (manage == nullptr) {
        return kBadArgument;
    }
    if (description_.find_delay != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(description_.find_delay));
    }
    // The driver answers 0x9F when a card lies on the reader.
    return description_.find.value_or(CardLies() ? kSdtCardPresent : kNoCard);
}

int SimulatedReader::Select(unsigned char* serial) const {
    if (serial == nullptr) {
        return kBadArgument;
    }
    const int answer = description_.select.value_or(CardLies() ? kSdtSuccess : kNothingSelected);
    if (answer == kSdtSuccess) {
        if (card_) {
            std::memcpy(serial, card_->serial.data(), kSerialBytes);
        } else {
            std::memset(serial, 0, kSerialBytes);
        }
    }
    return answer;
}

void SimulatedReader::WaitForChip() const {
    if (description_.read_delay != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(description_.read_delay));
    }
}

// The answer of a read: a chosen failure first, then what the reader and the files allow.
int SimulatedReader::ReadAnswer(const std::optional<int>& configured) const {
    if (configured && *configured != kSdtSuccess) {
        return *configured;
    }
    if (!CardLies()) {
        return kNothingSelected;
    }
    if (description_.malformed || !card_) {
        return kUnreadableCard;
    }
    return kSdtSuccess;
}

int SimulatedReader::ReadBase(unsigned char* text, std::uint32_t* text_length, unsigned char* photo,
                              std::uint32_t* photo_length) const {
    if (text == nullptr || text_length == nullptr || photo == nullptr || photo_length == nullptr) {
        return kBadArgument;
    }
    WaitForChip();
    const int answer = ReadAnswer(description_.read);
    if (answer != kSdtSuccess) {
        return answer;
    }
    // The whole record is written whatever length is reported, so that a caller which
    // decodes past the reported length shows it in its result.
    std::memcpy(text, card_->text.data(), kTextRecordBytes);
    std::memcpy(photo, card_->photo.data(), kPhotoRecordBytes);
    *text_length = description_.text_length;
    *photo_length = description_.photo_length;
    return kSdtSuccess;
}

int SimulatedReader::ReadBaseWithFingerprint(unsigned char* text, std::uint32_t* text_length,
                                             unsigned char* photo, std::uint32_t* photo_length,
                                             unsigned char* fingerprint,
                                             std::uint32_t* fingerprint_length) const {
    if (text == nullptr || text_length == nullptr || photo == nullptr || photo_length == nullptr ||
        fingerprint == nullptr || fingerprint_length == nullptr) {
        return kBadArgument;
    }
    WaitForChip();
    // Code 33 tells the caller that this reader reads no fingerprints; it then asks for
    // the plain read, so nothing may be written here.
    const int answer = ReadAnswer(description_.read_fp);
    if (answer != kSdtSuccess) {
        return answer;
    }
    std::memcpy(text, card_->text.data(), kTextRecordBytes);
    std::memcpy(photo, card_->photo.data(), kPhotoRecordBytes);
    std::memcpy(fingerprint, card_->fingerprint.data(), kFingerprintBytes);
    *text_length = description_.text_length;
    *photo_length = description_.photo_length;
    *fingerprint_length = kFingerprintBytes;
    return kSdtSuccess;
}

int SimulatedReader::ReadNewAddress(unsigned char* address, std::uint32_t* address_length) const {
    if (address == nullptr || address_length == nullptr) {
        return kBadArgument;
    }
    const int answer = ReadAnswer(std::nullopt);
    if (answer != kSdtSuccess) {
        return answer;
    }
    if (!card_->new_address) {
        *address_length = 0;
        return kNoNewAddress;
    }
    std::memcpy(address, card_->new_address->data(), kNewAddressBytes);
    *address_length = kNewAddressBytes;
    return kSdtSuccess;
}

int SimulatedReader::GetCardId(unsigned char* id) const {
    if (id == nullptr) {
        return kBadArgument;
    }
    const int answer = ReadAnswer(std::nullopt);
    if (answer == kSdtSuccess) {
        std::memcpy(id, card_->serial.data(), kSerialBytes);
    }
    return answer;
}

}  // namespace vorn::sim
