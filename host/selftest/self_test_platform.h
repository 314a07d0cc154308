// What the self-test asks of the operating system, read-only: the service's state, who holds
// a port, and a bounded wait for a socket's answer.
#pragma once

#include <cstdint>
#include <string>

#include "websocket/socket_api.h"

namespace vorn {

// Whether the service manager knows the service.
enum class ServicePresence { kInstalled, kNotInstalled, kUnknown };

// The service as its manager sees it.
struct ServiceReport {
    ServicePresence presence = ServicePresence::kUnknown;
    bool running = false;
    // The manager's own word for the state, or why it could not be asked.
    std::wstring state;
    // What the manager does when the service fails, when it tells; empty otherwise.
    std::wstring recovery;
};

ServiceReport QueryServiceReport();

// The program that listens on the TCP port, as "name (pid N)"; empty when it cannot be told.
std::wstring ListenerOf(std::uint16_t port);

// Waits up to the time for data (or the end of the connection) on the socket; false when
// nothing came in time.
bool WaitForSocketData(SocketHandle socket, int milliseconds);

// Lets a console window show the checklist's UTF-8 text (the read's messages are Chinese) and
// gives back what to restore; RestoreConsoleText puts the console back as it was.
unsigned UseUtf8Console();
void RestoreConsoleText(unsigned previous);

}  // namespace vorn
