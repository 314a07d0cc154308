// The program's directory, shared by everything that looks for files beside the program.
#include "platform/module_path.h"

#include <cstring>

namespace vorn {

std::string ModuleDirectory() {
    char path[kLongestPath + 1] = {};
    if (ModuleFileNameA(path, kLongestPath) == 0) {
        return {};
    }
    char* separator = std::strrchr(path, kPathSeparator);
    if (separator == nullptr) {
        return {};
    }
    separator[1] = '\0';
    return path;
}

}  // namespace vorn
