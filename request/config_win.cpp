// Settings read by the Windows private-profile functions.
#include <windows.h>

#include <cstring>

#include "platform/handles_win.h"
#include "request/config.h"

namespace vorn {

namespace {

// The private-profile functions open whatever the path names and wait on it: a pipe behind
// that name would hold the start or the request. Only a missing file or a file on disk is
// handed to them; anything else counts as no file.
bool MayReadProfile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && GetFileType(file.get()) == FILE_TYPE_DISK;
}

}  // namespace

void ReadProfileString(const char* section, const char* key, const char* fallback, char* out,
                       std::uint32_t size, const std::string& path) {
    if (out == nullptr || size == 0) {
        return;
    }
    std::memset(out, 0, size);
    if (!MayReadProfile(path)) {
        std::strncpy(out, fallback == nullptr ? "" : fallback, size - 1);
        return;
    }
    GetPrivateProfileStringA(section, key, fallback, out, size, path.c_str());
}

int ReadProfileInt(const char* section, const char* key, int fallback, const std::string& path) {
    if (!MayReadProfile(path)) {
        return fallback;
    }
    return static_cast<int>(GetPrivateProfileIntA(section, key, fallback, path.c_str()));
}

}  // namespace vorn
