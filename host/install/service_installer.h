// Installing the program as the service and removing it, with progress on standard output.
#pragma once

namespace vorn {

// The progress lines, the same on every platform. Failures are told in each platform's own
// terms, beside its installer.
constexpr const wchar_t* kInstalledFormat = L"%ls is installed.\n";
constexpr const wchar_t* kStartFailedFormat = L"%ls start service failed.\n";
constexpr const wchar_t* kStoppingFormat = L"Stopping %ls.";
constexpr const wchar_t* kStillStopping = L".";
constexpr const wchar_t* kStoppedFormat = L"\n%ls is stopped.\n";
constexpr const wchar_t* kFailedToStopFormat = L"\n%ls failed to stop.\n";
constexpr const wchar_t* kRemovedFormat = L"%ls is removed.\n";

// How long the removal waits between two looks at a service that is stopping.
constexpr unsigned kStopPollMilliseconds = 1000;

// How far an installer step got; the process's exit code tells a deployment tool.
enum class InstallerOutcome {
    kDone,        // installed and started; stopped (if it ran) and removed
    kFailed,      // nothing was installed or removed
    kIncomplete,  // installed but not started; removed but it did not stop
};

// Registers the program as an automatically started service of its own process and starts it.
InstallerOutcome InstallAsService();
// Sets the service's description; silent whatever happens.
void SetServiceDescription();
// Makes the service manager restart the service after it fails.
void SetServiceRecovery();
// Stops the service if it runs, waiting while it stops, and removes it.
InstallerOutcome RemoveAsService();

}  // namespace vorn
