// Trace files on Linux, encoded as UTF-16LE by the program itself.
#include "diagnostics/trace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/handles_posix.h"
#include "platform/text_conversion.h"

namespace vorn {

namespace {

void PutUnit(std::string& out, unsigned unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>((unit >> 8) & 0xFF);
}

std::string ToUtf16Le(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        auto code = static_cast<unsigned>(c);
        if (code > 0x10FFFF) {
            code = 0xFFFD;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            PutUnit(out, 0xD800 | (code >> 10));
            PutUnit(out, 0xDC00 | (code & 0x3FF));
        } else {
            PutUnit(out, code);
        }
    }
    return out;
}

}  // namespace

long long TraceFileSize(const std::wstring& path) {
    struct stat status {};
    if (stat(WideToUtf8(path.c_str()).c_str(), &status) != 0) {
        return -1;
    }
    return S_ISREG(status.st_mode) ? status.st_size : kUnusableTraceFileSize;
}

bool AppendTraceText(const std::wstring& path, const std::wstring& text) {
    // Without O_NONBLOCK, opening a FIFO that nobody reads would wait for ever.
    FileDescriptor fd(open(WideToUtf8(path.c_str()).c_str(),
                           O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644));
    if (!fd) {
        return false;
    }
    struct stat status {};
    if (fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    std::string bytes = status.st_size == 0 ? "\xFF\xFE" : "";
    bytes += ToUtf16Le(text);
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t count = write(fd.get(), bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace vorn
