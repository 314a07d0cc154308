// Reading the simulator's small input files, wherever the library lies.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::sim {

// The whole content of a regular file of at most kMaxInputFileSize bytes; nothing when the
// file is absent, unreadable or larger.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& path);

// Turns a UTF-8 path text from a description file into a path below `directory`. Either
// separator may be used; an absolute path stays as it is.
std::filesystem::path ResolveBelow(const std::filesystem::path& directory, std::string_view text);

}  // namespace vorn::sim
