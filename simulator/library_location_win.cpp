#include <windows.h>

#include <string>

#include "simulator/library_location.h"

namespace vorn::sim {

std::filesystem::path LibraryDirectory() {
    // Any address inside this DLL names its module; the reference count stays as it was.
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&LibraryDirectory), &module)) {
        return {};
    }
    // GetModuleFileNameW truncates silently, so grow the buffer until the name fits.
    constexpr DWORD kLongestPath = 32768;
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        if (name.size() >= kLongestPath) {
            return {};
        }
        name.resize(name.size() * 2);
    }
    return std::filesystem::path(name).parent_path();
}

}  // namespace vorn::sim
