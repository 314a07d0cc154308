// The local time and the calling thread, as the trace log stamps its entries.
#pragma once

namespace vorn {

// A local calendar time, to the second.
struct LocalTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
};

LocalTime CurrentLocalTime();
unsigned long CurrentThreadId();

}  // namespace vorn
