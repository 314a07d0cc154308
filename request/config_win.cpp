// Settings read by the Windows private-profile functions.
#include <windows.h>

#include <cstring>

#include "request/config.h"

void ReadProfileString(const char* section, const char* key, const char* fallback, char* out,
                       std::uint32_t size, const std::string& path) {
    std::memset(out, 0, size);
    GetPrivateProfileStringA(section, key, fallback, out, size, path.c_str());
}

int ReadProfileInt(const char* section, const char* key, int fallback, const std::string& path) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, fallback, path.c_str()));
}
