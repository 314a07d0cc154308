// Trace files on Windows, written by the runtime's UTF-16LE text mode.
#include "diagnostics/trace_file.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/file_stream.h"

namespace vorn {

long long TraceFileSize(const std::wstring& path) {
    struct _stat64 status {};
    if (_wstat64(path.c_str(), &status) != 0) {
        return -1;
    }
    return (status.st_mode & _S_IFMT) == _S_IFREG ? status.st_size : kUnusableTraceFileSize;
}

bool AppendTraceText(const std::wstring& path, const std::wstring& text) {
    FileStream file(_wfopen(path.c_str(), L"a+, ccs=UTF-16LE"));
    if (!file) {
        return false;
    }
    std::fputws(text.c_str(), file.get());
    std::fflush(file.get());
    return true;
}

}  // namespace vorn
