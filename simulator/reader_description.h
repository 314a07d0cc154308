// What the description file beside the library says: which card lies on the reader, and
// which answers the entry points give instead of their usual ones.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "simulator/sim_codes.h"

namespace vorn::sim {

constexpr const char* kReaderSection = "Reader";

// The settings of section [Reader]; a key that is absent leaves its member at the default.
struct ReaderDescription {
    std::string card;  // card file relative to the library's directory; empty means none
    std::optional<int> find;
    std::optional<int> select;
    std::optional<int> read_fp;
    std::optional<int> read;
    std::uint32_t text_length = kDefaultTextLength;
    std::uint32_t photo_length = kDefaultPhotoLength;
    // How long SDT_StartFindIDCard takes before it answers, in milliseconds: a slow reader,
    // or with a large value one that never returns.
    std::uint32_t find_delay = 0;
    // How long SDT_ReadBaseMsg and SDT_ReadBaseFPMsg take before they answer, in
    // milliseconds: a real chip read takes about half a second.
    std::uint32_t read_delay = 0;
    // File, relative to the library's directory or absolute, to which every entry point call
    // appends one line; empty means no log.
    std::string call_log;
    // A line that is not INI or a value that is not a number: the reads then fail, so a
    // mistyped description shows up in the program's reply instead of passing unnoticed.
    bool malformed = false;
};

ReaderDescription ParseReaderDescription(std::string_view text);

}  // namespace vorn::sim
