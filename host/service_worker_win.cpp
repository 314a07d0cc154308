// The worker on the Windows thread pool and a Win32 event.
#include <windows.h>

#include <new>

#include "host/service_worker.h"

namespace {

// The heap record a pool thread starts from: the routine and its context.
struct WorkItem {
    void (*routine)(void*);
    void* context;
};

DWORD WINAPI RunWorkItem(LPVOID parameter) {
    WorkItem* item = static_cast<WorkItem*>(parameter);
    item->routine(item->context);
    delete item;
    return 0;
}

}  // namespace

struct StoppedEvent::State {
    HANDLE event;
};

StoppedEvent::StoppedEvent() : state_(nullptr) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        throw static_cast<std::uint32_t>(GetLastError());
    }
    state_ = new State{event};
}

StoppedEvent::~StoppedEvent() {
    CloseHandle(state_->event);
    delete state_;
}

void StoppedEvent::Set() {
    SetEvent(state_->event);
}

bool StoppedEvent::Wait(std::uint32_t milliseconds) {
    DWORD timeout = milliseconds == kWaitForever ? INFINITE : milliseconds;
    return WaitForSingleObject(state_->event, timeout) == WAIT_OBJECT_0;
}

std::uint32_t QueueLongWorkItem(void (*routine)(void*), void* context) {
    WorkItem* item = new (std::nothrow) WorkItem{routine, context};
    if (item == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (!QueueUserWorkItem(RunWorkItem, item, WT_EXECUTELONGFUNCTION)) {
        DWORD error = GetLastError();
        delete item;
        return error;
    }
    return 0;
}
