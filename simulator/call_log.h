// The simulated driver's record of its calls, from which a test or a benchmark counts them.
#pragma once

#include <filesystem>
#include <string_view>

namespace vorn::sim {

// Appends "<milliseconds since the epoch> <entry point> <answer in decimal>" and a line feed
// to `file`. A log that cannot be written is skipped: it must never change an answer.
void AppendCallLine(const std::filesystem::path& file, std::string_view entry_point,
                    int answer) noexcept;

}  // namespace vorn::sim
