// The datagram that tells systemd of the service's state, to a socket path or an abstract
// socket name, as systemd gives either in NOTIFY_SOCKET.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "host/service/service_notify_linux.h"
#include "platform/handles_posix.h"
#include "tests/scoped_variable_posix.h"

using namespace vorn;

namespace {

// A datagram socket that systemd would listen on, bound to the name (a leading '@' is the
// abstract namespace), and NOTIFY_SOCKET pointing at it while the object lives.
class ListeningManager {
public:
    explicit ListeningManager(const std::string& name)
        : name_(name), descriptor_(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.data(), name.size());
        if (name[0] == '@') {
            address.sun_path[0] = '\0';
        }
        bound_ = bind(descriptor_.get(), reinterpret_cast<const sockaddr*>(&address),
                      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size())) == 0;
        timeval wait{5, 0};
        setsockopt(descriptor_.get(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
        variable_.Set(name);
    }
    ~ListeningManager() {
        descriptor_.reset();
        if (name_[0] == '/') {
            unlink(name_.c_str());
        }
    }
    bool bound() const { return bound_; }
    std::string Receive() {
        char buffer[512];
        const ssize_t got = recv(descriptor_.get(), buffer, sizeof(buffer), 0);
        return got < 0 ? std::string("(nothing)")
                       : std::string(buffer, static_cast<std::size_t>(got));
    }

private:
    std::string name_;
    FileDescriptor descriptor_;
    ScopedVariable variable_{kNotifySocketVariable};
    bool bound_ = false;
};

}  // namespace

TEST(ServiceNotify, ReachesASocketPathAndAnAbstractName) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("vorn-notify-" + std::to_string(getpid())))
            .string();
    for (const std::string& name : {path, "@vorn-notify-" + std::to_string(getpid())}) {
        ListeningManager manager(name);
        ASSERT_TRUE(manager.bound()) << name;
        EXPECT_TRUE(NotifyServiceManager("READY=1\nSTATUS=Running"));
        EXPECT_EQ(manager.Receive(), "READY=1\nSTATUS=Running") << name;
    }
}

TEST(ServiceNotify, SendsNothingWithoutAManager) {
    ScopedVariable variable(kNotifySocketVariable);
    variable.Clear();
    EXPECT_TRUE(NotifyServiceManager("READY=1"));
    // Not the address of a local socket: nothing to send it to.
    variable.Set("vsock:2:1");
    EXPECT_TRUE(NotifyServiceManager("READY=1"));
    // A name longer than a socket address holds cannot be reached.
    variable.Set("/" + std::string(200, 'x'));
    EXPECT_FALSE(NotifyServiceManager("READY=1"));
}
