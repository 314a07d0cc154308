// Run-time library loading on Linux.
#include "platform/shared_library.h"

#include <dlfcn.h>

#include "platform/text_conversion.h"

namespace vorn {

namespace {

// dlopen reports no numeric code; these are the codes Windows gives for the same failures,
// so that the trace lines read alike on both systems.
constexpr std::uint32_t kModuleNotFound = 126;
constexpr std::uint32_t kProcedureNotFound = 127;

// "dir/name" or "dir/name.dll" becomes "dir/libname.so".
std::string LinuxLibraryPath(const std::string& path) {
    std::size_t slash = path.rfind('/');
    std::string directory = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string windows_suffix = ".dll";
    if (name.size() > windows_suffix.size() &&
        name.compare(name.size() - windows_suffix.size(), windows_suffix.size(), windows_suffix) ==
            0) {
        name.resize(name.size() - windows_suffix.size());
    }
    return directory + "lib" + name + ".so";
}

}  // namespace

SharedLibrary LoadSharedLibrary(const std::wstring& path, std::uint32_t* error) {
    std::string file = LinuxLibraryPath(WideToUtf8(path.c_str()));
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr && error != nullptr) {
        *error = kModuleNotFound;
    }
    return SharedLibrary(library);
}

void* FindLibraryExport(LibraryHandle library, const char* name, std::uint32_t* error) {
    void* address = library == nullptr ? nullptr : dlsym(library, name);
    if (address == nullptr && error != nullptr) {
        *error = kProcedureNotFound;
    }
    return address;
}

void FreeSharedLibrary(LibraryHandle library) {
    if (library != nullptr) {
        dlclose(library);
    }
}

}  // namespace vorn
