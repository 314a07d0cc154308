// The few socket calls of the WebSocket endpoint: Winsock on Windows, BSD sockets elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

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
void CloseSocket(SocketHandle socket);
