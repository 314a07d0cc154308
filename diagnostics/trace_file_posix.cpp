// Trace files on Linux, encoded as UTF-16LE by the program itself.
#include "diagnostics/trace_file.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/text_conversion.h"

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
    return status.st_size;
}

bool AppendTraceText(const std::wstring& path, const std::wstring& text) {
    std::FILE* file = std::fopen(WideToUtf8(path.c_str()).c_str(), "ab");
    if (file == nullptr) {
        return false;
    }
    std::string bytes;
    std::fseek(file, 0, SEEK_END);
    if (std::ftell(file) == 0) {
        bytes = "\xFF\xFE";
    }
    bytes += ToUtf16Le(text);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fflush(file);
    std::fclose(file);
    return true;
}
