// Loading the reader maker's libraries at run time.
#pragma once

#include <cstdint>
#include <string>

#include "platform/unique_handle.h"

namespace vorn {

// An opaque handle of a loaded library; null when none is loaded.
using LibraryHandle = void*;

void FreeSharedLibrary(LibraryHandle library);
// A loaded library, freed when its owner goes.
using SharedLibrary = NullableHandle<LibraryHandle, &FreeSharedLibrary>;

// The system's code of a library that is not found, or one of whose own libraries is not; the
// Linux loader gives no codes, and reports every failure of a load with this one.
constexpr std::uint32_t kLibraryNotFoundError = 126;

// Loads a library given as directory plus Windows file name ("C:\dir\sdtapi" or
// "C:\dir\WltRS.dll"); on Linux the same name means "/dir/libsdtapi.so" or "/dir/libWltRS.so".
// On failure returns an empty owner, sets error to the system's code and cause to a sentence
// that names why (see load_failure.h).
SharedLibrary LoadSharedLibrary(const std::wstring& path, std::uint32_t* error,
                                std::wstring* cause = nullptr);
// The file the loader opens for such a path: "C:\dir\sdtapi.dll", "/dir/libsdtapi.so".
std::wstring SharedLibraryFile(const std::wstring& path);
// Returns the export's address, or null with the system's code in error.
void* FindLibraryExport(LibraryHandle library, const char* name, std::uint32_t* error);

}  // namespace vorn
