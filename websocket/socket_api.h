// The few socket calls of the WebSocket endpoint: Winsock on Windows, BSD sockets elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/unique_handle.h"

namespace vorn {

// A socket of the system; kInvalidSocket (all bits set) when there is none.
using SocketHandle = std::uintptr_t;
constexpr SocketHandle kInvalidSocket = ~static_cast<SocketHandle>(0);

// Starts and ends the socket library for one user (Winsock 2.0); returns 0 or the error.
int SocketStartup();
void SocketCleanup();

// The last socket error of the calling thread.
int LastSocketError();

// An IPv4 stream socket, blocking, that can be bound like a Windows socket: while earlier
// connections of the port linger in TIME_WAIT, but never beside another listener.
SocketHandle CreateStreamSocket();
// Binds to a dotted IPv4 address (a text that is not one binds to 255.255.255.255, which
// fails) and a port in host order.
bool BindSocket(SocketHandle socket, const char* ip, std::uint16_t port);
bool ListenSocket(SocketHandle socket, int backlog);
// Waits for a connection; kInvalidSocket on failure.
SocketHandle AcceptSocket(SocketHandle socket);
// Connects to an IPv4 address and port; kInvalidSocket on failure.
SocketHandle ConnectSocket(const char* ip, std::uint16_t port);
// One receive or send: the count moved, 0 when the peer closed (receive), -1 on failure.
long ReceiveSocket(SocketHandle socket, void* buffer, std::size_t size);
long SendSocket(SocketHandle socket, const void* buffer, std::size_t size);
// The port a bound socket has, in host order; 0 when it cannot be told.
std::uint16_t SocketPort(SocketHandle socket);
// Ends both directions, which makes a receive, send or accept blocked on the socket in
// another thread return; the socket stays open until CloseSocket.
void ShutdownSocket(SocketHandle socket);
// Ends the sending direction once what was sent has gone: the peer reads the end of the
// stream after the last bytes, while receiving goes on.
void ShutdownSending(SocketHandle socket);
void CloseSocket(SocketHandle socket);

// The kind of a socket of these calls, closed by CloseSocket.
struct SocketKind {
    using Handle = SocketHandle;
    static constexpr Handle Invalid() noexcept { return kInvalidSocket; }
    static void Close(Handle socket) noexcept { CloseSocket(socket); }
};
using OwnedSocket = UniqueHandle<SocketKind>;

// Makes receives, sends and accepts on the socket return at once instead of waiting.
bool SetNonBlocking(SocketHandle socket);
// True when the calling thread's last socket failure only means "nothing to do right now".
bool LastErrorWouldBlock();
// The peer's dotted address and port ("127.0.0.1:50123"); "?" when it cannot be told.
std::string PeerAddress(SocketHandle socket);

// A non-blocking datagram socket on loopback connected to itself: a byte sent to it makes it
// readable, which is how another thread wakes a thread that waits in PollSockets.
SocketHandle OpenWakeSocket();
void WakeSocket(SocketHandle socket);
// Reads and drops whatever wake-ups are waiting.
void DrainWakeSocket(SocketHandle socket);

// One socket to wait for, and what it turned out to be ready for.
struct PollEntry {
    SocketHandle socket;
    bool want_read;
    bool want_write;
    bool readable;
    bool writable;
    bool failed;  // an error or hang-up: the next receive or send tells which
};
// Waits at most the given milliseconds until one of the sockets is ready; the number of
// sockets ready, 0 after the time, -1 on failure.
int PollSockets(PollEntry* entries, std::size_t count, int timeout_milliseconds);

}  // namespace vorn
