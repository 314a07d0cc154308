// Private temporary folders on Windows: a new name made with CreateDirectoryW, which fails
// when the name exists already, and a protected DACL that grants the current user alone.
#include <windows.h>

#include <sddl.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/handles_win.h"
#include "platform/temp_directory.h"

namespace vorn {

namespace {

// A name that exists already (another folder, or one planted on purpose) is skipped; after
// this many tries the temporary folder is taken to be unusable.
constexpr int kNameAttempts = 100;

std::atomic<unsigned> g_folders_made{0};

// The current user's SID as SDDL text, e.g. "S-1-5-21-...", or "" when it cannot be read.
std::wstring CurrentUserSid() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) {
        return {};
    }
    KernelHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    std::wstring text;
    if (size > 0 && GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        wchar_t* sid = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
            LocalMemory<wchar_t*> owned(sid);
            text = sid;
        }
    }
    return text;
}

// Full access for the user, inherited by the files made inside, and nothing inherited from
// the temporary folder above (the protected flag).
LocalMemory<PSECURITY_DESCRIPTOR> OwnerOnlyDescriptor() {
    const std::wstring sid = CurrentUserSid();
    if (sid.empty()) {
        return {};
    }
    const std::wstring sddl = L"D:P(A;OICI;FA;;;" + sid + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return {};
    }
    return LocalMemory<PSECURITY_DESCRIPTOR>(descriptor);
}

// The wide path in the ANSI code page; where a character has no ANSI form, the folder's
// short name, which is plain ASCII. Empty when neither works.
std::string AnsiPath(const std::wstring& path) {
    auto convert = [](const std::wstring& wide) -> std::string {
        BOOL lossy = FALSE;
        const int needed = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1,
                                               nullptr, 0, nullptr, &lossy);
        if (needed <= 1 || lossy) {
            return {};
        }
        std::string narrow(static_cast<std::size_t>(needed), '\0');
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, narrow.data(), needed,
                            nullptr, &lossy);
        narrow.pop_back();
        return lossy ? std::string() : narrow;
    };
    std::string narrow = convert(path);
    if (!narrow.empty()) {
        return narrow;
    }
    const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) {
        return {};
    }
    std::wstring short_path(needed, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), short_path.data(), needed);
    if (length == 0 || length >= needed) {
        return {};
    }
    short_path.resize(length);
    return convert(short_path);
}

}  // namespace

std::filesystem::path TemporaryDirectory::SystemFolder() {
    wchar_t base[MAX_PATH + 1] = {};
    const DWORD base_length = GetTempPathW(MAX_PATH + 1, base);
    if (base_length == 0 || base_length > MAX_PATH) {
        return {};
    }
    return std::filesystem::path(base);
}

std::unique_ptr<TemporaryDirectory> TemporaryDirectory::MakeFolder(const char* name_prefix) {
    const std::wstring base = SystemFolder().wstring();
    if (base.empty()) {
        return nullptr;
    }
    const LocalMemory<PSECURITY_DESCRIPTOR> descriptor = OwnerOnlyDescriptor();
    if (!descriptor) {
        return nullptr;
    }
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor.get(), FALSE};
    std::wstring prefix;
    for (const char* c = name_prefix; c != nullptr && *c != '\0'; ++c) {
        prefix += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    }
    std::unique_ptr<TemporaryDirectory> made;
    for (int attempt = 0; attempt < kNameAttempts && made == nullptr; ++attempt) {
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        wchar_t unique[40];
        std::swprintf(unique, 40, L"%lx%x%llx", GetCurrentProcessId(), g_folders_made++,
                      static_cast<unsigned long long>(counter.QuadPart) & 0xFFFFFFull);
        const std::wstring path = base + prefix + unique;
        if (!CreateDirectoryW(path.c_str(), &attributes)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS) {
                continue;
            }
            break;
        }
        const std::string narrow = AnsiPath(path);
        if (narrow.empty()) {
            RemoveDirectoryW(path.c_str());
            break;
        }
        made.reset(new TemporaryDirectory(std::filesystem::path(path), narrow + "\\"));
    }
    return made;
}

}  // namespace vorn
