// The service control manager's side of the framework: dispatcher, service main function,
// control handler, status reports and event-log entries.
#include <windows.h>

#include <cwchar>

#include "host/service/event_messages.h"
#include "host/service/service_base.h"

namespace vorn {

namespace {

constexpr const wchar_t* kDispatcherFailedFormat = L"Service failed to run w/err 0x%08lx\n";
constexpr std::size_t kDispatcherFailedRoom = 64;

SERVICE_STATUS_HANDLE g_status_handle = nullptr;

// Reports to the service control manager and writes to the application event log.
class WindowsServiceSink : public ServiceStatusSink {
public:
    void SetStatus(const ServiceStatus& status) override {
        SERVICE_STATUS native = {};
        native.dwServiceType = status.service_type;
        native.dwCurrentState = status.current_state;
        native.dwControlsAccepted = status.controls_accepted;
        native.dwWin32ExitCode = status.win32_exit_code;
        native.dwServiceSpecificExitCode = status.service_specific_exit_code;
        native.dwCheckPoint = status.check_point;
        native.dwWaitHint = status.wait_hint;
        SetServiceStatus(g_status_handle, &native);
    }

    void WriteErrorEntry(const wchar_t* source, const wchar_t* message) override {
        WriteEntry(EVENTLOG_ERROR_TYPE, VORN_EVENT_SERVICE_ERROR, source, message);
    }

    void WriteInformationEntry(const wchar_t* source, const wchar_t* message) override {
        WriteEntry(EVENTLOG_INFORMATION_TYPE, VORN_EVENT_SERVICE_NOTICE, source, message);
    }

private:
    static void WriteEntry(WORD type, DWORD id, const wchar_t* source, const wchar_t* message) {
        HANDLE event_source = RegisterEventSourceW(nullptr, source);
        if (event_source == nullptr) {
            return;
        }
        LPCWSTR strings[2] = {source, message};
        // The id is the message table's, so Event Viewer shows the message as text.
        ReportEventW(event_source, type, 0, id, nullptr, 2, 0, strings, nullptr);
        DeregisterEventSource(event_source);
    }
};

void WINAPI ServiceControlHandler(DWORD control) {
    CServiceBase* service = ServiceInstance();
    if (service != nullptr) {
        service->HandleControl(control);
    }
}

void WINAPI ServiceMain(DWORD argc, LPWSTR* argv) {
    CServiceBase* service = ServiceInstance();
    if (service == nullptr) {
        return;
    }
    g_status_handle = RegisterServiceCtrlHandlerW(service->Name(), ServiceControlHandler);
    // Without a handle nothing can be reported; the service manager sees the start fail.
    if (g_status_handle == nullptr) {
        return;
    }
    service->HandleStart(argc, argv);
}

}  // namespace

ServiceStatusSink& SystemServiceSink() {
    static WindowsServiceSink sink;
    return sink;
}

std::uint32_t RunServiceDispatcher() {
    CServiceBase* service = ServiceInstance();
    if (service == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    SERVICE_TABLE_ENTRYW table[] = {
        {const_cast<LPWSTR>(service->Name()), ServiceMain},
        {nullptr, nullptr},
    };
    if (StartServiceCtrlDispatcherW(table)) {
        return 0;
    }
    return GetLastError();
}

std::wstring DispatcherFailureLine(std::uint32_t error) {
    wchar_t line[kDispatcherFailedRoom] = {};
    std::swprintf(line, kDispatcherFailedRoom, kDispatcherFailedFormat,
                  static_cast<unsigned long>(error));
    return line;
}

}  // namespace vorn
