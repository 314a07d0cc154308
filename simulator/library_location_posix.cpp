#include <dlfcn.h>

#include <system_error>

#include "simulator/library_location.h"

namespace vorn::sim {

std::filesystem::path LibraryDirectory() {
    // Any address inside this library names the shared object that holds it.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LibraryDirectory), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    // The loader reports the name it was given, which may be relative to the current directory.
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(info.dli_fname, error);
    if (error) {
        return {};
    }
    return file.parent_path();
}

}  // namespace vorn::sim
