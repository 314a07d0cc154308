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

// Loads a library given as directory plus Windows file name ("C:\dir\sdtapi" or
// "C:\dir\WltRS.dll"); on Linux the same name means "/dir/libsdtapi.so" or "/dir/libWltRS.so".
// On failure returns an empty owner and sets error to the system's code.
SharedLibrary LoadSharedLibrary(const std::wstring& path, std::uint32_t* error);
// Returns the export's address, or null with the system's code in error.
void* FindLibraryExport(LibraryHandle library, const char* name, std::uint32_t* error);

}  // namespace vorn
