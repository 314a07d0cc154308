// The service framework: status, the service manager's callbacks and the hooks they call.
#pragma once

#include <cstdint>
#include <string>

namespace vorn {

// Service types, states, accepted controls and controls, numbered as the service control
// manager numbers them, on every platform.
constexpr std::uint32_t kServiceWin32OwnProcess = 0x10;

constexpr std::uint32_t kServiceStopped = 1;
constexpr std::uint32_t kServiceStartPending = 2;
constexpr std::uint32_t kServiceStopPending = 3;
constexpr std::uint32_t kServiceRunning = 4;
constexpr std::uint32_t kServiceContinuePending = 5;
constexpr std::uint32_t kServicePausePending = 6;
constexpr std::uint32_t kServicePaused = 7;

constexpr std::uint32_t kServiceAcceptStop = 0x1;
constexpr std::uint32_t kServiceAcceptPauseContinue = 0x2;
constexpr std::uint32_t kServiceAcceptShutdown = 0x4;

constexpr std::uint32_t kServiceControlStop = 1;
constexpr std::uint32_t kServiceControlPause = 2;
constexpr std::uint32_t kServiceControlContinue = 3;
constexpr std::uint32_t kServiceControlInterrogate = 4;
constexpr std::uint32_t kServiceControlShutdown = 5;

// The system error of a dispatcher that was not started by the service manager.
constexpr std::uint32_t kErrorFailedServiceControllerConnect = 1063;
// The exit code of a service that stopped because of an error of its own while running.
constexpr std::uint32_t kErrorExceptionInService = 1064;

// The status reported to the service manager, field for field as it receives it.
struct ServiceStatus {
    std::uint32_t service_type;
    std::uint32_t current_state;
    std::uint32_t controls_accepted;
    std::uint32_t win32_exit_code;
    std::uint32_t service_specific_exit_code;
    std::uint32_t check_point;
    std::uint32_t wait_hint;
};

// Where status reports and error entries go: the service manager and the system's log.
class ServiceStatusSink {
public:
    virtual ~ServiceStatusSink() = default;
    virtual void SetStatus(const ServiceStatus& status) = 0;
    // An error entry with the service's name as its source.
    virtual void WriteErrorEntry(const wchar_t* source, const wchar_t* message) = 0;
    // An information entry, such as the end of a fault reported earlier.
    virtual void WriteInformationEntry(const wchar_t* /*source*/, const wchar_t* /*message*/) {}
    // A line that says what the running service is doing, where the service manager shows
    // one (systemd's status text); empty goes back to the state alone.
    virtual void DescribeState(const wchar_t* /*text*/) {}
};

// The platform's sink: SetServiceStatus and the event log, or systemd's notify socket and syslog.
ServiceStatusSink& SystemServiceSink();

// One service under the service manager. Hooks report failure by throwing a system error
// code as std::uint32_t; any other exception is a failure without a code.
class CServiceBase {
public:
    CServiceBase(const wchar_t* name, std::uint32_t type, std::uint32_t state,
                 std::uint32_t controls);
    virtual ~CServiceBase() = default;
    CServiceBase(const CServiceBase&) = delete;
    CServiceBase& operator=(const CServiceBase&) = delete;

    const wchar_t* Name() const { return name_; }
    const ServiceStatus& Status() const { return status_; }
    // Points the reports somewhere else than the system's sink (null: back to it).
    void SetStatusSink(ServiceStatusSink* sink);

    // The service main function's work once the control handler is registered.
    void HandleStart(std::uint32_t argc, wchar_t** argv);
    // The control handler: stop, pause, continue and shutdown (said in the log before the
    // shutdown hook runs); other codes are ignored.
    void HandleControl(std::uint32_t control);

    void ReportStatus(std::uint32_t state, std::uint32_t exit_code, std::uint32_t check_point);
    // A pending state with the next checkpoint, and how long the next step may take, so
    // the service manager keeps waiting through a long stop.
    void ReportProgress(std::uint32_t state, std::uint32_t wait_hint_milliseconds);
    void WriteErrorEvent(const wchar_t* message);
    void WriteInformationEvent(const wchar_t* message);
    void DescribeState(const wchar_t* text);
    // Writes "<label> failed w/err 0x<code>" as an error entry.
    void WriteFailureEvent(const wchar_t* label, std::uint32_t error);

protected:
    virtual void StartHook(std::uint32_t /*argc*/, wchar_t** /*argv*/) {}
    virtual void StopHook() {}
    virtual void PauseHook() {}
    virtual void ContinueHook() {}
    virtual void ShutdownHook() {}

private:
    void HandleStop();
    void HandlePause();
    void HandleContinue();
    void HandleShutdown();

    const wchar_t* name_;
    ServiceStatus status_;
    ServiceStatusSink* sink_;
};

// The one service of the process, through which the service manager's callbacks reach it.
void SetServiceInstance(CServiceBase* service);
CServiceBase* ServiceInstance();

// The checkpoint for the next pending report: 1, 2, 3, ... over the life of the process.
std::uint32_t NextCheckpoint();

// Hands the service instance to the service manager and returns once it has stopped: 0, or
// the system error when the process was not started by the service manager.
std::uint32_t RunServiceDispatcher();

// Makes a fault of any thread of the process (an access violation, an illegal instruction)
// write the service's error entry, with its code and place, before the process ends.
void ReportFaultsBeforeTheEnd();
// The line shown at a console when the dispatcher returned that error, in the platform's
// own terms.
std::wstring DispatcherFailureLine(std::uint32_t error);

}  // namespace vorn
