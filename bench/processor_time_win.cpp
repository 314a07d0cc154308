#include <windows.h>

#include "bench/processor_time.h"

double ProcessorMilliseconds() {
    FILETIME created{};
    FILETIME ended{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) {
        return 0;
    }
    const auto hundreds = [](const FILETIME& time) {
        return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime);
    };
    // FILETIME counts 100-nanosecond steps.
    return (hundreds(kernel) + hundreds(user)) / 1e4;
}
