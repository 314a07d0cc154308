// The socket operations that are the same on every platform, made of the system calls.
#include "websocket/socket_api.h"

#include "websocket/socket_system.h"

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
    SocketHandle client = OpenStreamSocket();
    if (client == kInvalidSocket) {
        return kInvalidSocket;
    }
    if (!ConnectIpv4(client, Ipv4FromText(ip), port)) {
        CloseSocket(client);
        return kInvalidSocket;
    }
    return client;
}
