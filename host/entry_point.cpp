// The program's run modes: installer switches, the service, then native messaging.
#include "host/entry_point.h"

#include <cwchar>

#include "host/console_output.h"
#include "host/foreground_run.h"
#include "host/install/service_installer.h"
#include "host/native_messaging.h"
#include "host/program_version.h"
#include "host/reader_service.h"
#include "host/selftest/self_test.h"
#include "platform/ascii_text.h"

namespace vorn {

namespace {

constexpr const wchar_t* kInstallSwitch = L"install";
constexpr const wchar_t* kRemoveSwitch = L"remove";
constexpr const wchar_t* kVersionSwitch = L"version";
constexpr const wchar_t* kVersionLineFormat = L"%ls\n";
constexpr const wchar_t* kForegroundSwitch = L"run";
constexpr const wchar_t* kUsageLines[] = {
    L"Parameters:\n",
    L" -install  to install the service.\n",
    L" -remove   to remove the service.\n",
};

int InstallerExitCode(InstallerOutcome outcome) {
    switch (outcome) {
        case InstallerOutcome::kDone:
            return kExitSuccess;
        case InstallerOutcome::kFailed:
            return kExitInstallerFailed;
        case InstallerOutcome::kIncomplete:
            return kExitInstallerIncomplete;
    }
    return kExitInstallerFailed;
}

// The usage and the dispatcher's failure are for a person at a console. A browser that
// started the program reads standard output as frames and would take these lines for a
// frame length, so they are written only when a console or terminal is there.
//
// A browser starts the program outside the service manager, so a failed dispatcher is the
// normal way to a native-messaging answer: the exit code tells only of the answer then.
// Nobody asking at all means the program did nothing it was started for.
int RunServiceThenNativeMessaging() {
    bool console = StandardOutputIsConsole();
    if (console) {
        for (const wchar_t* line : kUsageLines) {
            ConsolePrint(line);
        }
    }
    CIdReaderService service;
    SetServiceInstance(&service);
    std::uint32_t error = RunServiceDispatcher();
    if (error != 0 && console) {
        ConsolePrint(L"%ls", DispatcherFailureLine(error).c_str());
    }
    NativeMessagingOutcome answer = RunNativeMessaging();
    SetServiceInstance(nullptr);
    if (error == 0) {
        // The service ran; a failed start or worker left its error code in the last status.
        return service.Status().win32_exit_code == 0 ? kExitSuccess : kExitServiceFailed;
    }
    switch (answer) {
        case NativeMessagingOutcome::kAnswered:
            return kExitSuccess;
        case NativeMessagingOutcome::kNotAnswered:
            return kExitRequestNotAnswered;
        case NativeMessagingOutcome::kNoRequest:
            break;
    }
    return kExitDispatcherFailed;
}

}  // namespace

bool IsSwitch(const std::wstring& argument, const wchar_t* word, const wchar_t* switch_leaders,
              bool long_form) {
    if (argument.empty() || std::wcschr(switch_leaders, argument[0]) == nullptr) {
        return false;
    }
    const wchar_t* text = argument.c_str() + 1;
    if (long_form && argument.size() > 2 && argument[0] == L'-' && argument[1] == L'-') {
        ++text;
    }
    return SameAsciiWord(text, word);
}

RunMode ParseRunMode(const std::vector<std::wstring>& arguments, const wchar_t* switch_leaders,
                     const wchar_t* long_version_switch) {
    if (!arguments.empty() && IsSwitch(arguments[0], kSelfTestSwitch, switch_leaders, true)) {
        return RunMode::kSelfTest;
    }
    if (!arguments.empty() && long_version_switch != nullptr &&
        arguments[0] == long_version_switch) {
        return RunMode::kVersion;
    }
    if (!arguments.empty() && IsSwitch(arguments[0], kForegroundSwitch, switch_leaders, true)) {
        return RunMode::kForeground;
    }
    if (arguments.empty() || arguments[0].empty() ||
        std::wcschr(switch_leaders, arguments[0][0]) == nullptr) {
        return RunMode::kRun;
    }
    const wchar_t* word = arguments[0].c_str() + 1;
    if (SameAsciiWord(word, kInstallSwitch)) {
        return RunMode::kInstall;
    }
    if (SameAsciiWord(word, kRemoveSwitch)) {
        return RunMode::kRemove;
    }
    if (SameAsciiWord(word, kVersionSwitch)) {
        return RunMode::kVersion;
    }
    return RunMode::kIgnore;
}

int RunProgram(const std::vector<std::wstring>& arguments) {
    switch (ParseRunMode(arguments, kSwitchLeaders, kLongVersionSwitch)) {
        case RunMode::kInstall: {
            InstallerOutcome outcome = InstallAsService();
            SetServiceDescription();
            SetServiceRecovery();
            return InstallerExitCode(outcome);
        }
        case RunMode::kRemove:
            return InstallerExitCode(RemoveAsService());
        case RunMode::kVersion:
            ConsolePrint(kVersionLineFormat, ProgramVersionText());
            return kExitSuccess;
        case RunMode::kIgnore:
            return kExitSuccess;
        case RunMode::kRun:
            return RunServiceThenNativeMessaging();
        case RunMode::kForeground:
            return RunInForeground();
        case RunMode::kSelfTest:
            return RunSelfTest(arguments, kSwitchLeaders);
    }
    return kExitSuccess;
}

}  // namespace vorn
