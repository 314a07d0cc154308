// Reading small files whole, with wide path names on every platform.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <vector>

namespace vorn {

// The path of a wide file name, converted the platform's way.
std::filesystem::path PathFromWide(const wchar_t* name);

// The whole file when it exists, is not empty and holds at most max_size bytes.
std::optional<std::vector<unsigned char>> ReadFileBytes(const std::filesystem::path& path,
                                                        std::size_t max_size);

}  // namespace vorn
