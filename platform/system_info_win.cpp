// Local time and thread ids on Windows.
#include "platform/system_info.h"

#include <windows.h>

namespace vorn {

LocalTime CurrentLocalTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

unsigned long CurrentThreadId() {
    return GetCurrentThreadId();
}

}  // namespace vorn
