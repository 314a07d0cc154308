// The self-test's questions on Linux: the systemd unit, /proc for a port's listener, poll.
#include <dirent.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "host/install/systemd_unit.h"
#include "host/selftest/self_test_platform.h"
#include "platform/text_conversion.h"

namespace vorn {

namespace {

// The kernel's tables of TCP sockets, and its state number of a listening one.
constexpr const char* kTcpTables[] = {"/proc/net/tcp", "/proc/net/tcp6"};
constexpr const char* kListenState = "0A";
constexpr const char* kRestartKey = "Restart=";
constexpr const char* kActiveState = "active";
constexpr const char* kInactiveState = "inactive";
constexpr const char* kUnknownState = "unknown";

// The inodes of the sockets that listen on the port, from the kernel's tables.
std::set<std::string> ListeningInodes(std::uint16_t port) {
    std::set<std::string> inodes;
    char wanted[8];
    std::snprintf(wanted, sizeof(wanted), ":%04X", port);
    for (const char* table : kTcpTables) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
                timeout >> inode;
            std::size_t colon = local.rfind(':');
            if (state == kListenState && colon != std::string::npos &&
                local.compare(colon, std::string::npos, wanted) == 0) {
                inodes.insert(inode);
            }
        }
    }
    return inodes;
}

bool IsNumber(const char* text) {
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') {
            return false;
        }
    }
    return true;
}

// Whether the process holds one of the sockets; only processes the user may look into tell.
bool HoldsSocket(const std::string& pid, const std::set<std::string>& inodes) {
    std::string folder = "/proc/" + pid + "/fd";
    DIR* descriptors = opendir(folder.c_str());
    if (descriptors == nullptr) {
        return false;
    }
    bool found = false;
    while (dirent* entry = readdir(descriptors)) {
        char target[128] = {};
        std::string link = folder + "/" + entry->d_name;
        if (readlink(link.c_str(), target, sizeof(target) - 1) > 0) {
            std::string text(target);
            if (text.rfind("socket:[", 0) == 0 &&
                inodes.count(text.substr(8, text.size() - 9)) != 0) {
                found = true;
                break;
            }
        }
    }
    closedir(descriptors);
    return found;
}

}  // namespace

ServiceReport QueryServiceReport() {
    ServiceReport report;
    std::ifstream unit(UnitPath());
    std::string line;
    while (unit && std::getline(unit, line)) {
        if (line.rfind(kRestartKey, 0) == 0) {
            report.recovery = Utf8ToWide(line);
        }
    }
    std::string state;
    // A systemctl without a systemd to ask complains on standard error; the complaint belongs
    // in this line, not after the checklist.
    std::string complaint;
    int status = Systemctl({"is-active", UnitName()}, &state, &complaint);
    bool answered = status >= 0 && !state.empty();
    // systemctl calls a unit it does not know "inactive"; one installed elsewhere than the
    // installer's folder still shows its state.
    bool known = answered && state != kInactiveState && state != kUnknownState;
    report.presence = std::filesystem::exists(UnitPath()) || known ? ServicePresence::kInstalled
                      : answered                                   ? ServicePresence::kNotInstalled
                                                                   : ServicePresence::kUnknown;
    // Without systemctl, or without a systemd to answer it (a container), the state is unknown.
    report.state = answered            ? Utf8ToWide(state)
                   : complaint.empty() ? std::wstring(L"systemctl gave no answer")
                                       : L"systemctl says \"" + Utf8ToWide(complaint) + L"\"";
    report.running = state == kActiveState;
    return report;
}

std::wstring ListenerOf(std::uint16_t port) {
    std::set<std::string> inodes = ListeningInodes(port);
    if (inodes.empty()) {
        return {};
    }
    DIR* processes = opendir("/proc");
    if (processes == nullptr) {
        return {};
    }
    std::wstring listener;
    while (dirent* entry = readdir(processes)) {
        if (IsNumber(entry->d_name) && HoldsSocket(entry->d_name, inodes)) {
            std::ifstream comm(std::string("/proc/") + entry->d_name + "/comm");
            std::string name;
            std::getline(comm, name);
            listener = Utf8ToWide(name) + L" (pid " + Utf8ToWide(entry->d_name) + L")";
            break;
        }
    }
    closedir(processes);
    return listener;
}

bool WaitForSocketData(SocketHandle socket, int milliseconds) {
    pollfd entry = {static_cast<int>(socket), POLLIN, 0};
    return poll(&entry, 1, milliseconds) > 0;
}

unsigned UseUtf8Console() {
    // Terminals take the program's UTF-8 as it is.
    return 0;
}

void RestoreConsoleText(unsigned) {}

}  // namespace vorn
