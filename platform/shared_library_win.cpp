// Run-time library loading on Windows.
#include "platform/shared_library.h"

#include <windows.h>

#include "platform/ascii_text.h"
#include "platform/load_failure.h"

namespace vorn {

namespace {

constexpr const wchar_t* kDllSuffix = L".dll";
// DLL names the loader resolves to parts of the system itself; no file of that name exists.
constexpr const char* kApiSetPrefixes[] = {"api-ms-win-", "ext-ms-"};

bool StartsWithCaseless(std::string_view text, std::string_view prefix) {
    return SameAsciiWord(text.substr(0, prefix.size()), prefix);
}

// Whether a DLL is found beside the library or where the loader searches for this process.
bool DependencyFound(const std::wstring& folder, const std::string& name) {
    for (const char* prefix : kApiSetPrefixes) {
        if (StartsWithCaseless(name, prefix)) {
            return true;
        }
    }
    const std::wstring wide(name.begin(), name.end());
    wchar_t found[MAX_PATH] = {};
    return (!folder.empty() &&
            SearchPathW(folder.c_str(), wide.c_str(), nullptr, MAX_PATH, found, nullptr) != 0) ||
           SearchPathW(nullptr, wide.c_str(), nullptr, MAX_PATH, found, nullptr) != 0;
}

}  // namespace

std::wstring SharedLibraryFile(const std::wstring& path) {
    // As the loader does: a name without a suffix means a DLL.
    const std::size_t separator = path.find_last_of(L"\\/");
    const std::size_t dot = path.rfind(L'.');
    const bool has_suffix =
        dot != std::wstring::npos && (separator == std::wstring::npos || dot > separator);
    return has_suffix ? path : path + kDllSuffix;
}

SharedLibrary LoadSharedLibrary(const std::wstring& path, std::uint32_t* error,
                                std::wstring* cause) {
    HMODULE module = LoadLibraryW(path.c_str());
    if (module != nullptr) {
        return SharedLibrary(reinterpret_cast<LibraryHandle>(module));
    }
    const DWORD code = GetLastError();
    if (error != nullptr) {
        *error = code;
    }
    if (cause != nullptr) {
        LoadFailureFacts facts;
        facts.file = SharedLibraryFile(path);
        facts.error = code;
        const std::wstring folder = facts.file.substr(0, facts.file.find_last_of(L"\\/") + 1);
        facts.dependency_found = [folder](const std::string& name) {
            return DependencyFound(folder, name);
        };
        *cause = ExplainLoadFailure(facts, ProgramBinaryHeader());
    }
    return SharedLibrary(nullptr);
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
