// Runs one entry point of the simulated driver against a freshly read reader description.
#pragma once

#include "simulator/library_location.h"
#include "simulator/sim_codes.h"
#include "simulator/simulated_reader.h"

namespace vorn::sim {

// The caller knows only the C calling convention, so no exception may leave an entry
// point; a failure to read the files (out of memory, a broken file system) becomes the
// read-failure answer.
template <typename Call>
int AnswerFromFreshReader(Call call) noexcept {
    try {
        const SimulatedReader reader(LibraryDirectory());
        return call(reader);
    } catch (...) {
        return kUnreadableCard;
    }
}

}  // namespace vorn::sim
