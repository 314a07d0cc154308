// Where the simulated driver library itself lies; its description file sits beside it.
#pragma once

#include <filesystem>

namespace vorn::sim {

// The directory of the loaded library file, or an empty path when it cannot be told.
std::filesystem::path LibraryDirectory();

}  // namespace vorn::sim
