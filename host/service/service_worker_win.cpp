// The worker on the Windows thread pool and a Win32 event.
#include <windows.h>

#include <memory>
#include <new>

#include "host/service/service_worker.h"
#include "platform/handles_win.h"

namespace vorn {

namespace {

// The heap record a pool thread starts from: the routine and its context.
struct WorkItem {
    void (*routine)(void*);
    void* context;
};

DWORD WINAPI RunWorkItem(LPVOID parameter) {
    const std::unique_ptr<WorkItem> item(static_cast<WorkItem*>(parameter));
    item->routine(item->context);
    return 0;
}

}  // namespace

struct StoppedEvent::State {
    KernelHandle event;
};

StoppedEvent::StoppedEvent() {
    KernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) {
        throw static_cast<std::uint32_t>(GetLastError());
    }
    state_.reset(new State{std::move(event)});
}

StoppedEvent::~StoppedEvent() = default;

void StoppedEvent::Set() {
    SetEvent(state_->event.get());
}

bool StoppedEvent::Wait(std::uint32_t milliseconds) {
    DWORD timeout = milliseconds == kWaitForever ? INFINITE : milliseconds;
    return WaitForSingleObject(state_->event.get(), timeout) == WAIT_OBJECT_0;
}

std::uint32_t QueueLongWorkItem(void (*routine)(void*), void* context) {
    std::unique_ptr<WorkItem> item(new (std::nothrow) WorkItem{routine, context});
    if (item == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (!QueueUserWorkItem(RunWorkItem, item.get(), WT_EXECUTELONGFUNCTION)) {
        return GetLastError();
    }
    // The pool thread owns the item from now on.
    item.release();
    return 0;
}

}  // namespace vorn
