// One call's view of the simulated reader: the description and its card, read afresh.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "simulator/card_file.h"
#include "simulator/reader_description.h"

namespace vorn::sim {

// Answers the driver entry points from the files in the library's directory. Each entry point
// builds one, so an edit of the description takes effect at the very next call.
class SimulatedReader {
public:
    // Reads simulator.ini from `directory` and the card file it names. An empty directory
    // (the library could not find itself) means an empty reader.
    explicit SimulatedReader(const std::filesystem::path& directory);

    int StartFind(unsigned char* manage) const;
    int Select(unsigned char* serial) const;
    int ReadBase(unsigned char* text, std::uint32_t* text_length, unsigned char* photo,
                 std::uint32_t* photo_length) const;
    int ReadBaseWithFingerprint(unsigned char* text, std::uint32_t* text_length,
                                unsigned char* photo, std::uint32_t* photo_length,
                                unsigned char* fingerprint,
                                std::uint32_t* fingerprint_length) const;
    int ReadNewAddress(unsigned char* address, std::uint32_t* address_length) const;
    int GetCardId(unsigned char* id) const;

    const ReaderDescription& description() const { return description_; }
    // Why the card file could not be used; empty when it could or when there is none.
    const std::string& card_error() const { return card_error_; }

private:
    bool CardLies() const { return card_present_; }
    int ReadAnswer(const std::optional<int>& configured) const;
    // The time a chip read takes, whatever it then answers.
    void WaitForChip() const;

    ReaderDescription description_;
    bool card_present_ = false;
    std::optional<SimulatedCard> card_;  // empty when absent or unreadable
    std::string card_error_;
};

}  // namespace vorn::sim
