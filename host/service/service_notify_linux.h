// The message a Type=notify service sends systemd about its state.
#pragma once

#include <string>

namespace vorn {

// systemd starts a Type=notify service with the address of its notification socket here.
constexpr const char* kNotifySocketVariable = "NOTIFY_SOCKET";

// Sends the message ("READY=1", "STATUS=...") as one datagram to the socket that systemd
// named in NOTIFY_SOCKET. Nothing is sent when the variable is missing or not an address
// of a local socket; false when sending failed.
bool NotifyServiceManager(const std::string& message);

}  // namespace vorn
