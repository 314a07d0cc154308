// Owners of the Windows handles the program opens: service manager, kernel objects, files and
// global memory. Only _win files use it.
#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

namespace vorn {

// A handle of the service control manager or of one service.
using ServiceHandle = NullableHandle<SC_HANDLE, &CloseServiceHandle>;
// A process, token, event or other kernel object whose "none" is null.
using KernelHandle = NullableHandle<HANDLE, &CloseHandle>;
// A block of global memory, as COM streams on memory take it.
using GlobalMemory = NullableHandle<HGLOBAL, &GlobalFree>;
// Memory the system allocated for the caller with LocalAlloc: SID texts, security descriptors.
template <typename T>
using LocalMemory = NullableHandle<T, &LocalFree>;
// An open registry key.
using RegistryKey = NullableHandle<HKEY, &RegCloseKey>;

// The kind of a file opened by CreateFileW, whose "none" is INVALID_HANDLE_VALUE, not null.
struct FileHandleKind {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { CloseHandle(handle); }
};
using FileHandle = UniqueHandle<FileHandleKind>;

// The kind of a directory search begun by FindFirstFileW; its "none" is INVALID_HANDLE_VALUE.
struct FileSearchKind {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle search) noexcept { FindClose(search); }
};
using FileSearch = UniqueHandle<FileSearchKind>;

}  // namespace vorn
