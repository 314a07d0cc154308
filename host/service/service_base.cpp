// The framework's handling of the service manager's requests, around the service's hooks.
#include "host/service/service_base.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cwchar>
#include <exception>
#include <string>

#include "platform/text_conversion.h"

namespace vorn {

namespace {

constexpr const wchar_t* kFailureFormat = L"%ls failed w/err 0x%08lx";
// An entry of the failure format holds at most this many characters.
constexpr std::size_t kFailureTextLimit = 259;
constexpr std::size_t kFormatRoom = 1024;

constexpr const wchar_t* kStartLabel = L"Service Start";
constexpr const wchar_t* kStopLabel = L"Service Stop";
constexpr const wchar_t* kPauseLabel = L"Service Pause";
constexpr const wchar_t* kContinueLabel = L"Service Continue";
constexpr const wchar_t* kShutdownLabel = L"Service Shutdown";
constexpr const wchar_t* kStartFailed = L"Service failed to start.";
constexpr const wchar_t* kStopFailed = L"Service failed to stop.";
constexpr const wchar_t* kPauseFailed = L"Service failed to pause.";
constexpr const wchar_t* kResumeFailed = L"Service failed to resume.";
constexpr const wchar_t* kShutdownFailed = L"Service failed to shut down.";
// A service that ends with the system says so: otherwise its end looks like a crash.
constexpr const wchar_t* kShutdownNotice = L"Service stopping: the system is shutting down.";

// An error that escapes any thread of the service ends the process through std::terminate,
// which the service manager sees only as a crash: the log says so first.
constexpr const wchar_t* kEscapedErrorFormat =
    L"Service ending: an error escaped one of its threads (%ls).";
constexpr const wchar_t* kNotAStandardError = L"not a standard exception";
constexpr std::size_t kEscapedReasonLimit = 512;

std::atomic<CServiceBase*> g_service_instance{nullptr};
std::atomic<std::uint32_t> g_checkpoint{1};

[[noreturn]] void WriteEscapedErrorAndEnd() {
    CServiceBase* service = g_service_instance;
    if (service != nullptr) {
        std::wstring reason = kNotAStandardError;
        try {
            if (std::exception_ptr escaped = std::current_exception()) {
                std::rethrow_exception(escaped);
            }
        } catch (const std::exception& error) {
            reason = AnsiToWide(error.what());
        } catch (...) {
        }
        // Cut so that the entry always fits its room.
        reason.resize(std::min(reason.size(), kEscapedReasonLimit));
        wchar_t text[kFormatRoom] = {};
        std::swprintf(text, kFormatRoom, kEscapedErrorFormat, reason.c_str());
        service->WriteErrorEvent(text);
    }
    std::abort();
}

}  // namespace

void SetServiceInstance(CServiceBase* service) {
    g_service_instance = service;
}

CServiceBase* ServiceInstance() {
    return g_service_instance;
}

std::uint32_t NextCheckpoint() {
    return g_checkpoint++;
}

CServiceBase::CServiceBase(const wchar_t* name, std::uint32_t type, std::uint32_t state,
                           std::uint32_t controls)
    : name_(name), status_{type, state, controls, 0, 0, 0, 0}, sink_(&SystemServiceSink()) {}

void CServiceBase::SetStatusSink(ServiceStatusSink* sink) {
    sink_ = sink != nullptr ? sink : &SystemServiceSink();
}

void CServiceBase::ReportStatus(std::uint32_t state, std::uint32_t exit_code,
                                std::uint32_t check_point) {
    status_.current_state = state;
    status_.win32_exit_code = exit_code;
    status_.check_point = check_point;
    status_.wait_hint = 0;
    sink_->SetStatus(status_);
}

void CServiceBase::ReportProgress(std::uint32_t state, std::uint32_t wait_hint_milliseconds) {
    status_.current_state = state;
    status_.check_point = NextCheckpoint();
    status_.wait_hint = wait_hint_milliseconds;
    sink_->SetStatus(status_);
}

void CServiceBase::WriteErrorEvent(const wchar_t* message) {
    sink_->WriteErrorEntry(name_, message);
}

void CServiceBase::WriteInformationEvent(const wchar_t* message) {
    sink_->WriteInformationEntry(name_, message);
}

void CServiceBase::DescribeState(const wchar_t* text) {
    sink_->DescribeState(text);
}

void CServiceBase::WriteFailureEvent(const wchar_t* label, std::uint32_t error) {
    wchar_t text[kFormatRoom] = {};
    std::swprintf(text, kFormatRoom, kFailureFormat, label, static_cast<unsigned long>(error));
    text[kFailureTextLimit] = L'\0';
    WriteErrorEvent(text);
}

void CServiceBase::HandleStart(std::uint32_t argc, wchar_t** argv) {
    std::set_terminate(WriteEscapedErrorAndEnd);
    try {
        ReportStatus(kServiceStartPending, 0, NextCheckpoint());
        StartHook(argc, argv);
        ReportStatus(kServiceRunning, 0, 0);
    } catch (std::uint32_t error) {
        WriteFailureEvent(kStartLabel, error);
        ReportStatus(kServiceStopped, error, 0);
    } catch (...) {
        WriteErrorEvent(kStartFailed);
        ReportStatus(kServiceStopped, 0, 0);
    }
}

void CServiceBase::HandleControl(std::uint32_t control) {
    switch (control) {
        case kServiceControlStop:
            HandleStop();
            break;
        case kServiceControlPause:
            HandlePause();
            break;
        case kServiceControlContinue:
            HandleContinue();
            break;
        case kServiceControlShutdown:
            HandleShutdown();
            break;
        default:
            break;
    }
}

void CServiceBase::HandleStop() {
    std::uint32_t original = status_.current_state;
    auto restore = [this, original] {
        bool settled = original == kServiceRunning || original == kServiceStopped;
        ReportStatus(original, 0, settled ? 0 : NextCheckpoint());
    };
    try {
        ReportStatus(kServiceStopPending, 0, NextCheckpoint());
        StopHook();
        ReportStatus(kServiceStopped, 0, 0);
    } catch (std::uint32_t error) {
        WriteFailureEvent(kStopLabel, error);
        restore();
    } catch (...) {
        WriteErrorEvent(kStopFailed);
        restore();
    }
}

void CServiceBase::HandlePause() {
    try {
        ReportStatus(kServicePausePending, 0, NextCheckpoint());
        PauseHook();
        ReportStatus(kServicePaused, 0, NextCheckpoint());
    } catch (std::uint32_t error) {
        WriteFailureEvent(kPauseLabel, error);
        ReportStatus(kServiceRunning, 0, 0);
    } catch (...) {
        WriteErrorEvent(kPauseFailed);
        ReportStatus(kServiceRunning, 0, 0);
    }
}

void CServiceBase::HandleContinue() {
    try {
        ReportStatus(kServiceContinuePending, 0, NextCheckpoint());
        ContinueHook();
        ReportStatus(kServiceRunning, 0, 0);
    } catch (std::uint32_t error) {
        WriteFailureEvent(kContinueLabel, error);
        ReportStatus(kServicePaused, 0, NextCheckpoint());
    } catch (...) {
        WriteErrorEvent(kResumeFailed);
        ReportStatus(kServicePaused, 0, NextCheckpoint());
    }
}

void CServiceBase::HandleShutdown() {
    WriteInformationEvent(kShutdownNotice);
    try {
        ShutdownHook();
        ReportStatus(kServiceStopped, 0, 0);
    } catch (std::uint32_t error) {
        WriteFailureEvent(kShutdownLabel, error);
    } catch (...) {
        WriteErrorEvent(kShutdownFailed);
    }
}

}  // namespace vorn
