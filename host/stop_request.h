// Ctrl+C and the system's termination request, taken by a program run in a terminal.
#pragma once

namespace vorn {

// Makes Ctrl+C and a termination request (SIGINT, SIGTERM and a closed terminal on Linux;
// the console's Ctrl+C, Ctrl+Break and close on Windows) come to WaitForStopRequest instead
// of ending the process. Call it before any thread starts, so that every thread inherits it.
void CatchStopRequests();
// Returns once such a request has come.
void WaitForStopRequest();

}  // namespace vorn
