// Winsock 2 for the WebSocket endpoint.
#include "websocket/socket_api.h"
#include "websocket/socket_system.h"

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <vector>

namespace vorn {

// The portable bind compares the parsed address with kNoIpv4Address.
static_assert(INADDR_NONE == kNoIpv4Address);

namespace {

SOCKET Native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

SocketHandle Handle(SOCKET socket) {
    return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(socket);
}

sockaddr_in Ipv4Address(std::uint32_t ip, std::uint16_t port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ip;
    address.sin_port = htons(port);
    return address;
}

// Winsock moves at most INT_MAX bytes in one call.
int ClampedSize(std::size_t size) {
    constexpr std::size_t kLargest = 0x7FFFFFFF;
    return static_cast<int>(size < kLargest ? size : kLargest);
}

}  // namespace

int SocketStartup() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 0), &data);
}

void SocketCleanup() {
    WSACleanup();
}

int LastSocketError() {
    return WSAGetLastError();
}

SocketHandle OpenStreamSocket() {
    return Handle(socket(AF_INET, SOCK_STREAM, 0));
}

SocketHandle OpenDatagramSocket() {
    return Handle(socket(AF_INET, SOCK_DGRAM, 0));
}

SocketHandle CreateStreamSocket() {
    return OpenStreamSocket();
}

std::uint32_t Ipv4FromText(const char* ip) {
    return inet_addr(ip);
}

void SetAddressNotAvailable() {
    WSASetLastError(WSAEADDRNOTAVAIL);
}

bool BindIpv4(SocketHandle socket, std::uint32_t ip, std::uint16_t port) {
    sockaddr_in address = Ipv4Address(ip, port);
    return bind(Native(socket), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
}

bool ConnectIpv4(SocketHandle socket, std::uint32_t ip, std::uint16_t port) {
    sockaddr_in address = Ipv4Address(ip, port);
    return connect(Native(socket), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
}

bool ListenSocket(SocketHandle socket, int backlog) {
    return listen(Native(socket), backlog) == 0;
}

SocketHandle AcceptSocket(SocketHandle socket) {
    sockaddr_in peer;
    int peer_size = sizeof(peer);
    return Handle(accept(Native(socket), reinterpret_cast<sockaddr*>(&peer), &peer_size));
}

long ReceiveSocket(SocketHandle socket, void* buffer, std::size_t size) {
    return recv(Native(socket), static_cast<char*>(buffer), ClampedSize(size), 0);
}

long SendSocket(SocketHandle socket, const void* buffer, std::size_t size) {
    return send(Native(socket), static_cast<const char*>(buffer), ClampedSize(size), 0);
}

std::uint16_t SocketPort(SocketHandle socket) {
    sockaddr_in address;
    int size = sizeof(address);
    if (getsockname(Native(socket), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

void ShutdownSocket(SocketHandle socket) {
    shutdown(Native(socket), SD_BOTH);
    // A shutdown does not end a receive already waiting in another thread on Windows;
    // cancelling the socket's pending I/O does, and the receive fails.
    CancelIoEx(reinterpret_cast<HANDLE>(Native(socket)), nullptr);
}

void ShutdownSending(SocketHandle socket) {
    shutdown(Native(socket), SD_SEND);
}

void CloseSocket(SocketHandle socket) {
    closesocket(Native(socket));
}

bool SetNonBlocking(SocketHandle socket) {
    u_long on = 1;
    return ioctlsocket(Native(socket), FIONBIO, &on) == 0;
}

bool LastErrorWouldBlock() {
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

std::string PeerAddress(SocketHandle socket) {
    sockaddr_in address;
    int size = sizeof(address);
    if (getpeername(Native(socket), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return "?";
    }
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&address.sin_addr);
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
           std::to_string(bytes[2]) + "." + std::to_string(bytes[3]) + ":" +
           std::to_string(ntohs(address.sin_port));
}

int PollSockets(PollEntry* entries, std::size_t count, int timeout_milliseconds) {
    std::vector<WSAPOLLFD> fds(count);
    for (std::size_t i = 0; i < count; ++i) {
        fds[i].fd = Native(entries[i].socket);
        fds[i].events = static_cast<short>((entries[i].want_read ? POLLRDNORM : 0) |
                                           (entries[i].want_write ? POLLWRNORM : 0));
        fds[i].revents = 0;
    }
    int ready = WSAPoll(fds.data(), static_cast<ULONG>(count), timeout_milliseconds);
    if (ready == SOCKET_ERROR) {
        return -1;
    }
    for (std::size_t i = 0; i < count; ++i) {
        entries[i].readable = (fds[i].revents & POLLRDNORM) != 0;
        entries[i].writable = (fds[i].revents & POLLWRNORM) != 0;
        entries[i].failed = (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    }
    return ready;
}

}  // namespace vorn
