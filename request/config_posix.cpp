// Settings read on Linux by the program's own reader, with the private-profile rules.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/handles_posix.h"
#include "request/config.h"
#include "request/ini_file.h"

namespace vorn {

namespace {

// A settings file is a few lines; anything past this is not read.
constexpr std::size_t kLargestConfigFile = 1 << 20;

// Only a regular file is read: opening a FIFO would wait for a writer, and a device may never
// end, so either counts as no file. The open itself does not wait.
bool ReadFile(const std::string& path, std::string* content) {
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        return false;
    }
    struct stat status {};
    if (fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    char chunk[4096];
    while (content->size() < kLargestConfigFile) {
        ssize_t got = read(fd.get(), chunk, sizeof(chunk));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        content->append(chunk, static_cast<std::size_t>(got));
    }
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

}  // namespace vorn
