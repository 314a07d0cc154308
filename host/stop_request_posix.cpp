// Stop requests as signals, blocked in every thread and taken by one sigwait.
#include <pthread.h>
#include <signal.h>

#include "host/stop_request.h"

namespace vorn {

namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

}  // namespace

void CatchStopRequests() {
    // A shell starts background commands with Ctrl+C ignored, and an ignored signal never
    // reaches sigwait. A closed terminal keeps whatever nohup made of it.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void WaitForStopRequest() {
    sigset_t signals = StopSignals();
    int signal_number = 0;
    while (sigwait(&signals, &signal_number) != 0) {
    }
}

}  // namespace vorn
