// Where the running program file lies, for finding the files kept beside it.
#pragma once

#include <cstdint>
#include <string>

namespace vorn {

// The separator that ends a directory: a backslash on Windows, a slash elsewhere.
extern const char kPathSeparator;
extern const wchar_t kPathSeparatorW;

// The longest path the program reads or hands on, in characters (bytes for narrow text), not
// counting the terminator: the Windows path limit, kept by both builds so that they behave alike.
constexpr std::uint32_t kLongestPath = 260;

// Writes the program file's full path into the buffer (at most size - 1 characters and a
// terminator) and returns its length, or 0 when the path cannot be determined.
std::uint32_t ModuleFileNameA(char* buffer, std::uint32_t size);
std::uint32_t ModuleFileNameW(wchar_t* buffer, std::uint32_t size);

// The program file's directory with its trailing separator (at most kLongestPath bytes of path,
// as the program reads it everywhere), or "" when it cannot be determined.
std::string ModuleDirectory();

}  // namespace vorn
