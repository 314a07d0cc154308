// Installing the program as the service and removing it, with progress on standard output.
#pragma once

// The lines printed, the same on every platform where they apply.
constexpr const wchar_t* kModuleNameFailedFormat = L"GetModuleFileName failed w/err 0x%08lx\n";
constexpr const wchar_t* kOpenManagerFailedFormat = L"OpenSCManager failed w/err 0x%08lx\n";
constexpr const wchar_t* kCreateServiceFailedFormat = L"CreateService failed w/err 0x%08lx\n";
constexpr const wchar_t* kInstalledFormat = L"%ls is installed.\n";
constexpr const wchar_t* kStartFailedFormat = L"%ls start service failed.\n";
constexpr const wchar_t* kOpenServiceFailedFormat = L"OpenService failed w/err 0x%08lx\n";
constexpr const wchar_t* kStoppingFormat = L"Stopping %ls.";
constexpr const wchar_t* kStillStopping = L".";
constexpr const wchar_t* kStoppedFormat = L"\n%ls is stopped.\n";
constexpr const wchar_t* kFailedToStopFormat = L"\n%ls failed to stop.\n";
constexpr const wchar_t* kRemovedFormat = L"%ls is removed.\n";
constexpr const wchar_t* kDeleteServiceFailedFormat = L"DeleteService failed w/err 0x%08lx\n";
constexpr const wchar_t* kRecoveryFailedFormat = L"ChangeServiceConfig2 failed w/err 0x%08lx\n";

// System error codes that the Linux installer reports where Windows would report them.
constexpr unsigned long kErrorServiceDoesNotExist = 1060;
constexpr unsigned long kErrorServiceExists = 1073;

// How long the removal waits between two looks at a service that is stopping.
constexpr unsigned kStopPollMilliseconds = 1000;

// Registers the program as an automatically started service of its own process and starts it.
void InstallAsService();
// Sets the service's description; silent whatever happens.
void SetServiceDescription();
// Makes the service manager restart the service after it fails.
void SetServiceRecovery();
// Stops the service if it runs, waiting while it stops, and removes it.
void RemoveAsService();
