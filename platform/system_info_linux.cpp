// Local time and thread ids on Linux.
#include "platform/system_info.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <ctime>

namespace vorn {

LocalTime CurrentLocalTime() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
            parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

unsigned long CurrentThreadId() {
    return static_cast<unsigned long>(syscall(SYS_gettid));
}

}  // namespace vorn
