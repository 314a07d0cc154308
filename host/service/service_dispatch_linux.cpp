// The framework under systemd: a Type=notify unit reports through its notify socket, logs
// to syslog, and is stopped with SIGTERM.
#include <pthread.h>
#include <signal.h>
#include <syslog.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>

#include "host/service/service_base.h"
#include "host/service/service_notify_linux.h"
#include "platform/text_conversion.h"

namespace vorn {

namespace {

// How often the dispatcher looks whether the service stopped without a signal.
constexpr long kStoppedByItselfCheckSeconds = 1;

constexpr const char* kNotStartedBySystemdLine =
    "Service failed to run: not started by systemd (NOTIFY_SOCKET is not set)\n";

const char* StateText(std::uint32_t state) {
    switch (state) {
        case kServiceStopped:
            return "Stopped";
        case kServiceStartPending:
            return "Start pending";
        case kServiceStopPending:
            return "Stop pending";
        case kServiceRunning:
            return "Running";
        case kServiceContinuePending:
            return "Continue pending";
        case kServicePausePending:
            return "Pause pending";
        case kServicePaused:
            return "Paused";
        default:
            return "Unknown";
    }
}

// Tells systemd of each state: READY=1 when running, STOPPING=1 when a stop begins, the exit
// code of a failed start as ERRNO=, and every state as a STATUS= text, followed while running
// by what the service said it is doing, if anything.
class SystemdServiceSink : public ServiceStatusSink {
public:
    void SetStatus(const ServiceStatus& status) override {
        std::lock_guard<std::mutex> guard(lock_);
        last_ = status;
        std::string message;
        if (status.current_state == kServiceRunning) {
            message += "READY=1\n";
        } else if (status.current_state == kServiceStopPending) {
            message += "STOPPING=1\n";
        }
        message += StatusLine();
        if (status.current_state == kServiceStopped && status.win32_exit_code != 0) {
            message += "\nERRNO=" + std::to_string(status.win32_exit_code);
        }
        NotifyServiceManager(message);
    }

    void DescribeState(const wchar_t* text) override {
        std::lock_guard<std::mutex> guard(lock_);
        note_ = WideToUtf8(text);
        NotifyServiceManager(StatusLine());
    }

    void WriteErrorEntry(const wchar_t* source, const wchar_t* message) override {
        WriteEntry(LOG_ERR, source, message);
    }

    void WriteInformationEntry(const wchar_t* source, const wchar_t* message) override {
        WriteEntry(LOG_INFO, source, message);
    }

private:
    std::string StatusLine() const {
        std::string line = "STATUS=";
        line += StateText(last_.current_state);
        if (last_.check_point != 0) {
            line += " (" + std::to_string(last_.check_point) + ")";
        }
        // What the service is doing matters only while it runs.
        if (!note_.empty() && last_.current_state == kServiceRunning) {
            line += ": " + note_;
        }
        return line;
    }

    static void WriteEntry(int priority, const wchar_t* source, const wchar_t* message) {
        std::string name = WideToUtf8(source);
        openlog(name.c_str(), LOG_PID, LOG_DAEMON);
        syslog(priority, "%s: %s", name.c_str(), WideToUtf8(message).c_str());
        closelog();
    }

    std::mutex lock_;
    ServiceStatus last_ = {};
    std::string note_;
};

}  // namespace

ServiceStatusSink& SystemServiceSink() {
    static SystemdServiceSink sink;
    return sink;
}

// systemd's journal records the signal that ended the service, and a core dump keeps the place.
void ReportFaultsBeforeTheEnd() {}

std::uint32_t RunServiceDispatcher() {
    CServiceBase* service = ServiceInstance();
    const char* notify_socket = std::getenv(kNotifySocketVariable);
    if (service == nullptr || notify_socket == nullptr || notify_socket[0] == '\0') {
        return kErrorFailedServiceControllerConnect;
    }
    // The stop signals are taken here, by this thread, as the dispatcher's thread takes the
    // control requests; every thread started from now on inherits the blocked set.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    std::thread service_main([service] {
        std::wstring name = service->Name();
        wchar_t* argv[] = {name.data(), nullptr};
        service->HandleStart(1, argv);
    });
    service_main.join();

    // The wait ends now and then to notice a service that stopped by itself (its worker
    // failed), which no signal announces.
    const timespec look_again = {kStoppedByItselfCheckSeconds, 0};
    while (service->Status().current_state != kServiceStopped) {
        if (sigtimedwait(&stop_signals, nullptr, &look_again) > 0) {
            service->HandleControl(kServiceControlStop);
        }
    }
    return 0;
}

std::wstring DispatcherFailureLine(std::uint32_t /*error*/) {
    // The one way the dispatcher fails here is a start from outside systemd.
    return Utf8ToWide(kNotStartedBySystemdLine);
}

}  // namespace vorn
