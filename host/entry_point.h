// The program's start, shared by the Windows and Linux entry functions.
#pragma once

#include <string>
#include <vector>

namespace vorn {

// What the first argument asks for.
enum class RunMode {
    kRun,      // no switch: the service dispatcher, then one native-messaging request
    kInstall,  // install and start the service
    kRemove,   // stop and remove the service
    kIgnore,   // a switch of no meaning: nothing is done
    kVersion,  // print the program's name and version
    // Check the installation and read the card once, for support staff.
    kSelfTest,
    // Serve the WebSocket endpoint in the terminal until Ctrl+C.
    kForeground,
};

// The process's exit codes, which deployment tools and scripts look at.
constexpr int kExitSuccess = 0;
constexpr int kExitInstallerFailed = 1;      // -install / -remove changed nothing
constexpr int kExitInstallerIncomplete = 2;  // installed but not started; removed, not stopped
constexpr int kExitDispatcherFailed = 3;     // not started as a service, and no request came
constexpr int kExitRequestNotAnswered = 4;   // a native-messaging request got no reply
constexpr int kExitServiceFailed = 5;        // the service stopped on a failure of its own

// Switches start with one of these characters: "-" and "/" on Windows, only "-" on Linux,
// where a first argument starting with "/" is a path (Firefox passes its host manifest's).
extern const wchar_t* const kSwitchLeaders;
// The one long switch, "--version" on Linux, where programs are asked that way; none on
// Windows.
extern const wchar_t* const kLongVersionSwitch;

// Looks at the first argument only. A switch word is compared whole, ignoring the case of
// the letters A to Z and nothing else.
RunMode ParseRunMode(const std::vector<std::wstring>& arguments, const wchar_t* switch_leaders,
                     const wchar_t* long_version_switch = nullptr);

// Whether the argument is the switch word after one leader, ignoring the case of A to Z; with
// long_form also after two hyphens, as Linux users type long options.
bool IsSwitch(const std::wstring& argument, const wchar_t* word, const wchar_t* switch_leaders,
              bool long_form);

// Runs the program with its arguments (without the program name); returns the exit code.
int RunProgram(const std::vector<std::wstring>& arguments);

}  // namespace vorn
