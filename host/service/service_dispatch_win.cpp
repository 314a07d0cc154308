// The service control manager's side of the framework: dispatcher, service main function,
// control handler, status reports and event-log entries.
#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "host/service/event_messages.h"
#include "host/service/service_base.h"

namespace vorn {

namespace {

constexpr const wchar_t* kDispatcherFailedFormat = L"Service failed to run w/err 0x%08lx\n";
constexpr std::size_t kDispatcherFailedRoom = 64;

// A fault (an access violation, an illegal instruction) ends the process without any of
// the service's own code running again: the event log says which and where first.
constexpr const wchar_t* kFaultFormat =
    L"Service ending: a fault in its process (exception 0x%08lx at %ls+0x%llx).";
constexpr const wchar_t* kUnknownModule = L"an unknown module";
constexpr std::size_t kFaultRoom = 512;

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

LONG WINAPI WriteFaultAndEnd(EXCEPTION_POINTERS* pointers) {
    CServiceBase* service = ServiceInstance();
    if (service != nullptr && pointers != nullptr && pointers->ExceptionRecord != nullptr) {
        const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
        wchar_t module_path[MAX_PATH] = {};
        const wchar_t* module_name = kUnknownModule;
        unsigned long long offset = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
        HMODULE module = nullptr;
        if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<LPCWSTR>(record.ExceptionAddress), &module) &&
            GetModuleFileNameW(module, module_path, MAX_PATH) > 0) {
            const wchar_t* slash = std::wcsrchr(module_path, L'\\');
            module_name = slash != nullptr ? slash + 1 : module_path;
            offset -= reinterpret_cast<std::uintptr_t>(module);
        }
        wchar_t text[kFaultRoom] = {};
        std::swprintf(text, kFaultRoom, kFaultFormat,
                      static_cast<unsigned long>(record.ExceptionCode), module_name, offset);
        service->WriteErrorEvent(text);
    }
    // The system's own crash handling (a dump, the debugger) still runs.
    return EXCEPTION_CONTINUE_SEARCH;
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
    ReportFaultsBeforeTheEnd();
    if (StartServiceCtrlDispatcherW(table)) {
        return 0;
    }
    return GetLastError();
}

void ReportFaultsBeforeTheEnd() {
    SetUnhandledExceptionFilter(WriteFaultAndEnd);
}

std::wstring DispatcherFailureLine(std::uint32_t error) {
    wchar_t line[kDispatcherFailedRoom] = {};
    std::swprintf(line, kDispatcherFailedRoom, kDispatcherFailedFormat,
                  static_cast<unsigned long>(error));
    return line;
}

}  // namespace vorn
