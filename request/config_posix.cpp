// Settings read on Linux by the program's own reader, with the private-profile rules.
#include <cstdio>
#include <cstring>

#include "request/config.h"
#include "request/ini_file.h"

namespace {

// A settings file is a few lines; anything past this is not read.
constexpr std::size_t kLargestConfigFile = 1 << 20;

bool ReadFile(const std::string& path, std::string* content) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    char chunk[4096];
    std::size_t got = 0;
    while (content->size() < kLargestConfigFile &&
           (got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        content->append(chunk, got);
    }
    std::fclose(file);
    return true;
}

bool FindValue(const char* section, const char* key, const std::string& path, std::string* value) {
    std::string content;
    return section != nullptr && key != nullptr && ReadFile(path, &content) &&
           FindIniValue(content, section, key, value);
}

}  // namespace

void ReadProfileString(const char* section, const char* key, const char* fallback, char* out,
                       std::uint32_t size, const std::string& path) {
    if (out == nullptr || size == 0) {
        return;
    }
    std::memset(out, 0, size);
    std::string value;
    if (!FindValue(section, key, path, &value)) {
        value = fallback == nullptr ? "" : fallback;
    }
    std::strncpy(out, value.c_str(), size - 1);
}

int ReadProfileInt(const char* section, const char* key, int fallback, const std::string& path) {
    std::string value;
    if (!FindValue(section, key, path, &value) || value.empty()) {
        return fallback;
    }
    return ParseIniInteger(value);
}
