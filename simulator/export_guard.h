// Runs one entry point of the simulated driver against a freshly read reader description.
#pragma once

#include <filesystem>

#include "simulator/call_log.h"
#include "simulator/file_access.h"
#include "simulator/library_location.h"
#include "simulator/sim_codes.h"
#include "simulator/simulated_reader.h"

namespace vorn::sim {

// Answers `entry_point` with the reader described in `directory`, and logs the call when the
// description asks for it. The caller knows only the C calling convention, so no exception
// may leave an entry point; a failure to read the files (out of memory, a broken file system)
// becomes the read-failure answer.
template <typename Call>
int AnswerFromReaderIn(const std::filesystem::path& directory, const char* entry_point,
                       Call call) noexcept {
    try {
        const SimulatedReader reader(directory);
        const int answer = call(reader);
        if (!reader.description().call_log.empty()) {
            AppendCallLine(ResolveBelow(directory, reader.description().call_log), entry_point,
                           answer);
        }
        return answer;
    } catch (...) {
        return kUnreadableCard;
    }
}

template <typename Call>
int AnswerFromFreshReader(const char* entry_point, Call call) noexcept {
    try {
        return AnswerFromReaderIn(LibraryDirectory(), entry_point, call);
    } catch (...) {
        return kUnreadableCard;
    }
}

}  // namespace vorn::sim
