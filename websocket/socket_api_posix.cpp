// BSD sockets for the WebSocket endpoint.
#include "websocket/socket_api.h"
#include "websocket/socket_system.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace vorn {

// The portable bind compares the parsed address with kNoIpv4Address.
static_assert(INADDR_NONE == kNoIpv4Address);

namespace {

int Fd(SocketHandle socket) {
    return static_cast<int>(socket);
}

SocketHandle Handle(int fd) {
    return fd < 0 ? kInvalidSocket : static_cast<SocketHandle>(fd);
}

sockaddr_in Ipv4Address(std::uint32_t ip, std::uint16_t port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ip;
    address.sin_port = htons(port);
    return address;
}

}  // namespace

int SocketStartup() {
    return 0;
}

void SocketCleanup() {}

int LastSocketError() {
    return errno;
}

SocketHandle OpenStreamSocket() {
    return Handle(socket(AF_INET, SOCK_STREAM, 0));
}

SocketHandle OpenDatagramSocket() {
    return Handle(socket(AF_INET, SOCK_DGRAM, 0));
}

SocketHandle CreateStreamSocket() {
    const SocketHandle handle = OpenStreamSocket();
    // Linux refuses to bind a port while connections the server closed linger in TIME_WAIT,
    // which Windows allows: a service restarted right after cutting a client would not
    // listen again. On Linux this option permits only that, never a second listener.
    if (handle != kInvalidSocket) {
        int on = 1;
        setsockopt(Fd(handle), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    }
    return handle;
}

std::uint32_t Ipv4FromText(const char* ip) {
    return inet_addr(ip);
}

void SetAddressNotAvailable() {
    errno = EADDRNOTAVAIL;
}

bool BindIpv4(SocketHandle socket, std::uint32_t ip, std::uint16_t port) {
    sockaddr_in address = Ipv4Address(ip, port);
    return bind(Fd(socket), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
}

bool ConnectIpv4(SocketHandle socket, std::uint32_t ip, std::uint16_t port) {
    sockaddr_in address = Ipv4Address(ip, port);
    return connect(Fd(socket), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
}

bool ListenSocket(SocketHandle socket, int backlog) {
    return listen(Fd(socket), backlog) == 0;
}

SocketHandle AcceptSocket(SocketHandle socket) {
    sockaddr_in peer;
    socklen_t peer_size = sizeof(peer);
    int fd;
    // A signal that interrupts the wait is not a failure of the listener.
    do {
        fd = accept(Fd(socket), reinterpret_cast<sockaddr*>(&peer), &peer_size);
    } while (fd < 0 && errno == EINTR);
    return Handle(fd);
}

long ReceiveSocket(SocketHandle socket, void* buffer, std::size_t size) {
    ssize_t count;
    do {
        count = recv(Fd(socket), buffer, size, 0);
    } while (count < 0 && errno == EINTR);
    return static_cast<long>(count);
}

long SendSocket(SocketHandle socket, const void* buffer, std::size_t size) {
    // A peer that has gone must fail the send, not end the process with SIGPIPE.
    ssize_t count;
    do {
        count = send(Fd(socket), buffer, size, MSG_NOSIGNAL);
    } while (count < 0 && errno == EINTR);
    return static_cast<long>(count);
}

std::uint16_t SocketPort(SocketHandle socket) {
    sockaddr_in address;
    socklen_t size = sizeof(address);
    if (getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

void ShutdownSocket(SocketHandle socket) {
    shutdown(Fd(socket), SHUT_RDWR);
}

void ShutdownSending(SocketHandle socket) {
    shutdown(Fd(socket), SHUT_WR);
}

void CloseSocket(SocketHandle socket) {
    close(Fd(socket));
}

bool SetNonBlocking(SocketHandle socket) {
    int flags = fcntl(Fd(socket), F_GETFL, 0);
    return flags >= 0 && fcntl(Fd(socket), F_SETFL, flags | O_NONBLOCK) == 0;
}

bool LastErrorWouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

std::string PeerAddress(SocketHandle socket) {
    sockaddr_in address;
    socklen_t size = sizeof(address);
    char text[INET_ADDRSTRLEN] = {};
    if (getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        inet_ntop(AF_INET, &address.sin_addr, text, sizeof(text)) == nullptr) {
        return "?";
    }
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

int PollSockets(PollEntry* entries, std::size_t count, int timeout_milliseconds) {
    std::vector<pollfd> fds(count);
    for (std::size_t i = 0; i < count; ++i) {
        fds[i].fd = Fd(entries[i].socket);
        fds[i].events = static_cast<short>((entries[i].want_read ? POLLIN : 0) |
                                           (entries[i].want_write ? POLLOUT : 0));
        fds[i].revents = 0;
    }
    int ready = poll(fds.data(), static_cast<nfds_t>(count), timeout_milliseconds);
    if (ready < 0) {
        // A signal cut the wait short: nothing is ready, the caller looks again.
        return errno == EINTR ? 0 : -1;
    }
    for (std::size_t i = 0; i < count; ++i) {
        entries[i].readable = (fds[i].revents & POLLIN) != 0;
        entries[i].writable = (fds[i].revents & POLLOUT) != 0;
        entries[i].failed = (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    }
    return ready;
}

}  // namespace vorn
