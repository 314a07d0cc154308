// Why a library did not load, in one sentence for support staff, and who hears of it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/binary_header.h"

namespace vorn {

// What is known of a load that failed.
struct LoadFailureFacts {
    // The file the loader was given, as the system names it ("C:\dir\sdtapi.dll",
    // "/dir/libsdtapi.so").
    std::wstring file;
    // The system's code of the failure.
    std::uint32_t error = 0;
    // The loader's own words, where it gives any (dlerror on Linux); empty otherwise.
    std::wstring loader_text;
    // Whether a DLL the library imports is found where the loader looks (Windows); unset
    // where the loader's words already name a missing dependency.
    std::function<bool(const std::string& name)> dependency_found;
};

// One sentence naming the cause: the file missing, no library at all, a library for another
// system or processor, its own missing DLLs, or else the loader's words. The program's own
// header is what the library is compared with.
std::wstring ExplainLoadFailure(const LoadFailureFacts& facts, const BinaryHeader& program);
// The header of this program's own file.
BinaryHeader ProgramBinaryHeader();

// Told of every explained failure of the reader maker's libraries during a request: the
// service writes them to its log. Null: nobody is told.
using LoadFailureListener = std::function<void(const std::wstring& cause)>;
void SetLoadFailureListener(LoadFailureListener listener);
void ReportLoadFailure(const std::wstring& cause);

}  // namespace vorn
