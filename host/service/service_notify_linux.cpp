// systemd's notification protocol is one datagram of "KEY=value" lines to a local socket.
// Written here rather than taken from libsystemd, which loaded six more shared libraries at
// every start of the program, native-messaging requests included, to send that datagram.
#include "host/service/service_notify_linux.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "platform/handles_posix.h"

namespace vorn {

namespace {

// A name starting with '@' is in the abstract namespace, written with a leading NUL.
constexpr char kAbstractMark = '@';

}  // namespace

bool NotifyServiceManager(const std::string& message) {
    const char* address = std::getenv(kNotifySocketVariable);
    if (address == nullptr || (address[0] != '/' && address[0] != kAbstractMark)) {
        return true;
    }
    sockaddr_un target{};
    target.sun_family = AF_UNIX;
    const std::size_t length = std::strlen(address);
    if (length >= sizeof(target.sun_path)) {
        return false;
    }
    std::memcpy(target.sun_path, address, length);
    if (address[0] == kAbstractMark) {
        target.sun_path[0] = '\0';
    }
    const FileDescriptor descriptor(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!descriptor) {
        return false;
    }
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
    const ssize_t sent = sendto(descriptor.get(), message.data(), message.size(), MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&target), size);
    return sent == static_cast<ssize_t>(message.size());
}

}  // namespace vorn
