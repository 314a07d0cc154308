#include "simulator/call_log.h"

#include <chrono>
#include <fstream>
#include <string>

namespace vorn::sim {

void AppendCallLine(const std::filesystem::path& file, std::string_view entry_point,
                    int answer) noexcept {
    try {
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::system_clock::now().time_since_epoch());
        // One write of the whole line in append mode, so that lines of calls from two
        // processes never interleave.
        const std::string line = std::to_string(now.count()) + " " + std::string(entry_point) +
                                 " " + std::to_string(answer) + "\n";
        std::ofstream stream(file, std::ios::binary | std::ios::app);
        stream.write(line.data(), static_cast<std::streamsize>(line.size()));
    } catch (...) {
    }
}

}  // namespace vorn::sim
