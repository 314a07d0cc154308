// The program's directory, shared by everything that looks for files beside the program.
#include "platform/module_path.h"

#include <cstring>

namespace {

constexpr std::uint32_t kModulePathLimit = 260;

}  // namespace

std::string ModuleDirectory() {
    char path[kModulePathLimit + 1] = {};
    if (ModuleFileNameA(path, kModulePathLimit) == 0) {
        return {};
    }
    char* separator = std::strrchr(path, kPathSeparator);
    if (separator == nullptr) {
        return {};
    }
    separator[1] = '\0';
    return path;
}
