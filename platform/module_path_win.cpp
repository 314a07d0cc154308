// The program file's path on Windows.
#include "platform/module_path.h"

#include <windows.h>

namespace vorn {

const char kPathSeparator = '\\';
const wchar_t kPathSeparatorW = L'\\';

std::uint32_t ModuleFileNameA(char* buffer, std::uint32_t size) {
    return GetModuleFileNameA(nullptr, buffer, size);
}

std::uint32_t ModuleFileNameW(wchar_t* buffer, std::uint32_t size) {
    return GetModuleFileNameW(nullptr, buffer, size);
}

}  // namespace vorn
