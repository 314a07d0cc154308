// Owners of the POSIX handles the program opens. Only _posix files use it.
#pragma once

#include <unistd.h>

#include "platform/unique_handle.h"

namespace vorn {

// The kind of a file descriptor, whose "none" is -1.
struct FileDescriptorKind {
    using Handle = int;
    static constexpr Handle Invalid() noexcept { return -1; }
    static void Close(Handle descriptor) noexcept { close(descriptor); }
};
using FileDescriptor = UniqueHandle<FileDescriptorKind>;

}  // namespace vorn
