// Stop requests as console control events, handed to the waiting thread through an event.
#include <windows.h>

#include "host/stop_request.h"

namespace vorn {

namespace {

HANDLE g_stop_requested = nullptr;

BOOL WINAPI ConsoleControlHandler(DWORD control) {
    switch (control) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            SetEvent(g_stop_requested);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void CatchStopRequests() {
    if (g_stop_requested == nullptr) {
        g_stop_requested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    SetConsoleCtrlHandler(ConsoleControlHandler, TRUE);
}

void WaitForStopRequest() {
    WaitForSingleObject(g_stop_requested, INFINITE);
}

}  // namespace vorn
