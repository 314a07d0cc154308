// The program file's path on Linux, read from /proc.
#include "platform/module_path.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/text_conversion.h"

namespace vorn {

const char kPathSeparator = '/';
const wchar_t kPathSeparatorW = L'/';

std::uint32_t ModuleFileNameA(char* buffer, std::uint32_t size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    std::memset(buffer, 0, size);
    ssize_t length = readlink("/proc/self/exe", buffer, size - 1);
    if (length <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<std::uint32_t>(length);
}

std::uint32_t ModuleFileNameW(wchar_t* buffer, std::uint32_t size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    char narrow[4096] = {};
    if (ModuleFileNameA(narrow, sizeof(narrow)) == 0) {
        buffer[0] = L'\0';
        return 0;
    }
    std::wstring wide = AnsiToWide(narrow);
    std::size_t length = wide.size() < size - 1 ? wide.size() : size - 1;
    wide.copy(buffer, length);
    buffer[length] = L'\0';
    return static_cast<std::uint32_t>(length);
}

}  // namespace vorn
