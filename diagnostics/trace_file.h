// The trace log's file operations, which differ per system.
#pragma once

#include <string>

// The file's size in bytes, or -1 when the file has no status (it does not exist).
long long TraceFileSize(const std::wstring& path);

// Appends the text to the file as UTF-16LE; a new file starts with the byte order mark.
// The file is opened and closed within the call. False when it cannot be opened.
bool AppendTraceText(const std::wstring& path, const std::wstring& text);
