// The system calls that socket_api.cpp builds the portable socket operations on; they are
// defined in socket_api_posix.cpp and socket_api_win.cpp.
#pragma once

#include <cstdint>

#include "websocket/socket_api.h"

namespace vorn {

// What a text that is no dotted IPv4 address turns into: 255.255.255.255.
constexpr std::uint32_t kNoIpv4Address = 0xFFFFFFFF;

// A blocking IPv4 stream socket with the system's defaults; kInvalidSocket on failure.
SocketHandle OpenStreamSocket();
// An IPv4 datagram socket; kInvalidSocket on failure.
SocketHandle OpenDatagramSocket();
// The address of a dotted IPv4 text in network order, or kNoIpv4Address.
std::uint32_t Ipv4FromText(const char* ip);
// Makes "address not available" the calling thread's last socket error.
void SetAddressNotAvailable();
// Binds or connects to an address in network order and a port in host order.
bool BindIpv4(SocketHandle socket, std::uint32_t ip, std::uint16_t port);
bool ConnectIpv4(SocketHandle socket, std::uint32_t ip, std::uint16_t port);

}  // namespace vorn
