// The worker as a thread of its own and an event made of a condition variable.
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "host/service/service_worker.h"

namespace vorn {

struct StoppedEvent::State {
    std::mutex lock;
    std::condition_variable changed;
    bool signalled = false;
};

StoppedEvent::StoppedEvent() : state_(new (std::nothrow) State) {
    if (state_ == nullptr) {
        throw static_cast<std::uint32_t>(ENOMEM);
    }
}

StoppedEvent::~StoppedEvent() = default;

void StoppedEvent::Set() {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->signalled = true;
    state_->changed.notify_all();
}

bool StoppedEvent::Wait(std::uint32_t milliseconds) {
    std::unique_lock<std::mutex> guard(state_->lock);
    auto signalled = [this] { return state_->signalled; };
    if (milliseconds == kWaitForever) {
        state_->changed.wait(guard, signalled);
        return true;
    }
    return state_->changed.wait_for(guard, std::chrono::milliseconds(milliseconds), signalled);
}

std::uint32_t QueueLongWorkItem(void (*routine)(void*), void* context) {
    try {
        std::thread(routine, context).detach();
    } catch (const std::system_error& error) {
        return static_cast<std::uint32_t>(error.code().value());
    }
    return 0;
}

}  // namespace vorn
