// Private temporary folders on Linux: mkdtemp makes the folder with mode 0700.
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/temp_directory.h"

namespace vorn {

namespace {

constexpr const char* kTemporaryFolderVariable = "TMPDIR";
constexpr const char* kMemoryFolder = "/dev/shm";
constexpr const char* kDefaultTemporaryFolder = "/tmp";
constexpr const char* kUniqueSuffix = "XXXXXX";

// Whether the folder is shared the way /tmp is: writable by everyone, and sticky, so that no
// one may remove or rename another user's folder in it.
bool IsSharedTemporaryFolder(const char* folder) {
    struct stat status {};
    return stat(folder, &status) == 0 && S_ISDIR(status.st_mode) &&
           (status.st_mode & (S_IWOTH | S_ISVTX)) == (S_IWOTH | S_ISVTX);
}

std::string SystemTemporaryFolder() {
    const char* folder = std::getenv(kTemporaryFolderVariable);
    std::string base;
    if (folder != nullptr && folder[0] != '\0') {
        base = folder;
    } else if (IsSharedTemporaryFolder(kMemoryFolder)) {
        base = kMemoryFolder;
    } else {
        base = kDefaultTemporaryFolder;
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base;
}

}  // namespace

std::filesystem::path TemporaryDirectory::SystemFolder() {
    return SystemTemporaryFolder();
}

std::unique_ptr<TemporaryDirectory> TemporaryDirectory::MakeFolder(const char* name_prefix) {
    std::string pattern =
        SystemTemporaryFolder() + "/" + (name_prefix != nullptr ? name_prefix : "");
    pattern += kUniqueSuffix;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        return nullptr;
    }
    const std::string made(name.data());
    return std::unique_ptr<TemporaryDirectory>(new TemporaryDirectory(made, made + "/"));
}

}  // namespace vorn
