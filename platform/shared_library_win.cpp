// Run-time library loading on Windows.
#include "platform/shared_library.h"

#include <windows.h>

namespace vorn {

SharedLibrary LoadSharedLibrary(const std::wstring& path, std::uint32_t* error) {
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr && error != nullptr) {
        *error = GetLastError();
    }
    return SharedLibrary(reinterpret_cast<LibraryHandle>(module));
}

void* FindLibraryExport(LibraryHandle library, const char* name, std::uint32_t* error) {
    FARPROC address = GetProcAddress(static_cast<HMODULE>(library), name);
    if (address == nullptr && error != nullptr) {
        *error = GetLastError();
    }
    return reinterpret_cast<void*>(address);
}

void FreeSharedLibrary(LibraryHandle library) {
    if (library != nullptr) {
        FreeLibrary(static_cast<HMODULE>(library));
    }
}

}  // namespace vorn
