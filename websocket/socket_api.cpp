// The socket operations that are the same on every platform, made of the system calls.
#include "websocket/socket_api.h"

#include "websocket/socket_system.h"

namespace vorn {

namespace {

// Wake-ups never leave the machine.
constexpr const char* kWakeAddress = "127.0.0.1";

}  // namespace

bool BindSocket(SocketHandle socket, const char* ip, std::uint16_t port) {
    const std::uint32_t address = Ipv4FromText(ip);
    // Linux would listen on the broadcast address that a text which is no address turns
    // into, and so would Wine; Windows refuses it, and so does this program everywhere.
    if (address == kNoIpv4Address) {
        SetAddressNotAvailable();
        return false;
    }
    return BindIpv4(socket, address, port);
}

SocketHandle ConnectSocket(const char* ip, std::uint16_t port) {
    OwnedSocket client(OpenStreamSocket());
    if (!client || !ConnectIpv4(client.get(), Ipv4FromText(ip), port)) {
        return kInvalidSocket;
    }
    return client.release();
}

SocketHandle OpenWakeSocket() {
    OwnedSocket wake(OpenDatagramSocket());
    if (!wake) {
        return kInvalidSocket;
    }
    const std::uint32_t loopback = Ipv4FromText(kWakeAddress);
    if (!BindIpv4(wake.get(), loopback, 0) ||
        !ConnectIpv4(wake.get(), loopback, SocketPort(wake.get())) || !SetNonBlocking(wake.get())) {
        return kInvalidSocket;
    }
    return wake.release();
}

void WakeSocket(SocketHandle socket) {
    const char byte = 0;
    SendSocket(socket, &byte, 1);
}

void DrainWakeSocket(SocketHandle socket) {
    char bytes[64];
    while (ReceiveSocket(socket, bytes, sizeof(bytes)) > 0) {
    }
}

}  // namespace vorn
