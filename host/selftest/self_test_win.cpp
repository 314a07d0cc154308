// The self-test's questions on Windows: the service manager (read-only), the TCP table for a
// port's listener, and select.
#include <iphlpapi.h>
#include <windows.h>
#include <winsock2.h>

#include <memory>
#include <string>

#include "host/selftest/self_test_platform.h"
#include "host/service/service_names.h"
#include "platform/handles_win.h"

namespace vorn {

namespace {

constexpr DWORD kQueryAccess = SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG;
constexpr DWORD kMillisecondsPerSecond = 1000;

std::wstring ErrorText(const wchar_t* what, DWORD error) {
    return std::wstring(what) + L" (error " + std::to_wstring(error) + L")";
}

const wchar_t* StateText(DWORD state) {
    switch (state) {
        case SERVICE_STOPPED:
            return L"stopped";
        case SERVICE_START_PENDING:
            return L"starting";
        case SERVICE_STOP_PENDING:
            return L"stopping";
        case SERVICE_RUNNING:
            return L"running";
        case SERVICE_CONTINUE_PENDING:
            return L"continuing";
        case SERVICE_PAUSE_PENDING:
            return L"pausing";
        case SERVICE_PAUSED:
            return L"paused";
        default:
            return L"in an unknown state";
    }
}

// The failure actions as the service manager holds them, in words.
std::wstring RecoveryText(SC_HANDLE service) {
    DWORD needed = 0;
    QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed);
    if (needed == 0) {
        return {};
    }
    std::unique_ptr<BYTE[]> buffer(new BYTE[needed]());
    if (!QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, buffer.get(), needed,
                              &needed)) {
        return {};
    }
    const auto* failure = reinterpret_cast<const SERVICE_FAILURE_ACTIONSW*>(buffer.get());
    std::wstring text;
    for (DWORD i = 0; i < failure->cActions && failure->lpsaActions != nullptr; ++i) {
        const SC_ACTION& action = failure->lpsaActions[i];
        std::wstring step = action.Type == SC_ACTION_RESTART       ? L"restart"
                            : action.Type == SC_ACTION_REBOOT      ? L"reboot"
                            : action.Type == SC_ACTION_RUN_COMMAND ? L"run a command"
                                                                   : L"nothing";
        if (action.Type != SC_ACTION_NONE) {
            step += L" after " + std::to_wstring(action.Delay / kMillisecondsPerSecond) + L" s";
        }
        text += (text.empty() ? L"" : L", ") + step;
    }
    return text.empty() ? L"nothing set" : text;
}

}  // namespace

ServiceReport QueryServiceReport() {
    ServiceReport report;
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        report.state = ErrorText(L"the service manager cannot be asked", GetLastError());
        return report;
    }
    ServiceHandle service(OpenServiceW(manager.get(), kServiceName, kQueryAccess));
    if (!service) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
            report.presence = ServicePresence::kNotInstalled;
        } else {
            report.state = ErrorText(L"the service cannot be queried", error);
        }
        return report;
    }
    report.presence = ServicePresence::kInstalled;
    SERVICE_STATUS status = {};
    if (QueryServiceStatus(service.get(), &status)) {
        report.state = StateText(status.dwCurrentState);
        report.running = status.dwCurrentState == SERVICE_RUNNING;
    } else {
        report.state = ErrorText(L"status unknown", GetLastError());
    }
    report.recovery = RecoveryText(service.get());
    return report;
}

std::wstring ListenerOf(std::uint16_t port) {
    ULONG size = 0;
    GetExtendedTcpTable(nullptr, &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0);
    if (size == 0) {
        return {};
    }
    std::unique_ptr<BYTE[]> buffer(new BYTE[size]());
    auto* table = reinterpret_cast<MIB_TCPTABLE_OWNER_PID*>(buffer.get());
    if (GetExtendedTcpTable(table, &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0) !=
        NO_ERROR) {
        return {};
    }
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_TCPROW_OWNER_PID& row = table->table[i];
        if (ntohs(static_cast<u_short>(row.dwLocalPort)) != port || row.dwOwningPid == 0) {
            continue;
        }
        std::wstring pid = L"pid " + std::to_wstring(row.dwOwningPid);
        KernelHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, row.dwOwningPid));
        if (!process) {
            return L"a program (" + pid + L")";
        }
        wchar_t path[MAX_PATH] = {};
        DWORD length = MAX_PATH;
        bool named = QueryFullProcessImageNameW(process.get(), 0, path, &length) != 0;
        std::wstring name = named ? path : L"a program";
        std::size_t separator = name.find_last_of(L"\\/");
        if (separator != std::wstring::npos) {
            name.erase(0, separator + 1);
        }
        return name + L" (" + pid + L")";
    }
    return {};
}

bool WaitForSocketData(SocketHandle socket, int milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(socket), &readable);
    timeval limit = {milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &limit) > 0;
}

unsigned UseUtf8Console() {
    unsigned previous = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
    return previous;
}

void RestoreConsoleText(unsigned previous) {
    if (previous != 0) {
        SetConsoleOutputCP(previous);
    }
}

}  // namespace vorn
