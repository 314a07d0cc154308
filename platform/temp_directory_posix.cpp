// Private temporary folders on Linux: mkdtemp makes the folder with mode 0700.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/temp_directory.h"

namespace vorn {

namespace {

constexpr const char* kTemporaryFolderVariable = "TMPDIR";
constexpr const char* kDefaultTemporaryFolder = "/tmp";
constexpr const char* kUniqueSuffix = "XXXXXX";

std::string SystemTemporaryFolder() {
    const char* folder = std::getenv(kTemporaryFolderVariable);
    std::string base = folder != nullptr && folder[0] != '\0' ? folder : kDefaultTemporaryFolder;
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base;
}

}  // namespace

std::unique_ptr<TemporaryDirectory> TemporaryDirectory::Create(const char* name_prefix) {
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
