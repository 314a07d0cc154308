// The WebSocket endpoint served in the terminal, for a person who wants to watch it work.
#pragma once

namespace vorn {

// Runs the reader service as the service manager would, with its reports and every
// connection and request printed to standard output, until Ctrl+C or a termination request,
// which stop it as the service manager's stop does. Returns the exit code: 0 after a stop,
// 1 when the service did not start.
int RunInForeground();

}  // namespace vorn
