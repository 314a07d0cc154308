// The console on Linux: a terminal, and switches after "-" only.
#include <unistd.h>

#include "host/console_output.h"
#include "host/entry_point.h"

namespace vorn {

// A first argument starting with "/" is a path here, such as the host manifest's that
// Firefox passes to a native-messaging host.
const wchar_t* const kSwitchLeaders = L"-";
const wchar_t* const kLongVersionSwitch = L"--version";

bool StandardOutputIsConsole() {
    return isatty(STDOUT_FILENO) == 1;
}

}  // namespace vorn
