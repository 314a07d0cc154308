// Settings read on Linux by the program's own reader, with the private-profile rules.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/handles_posix.h"
#include "request/config.h"
#include "request/ini_file.h"

namespace vorn {

namespace {

enum class FileRead { kWhole, kCut, kMissing, kUnreadable };

// Only a regular file is read: opening a FIFO would wait for a writer, and a device may never
// end, so either counts as unreadable. The open itself does not wait. At most
// kLargestConfigFile bytes are kept; kCut tells that the file goes on.
FileRead ReadFile(const std::string& path, std::string* content) {
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        return errno == ENOENT || errno == ENOTDIR ? FileRead::kMissing : FileRead::kUnreadable;
    }
    struct stat status {};
    if (fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return FileRead::kUnreadable;
    }
    char chunk[4096];
    // One byte more than is kept tells a file that goes on from one that just fills it.
    while (content->size() <= kLargestConfigFile) {
        ssize_t got = read(fd.get(), chunk, sizeof(chunk));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return FileRead::kUnreadable;
        }
        if (got == 0) {
            return FileRead::kWhole;
        }
        content->append(chunk, static_cast<std::size_t>(got));
    }
    content->resize(kLargestConfigFile);
    return FileRead::kCut;
}

bool FindValue(const char* section, const char* key, const std::string& path, std::string* value) {
    std::string content;
    if (section == nullptr || key == nullptr) {
        return false;
    }
    FileRead read = ReadFile(path, &content);
    return (read == FileRead::kWhole || read == FileRead::kCut) &&
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

WholeRead ReadWholeProfileString(const char* section, const char* key, std::uint32_t limit,
                                 const std::string& path, std::string* value) {
    std::string content;
    switch (ReadFile(path, &content)) {
        case FileRead::kMissing:
            return WholeRead::kAbsent;
        case FileRead::kUnreadable:
            return WholeRead::kUnreadable;
        case FileRead::kWhole:
            return FindWholeValue(std::move(content), false, section, key, limit, value);
        case FileRead::kCut:
            break;
    }
    return FindWholeValue(std::move(content), true, section, key, limit, value);
}

int ReadProfileInt(const char* section, const char* key, int fallback, const std::string& path) {
    std::string value;
    if (!FindValue(section, key, path, &value) || value.empty()) {
        return fallback;
    }
    return ParseIniInteger(value);
}

}  // namespace vorn
