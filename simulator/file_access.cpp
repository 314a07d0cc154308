#include "simulator/file_access.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "simulator/sim_codes.h"

using namespace vorn;

namespace vorn::sim {

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxInputFileSize) {
        return std::nullopt;
    }
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    std::string content((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (stream.bad()) {
        return std::nullopt;
    }
    return content;
}

std::filesystem::path ResolveBelow(const std::filesystem::path& directory, std::string_view text) {
    std::u8string utf8(text.begin(), text.end());
    // Description files are shared between the Windows and the Linux build.
    std::replace(utf8.begin(), utf8.end(), u8'\\', u8'/');
    return directory / std::filesystem::path(utf8);
}

}  // namespace vorn::sim
