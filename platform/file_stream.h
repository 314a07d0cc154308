// An owned C stream, closed when its owner goes.
#pragma once

#include <cstdio>

#include "platform/unique_handle.h"

namespace vorn {

// The kind of a stream opened by fopen and its relatives.
struct FileStreamKind {
    using Handle = std::FILE*;
    static constexpr Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle stream) noexcept { std::fclose(stream); }
};
using FileStream = UniqueHandle<FileStreamKind>;

}  // namespace vorn
