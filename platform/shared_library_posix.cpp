// Run-time library loading on Linux.
#include "platform/shared_library.h"

#include <dlfcn.h>

#include "platform/load_failure.h"
#include "platform/text_conversion.h"

namespace vorn {

namespace {

// dlopen reports no numeric code; this is the code Windows gives for the same failure, so
// that the trace lines read alike on both systems.
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

std::wstring SharedLibraryFile(const std::wstring& path) {
    return Utf8ToWide(LinuxLibraryPath(WideToUtf8(path.c_str())));
}

SharedLibrary LoadSharedLibrary(const std::wstring& path, std::uint32_t* error,
                                std::wstring* cause) {
    std::string file = LinuxLibraryPath(WideToUtf8(path.c_str()));
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library != nullptr) {
        return SharedLibrary(library);
    }
    // dlerror's text names what went wrong, a missing dependency among others.
    const char* loader_text = dlerror();
    if (error != nullptr) {
        *error = kLibraryNotFoundError;
    }
    if (cause != nullptr) {
        LoadFailureFacts facts;
        facts.file = Utf8ToWide(file);
        facts.error = kLibraryNotFoundError;
        facts.loader_text = loader_text != nullptr ? Utf8ToWide(loader_text) : std::wstring();
        *cause = ExplainLoadFailure(facts, ProgramBinaryHeader());
    }
    return SharedLibrary(nullptr);
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
