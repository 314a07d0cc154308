// The service installer on the Windows service control manager.
#include <windows.h>

#include <iterator>

#include "host/console_output.h"
#include "host/install/service_installer.h"
#include "host/service/service_names.h"
#include "platform/handles_win.h"
#include "platform/module_path.h"

namespace vorn {

namespace {

constexpr const wchar_t* kModuleNameFailedFormat = L"GetModuleFileName failed w/err 0x%08lx\n";
constexpr const wchar_t* kOpenManagerFailedFormat = L"OpenSCManager failed w/err 0x%08lx\n";
constexpr const wchar_t* kCreateServiceFailedFormat = L"CreateService failed w/err 0x%08lx\n";
constexpr const wchar_t* kOpenServiceFailedFormat = L"OpenService failed w/err 0x%08lx\n";
constexpr const wchar_t* kDeleteServiceFailedFormat = L"DeleteService failed w/err 0x%08lx\n";
constexpr const wchar_t* kControlServiceFailedFormat = L"ControlService failed w/err 0x%08lx\n";
constexpr const wchar_t* kRecoveryFailedFormat = L"ChangeServiceConfig2 failed w/err 0x%08lx\n";

constexpr DWORD kInstallManagerAccess = SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE;
constexpr DWORD kInstallServiceAccess = SERVICE_QUERY_STATUS | SERVICE_START;
constexpr DWORD kRemoveServiceAccess = DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS;
// Restart actions need the right to start the service besides the right to configure it.
constexpr DWORD kRecoveryServiceAccess = SERVICE_CHANGE_CONFIG | SERVICE_START;

}  // namespace

InstallerOutcome InstallAsService() {
    wchar_t path[kLongestPath] = {};
    if (ModuleFileNameW(path, kLongestPath) == 0) {
        ConsolePrint(kModuleNameFailedFormat, static_cast<unsigned long>(GetLastError()));
        return InstallerOutcome::kFailed;
    }
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, kInstallManagerAccess));
    if (!manager) {
        ConsolePrint(kOpenManagerFailedFormat, static_cast<unsigned long>(GetLastError()));
        return InstallerOutcome::kFailed;
    }
    // The image path is registered as it is: unquoted and without arguments. The empty
    // dependency list is a double-NUL text.
    ServiceHandle service(CreateServiceW(manager.get(), kServiceName, kServiceDisplayName,
                                         kInstallServiceAccess, SERVICE_WIN32_OWN_PROCESS,
                                         SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, path, nullptr,
                                         nullptr, L"\0", nullptr, nullptr));
    if (!service) {
        ConsolePrint(kCreateServiceFailedFormat, static_cast<unsigned long>(GetLastError()));
        return InstallerOutcome::kFailed;
    }
    ConsolePrint(kInstalledFormat, kServiceName);
    InstallerOutcome outcome = InstallerOutcome::kDone;
    if (!StartServiceW(service.get(), 0, nullptr)) {
        ConsolePrint(kStartFailedFormat, kServiceName);
        outcome = InstallerOutcome::kIncomplete;
    }
    return outcome;
}

void SetServiceDescription() {
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        return;
    }
    ServiceHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_CHANGE_CONFIG));
    if (service) {
        SERVICE_DESCRIPTIONW description = {const_cast<LPWSTR>(kServiceDescription)};
        ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
    }
}

void SetServiceRecovery() {
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        return;
    }
    // When the service could not be installed, the installer has said why already.
    ServiceHandle service(OpenServiceW(manager.get(), kServiceName, kRecoveryServiceAccess));
    if (service) {
        SC_ACTION actions[std::size(kRestartDelaysMilliseconds)] = {};
        for (std::size_t i = 0; i < std::size(actions); ++i) {
            actions[i] = {SC_ACTION_RESTART, kRestartDelaysMilliseconds[i]};
        }
        SERVICE_FAILURE_ACTIONSW failure = {kFailureCountResetSeconds, nullptr, nullptr,
                                            static_cast<DWORD>(std::size(actions)), actions};
        if (ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) {
            // A start that fails with an error code counts as a failure too, as a crash
            // does. Older service managers do not know this setting; the crash restarts
            // stay.
            SERVICE_FAILURE_ACTIONS_FLAG on_errors = {TRUE};
            ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &on_errors);
        } else {
            ConsolePrint(kRecoveryFailedFormat, static_cast<unsigned long>(GetLastError()));
        }
    }
}

InstallerOutcome RemoveAsService() {
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        ConsolePrint(kOpenManagerFailedFormat, static_cast<unsigned long>(GetLastError()));
        return InstallerOutcome::kFailed;
    }
    ServiceHandle service(OpenServiceW(manager.get(), kServiceName, kRemoveServiceAccess));
    if (!service) {
        ConsolePrint(kOpenServiceFailedFormat, static_cast<unsigned long>(GetLastError()));
        return InstallerOutcome::kFailed;
    }
    InstallerOutcome outcome = InstallerOutcome::kDone;
    SERVICE_STATUS status = {};
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        ConsolePrint(kStoppingFormat, kServiceName);
        Sleep(kStopPollMilliseconds);
        while (QueryServiceStatus(service.get(), &status) &&
               status.dwCurrentState == SERVICE_STOP_PENDING) {
            ConsolePrint(kStillStopping);
            Sleep(kStopPollMilliseconds);
        }
        bool stopped = status.dwCurrentState == SERVICE_STOPPED;
        ConsolePrint(stopped ? kStoppedFormat : kFailedToStopFormat, kServiceName);
        if (!stopped) {
            outcome = InstallerOutcome::kIncomplete;
        }
    } else if (DWORD error = GetLastError(); error != ERROR_SERVICE_NOT_ACTIVE) {
        // The service may run on (it did not take the stop in time, or refused it): say so
        // rather than print the removal alone.
        ConsolePrint(kControlServiceFailedFormat, static_cast<unsigned long>(error));
        outcome = InstallerOutcome::kIncomplete;
    }
    if (DeleteService(service.get())) {
        ConsolePrint(kRemovedFormat, kServiceName);
    } else {
        ConsolePrint(kDeleteServiceFailedFormat, static_cast<unsigned long>(GetLastError()));
        outcome = InstallerOutcome::kFailed;
    }
    return outcome;
}

}  // namespace vorn
