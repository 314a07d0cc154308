// What the reader service needs of threads: a long-running work item and an event.
#pragma once

#include <cstdint>
#include <memory>

namespace vorn {

constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;

// A manual-reset event, created unsignalled.
class StoppedEvent {
public:
    // Throws the system error code as std::uint32_t when the event cannot be created.
    StoppedEvent();
    ~StoppedEvent();
    StoppedEvent(const StoppedEvent&) = delete;
    StoppedEvent& operator=(const StoppedEvent&) = delete;

    void Set();
    // True when the event was signalled within the time (kWaitForever: no limit).
    bool Wait(std::uint32_t milliseconds);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Runs routine(context) on a thread of its own that may block for long. Returns 0, or the
// system error code when it could not be started.
std::uint32_t QueueLongWorkItem(void (*routine)(void*), void* context);

}  // namespace vorn
