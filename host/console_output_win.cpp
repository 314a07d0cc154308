// The console on Windows: switches after "-" or "/", and a console window's output.
#include <windows.h>

#include "host/console_output.h"
#include "host/entry_point.h"

namespace vorn {

const wchar_t* const kSwitchLeaders = L"-/";
const wchar_t* const kLongVersionSwitch = nullptr;

bool StandardOutputIsConsole() {
    // Only a console answers GetConsoleMode; pipes and files (a browser's, a redirection)
    // do not.
    DWORD mode = 0;
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    return output != nullptr && output != INVALID_HANDLE_VALUE &&
           GetConsoleMode(output, &mode) != 0;
}

}  // namespace vorn
