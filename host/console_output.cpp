// Console lines written through the byte-oriented standard output stream.
#include "host/console_output.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/text_conversion.h"

namespace vorn {

namespace {

constexpr std::size_t kLineRoom = 1024;

}  // namespace

void ConsolePrint(const wchar_t* format, ...) {
    wchar_t text[kLineRoom] = {};
    va_list arguments;
    va_start(arguments, format);
    std::vswprintf(text, kLineRoom, format, arguments);
    va_end(arguments);
    text[kLineRoom - 1] = L'\0';
    // A wide write would fix the stream's orientation on some C libraries and make the
    // frame bytes written later fail, so the text goes out as bytes.
    std::string bytes = WideToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

}  // namespace vorn
