// The trace log's file operations, which differ per system.
#pragma once

#include <string>

namespace vorn {

// A size no file reaches: what a path that is no regular file (a FIFO, a device, a folder)
// counts as, so that the log moves on to the next name instead of writing there.
constexpr long long kUnusableTraceFileSize = 0x7FFFFFFFFFFFFFFFLL;

// The file's size in bytes, -1 when the file has no status (it does not exist), or
// kUnusableTraceFileSize when it is not a regular file.
long long TraceFileSize(const std::wstring& path);

// Appends the text to the file as UTF-16LE; a new file starts with the byte order mark.
// The file is opened and closed within the call, without waiting. False when it cannot be
// opened or is not a regular file.
bool AppendTraceText(const std::wstring& path, const std::wstring& text);

}  // namespace vorn
