// Answer codes and defaults of the simulated reader driver, beside the codes the program tests.
#pragma once

#include <cstdint>

#include "card/sdt_api.h"

namespace vorn::sim {

// The driver answers these when nothing in the description chose another answer.
constexpr int kNoCard = 0x80;           // the find step saw no card on the reader
constexpr int kNothingSelected = 0x81;  // select or read asked for while no card lies there
constexpr int kUnreadableCard = 0x41;   // the description or the card file could not be used
constexpr int kBadArgument = 0x01;      // a buffer or length pointer was null
constexpr int kNoNewAddress = 0x91;     // the card carries no new-address record

// The lengths the driver reports for a read: the whole records.
constexpr std::uint32_t kDefaultTextLength = kSdtTextRecordSize;
constexpr std::uint32_t kDefaultPhotoLength = kSdtPhotoRecordSize;

// Files beside the library; the description is small, so anything larger is refused.
constexpr const char* kDescriptionFileName = "simulator.ini";
constexpr std::uintmax_t kMaxInputFileSize = 64 * 1024;

}  // namespace vorn::sim
