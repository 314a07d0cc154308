#include "platform/file_bytes.h"

#include <fstream>
#include <string>
#include <system_error>

#include "platform/text_conversion.h"

namespace vorn {

std::filesystem::path PathFromWide(const wchar_t* name) {
    const std::string utf8 = WideToUtf8(name);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::optional<std::vector<unsigned char>> ReadFileBytes(const std::filesystem::path& path,
                                                        std::size_t max_size) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size == 0 || size > max_size) {
        return std::nullopt;
    }
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    const auto read = static_cast<std::size_t>(stream.gcount());
    // A file that shrank while it was read gives only what was there.
    if (read == 0) {
        return std::nullopt;
    }
    bytes.resize(read);
    return bytes;
}

}  // namespace vorn
