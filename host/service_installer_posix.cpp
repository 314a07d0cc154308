// The service installer under systemd: a unit file of Type=notify for the program, and
// systemctl to reload, enable, start, stop and disable it.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/console_output.h"
#include "host/service_installer.h"
#include "host/service_names.h"
#include "host/systemd_unit.h"
#include "platform/module_path.h"
#include "platform/text_conversion.h"

namespace {

// The photo decoder exchanges temporary files in the current directory: the service runs in
// a state directory of its own, which systemd creates for it.
constexpr const char* kStateDirectoryRoot = "/var/lib/";
constexpr const char* kDescriptionKey = "Description=";
constexpr std::uint32_t kPathLimit = 4096;

// An exit status as the code printed after "w/err".
unsigned long StatusCode(int status) {
    return static_cast<unsigned long>(status & 0xFFFF);
}

// The program path as one word of a unit file's command line.
std::string CommandWord(const std::string& path) {
    std::string word;
    bool quote = path.find_first_of(" \t\"'\\;") != std::string::npos;
    for (char c : path) {
        if (c == '%') {
            word += "%%";
        } else if (quote && (c == '"' || c == '\\')) {
            word += '\\';
            word += c;
        } else {
            word += c;
        }
    }
    return quote ? "\"" + word + "\"" : word;
}

std::string UnitText(const std::string& program) {
    std::string name = WideToUtf8(kServiceName);
    std::ostringstream unit;
    unit << "# " << WideToUtf8(kServiceDisplayName) << "\n"
         << "[Unit]\n"
         << kDescriptionKey << WideToUtf8(kServiceDescription) << "\n"
         << "After=network.target\n\n"
         << "[Service]\n"
         << "Type=notify\n"
         << "ExecStart=" << CommandWord(program) << "\n"
         << "StateDirectory=" << name << "\n"
         << "WorkingDirectory=" << kStateDirectoryRoot << name << "\n"
         << "Restart=on-failure\n"
         << "RestartSec=5\n\n"
         << "[Install]\n"
         << "WantedBy=multi-user.target\n";
    return unit.str();
}

bool WriteNewFile(const std::string& path, const std::string& text, int* error) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        ssize_t count = write(fd, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            *error = errno;
            close(fd);
            unlink(path.c_str());
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    close(fd);
    return true;
}

// The states systemd reports while a unit is on its way down, and once it is down.
bool IsStopping(const std::string& state) {
    return state == "deactivating";
}
bool IsStopped(const std::string& state) {
    return state == "inactive" || state == "failed";
}
bool IsRunning(const std::string& state) {
    return state == "active" || state == "activating" || state == "reloading";
}

}  // namespace

void InstallAsService() {
    char program[kPathLimit] = {};
    if (ModuleFileNameA(program, kPathLimit) == 0) {
        ConsolePrint(kModuleNameFailedFormat, static_cast<unsigned long>(errno));
        return;
    }
    std::string directory = UnitDirectory();
    if (access(directory.c_str(), W_OK | X_OK) != 0) {
        ConsolePrint(kOpenManagerFailedFormat, static_cast<unsigned long>(errno));
        return;
    }
    if (access(UnitPath().c_str(), F_OK) == 0) {
        ConsolePrint(kCreateServiceFailedFormat, kErrorServiceExists);
        return;
    }
    int error = 0;
    if (!WriteNewFile(UnitPath(), UnitText(program), &error)) {
        ConsolePrint(kCreateServiceFailedFormat, static_cast<unsigned long>(error));
        return;
    }
    int status = Systemctl({"daemon-reload"});
    if (status == 0) {
        status = Systemctl({"enable", UnitName()});
    }
    if (status != 0) {
        ConsolePrint(kCreateServiceFailedFormat, StatusCode(status));
        return;
    }
    ConsolePrint(kInstalledFormat, kServiceName);
    if (Systemctl({"start", UnitName()}) != 0) {
        ConsolePrint(kStartFailedFormat, kServiceName);
    }
}

void SetServiceDescription() {
    std::ifstream in(UnitPath());
    if (!in) {
        return;
    }
    std::string text;
    std::string line;
    std::string wanted = kDescriptionKey + WideToUtf8(kServiceDescription);
    bool changed = false;
    while (std::getline(in, line)) {
        if (line.rfind(kDescriptionKey, 0) == 0 && line != wanted) {
            line = wanted;
            changed = true;
        }
        text += line + "\n";
    }
    in.close();
    if (!changed) {
        return;
    }
    std::ofstream out(UnitPath(), std::ios::trunc);
    out << text;
    out.close();
    if (out) {
        Systemctl({"daemon-reload"});
    }
}

void SetServiceRecovery() {
    // The unit written at installation restarts the service itself (Restart=on-failure).
}

void RemoveAsService() {
    if (access(UnitDirectory().c_str(), W_OK | X_OK) != 0) {
        ConsolePrint(kOpenManagerFailedFormat, static_cast<unsigned long>(errno));
        return;
    }
    if (access(UnitPath().c_str(), F_OK) != 0) {
        ConsolePrint(kOpenServiceFailedFormat, kErrorServiceDoesNotExist);
        return;
    }
    std::string state;
    Systemctl({"is-active", UnitName()}, &state);
    // As a stop request to a service that does not run fails, nothing is said for it.
    if (IsRunning(state) && Systemctl({"stop", "--no-block", UnitName()}) == 0) {
        ConsolePrint(kStoppingFormat, kServiceName);
        auto pause = std::chrono::milliseconds(kStopPollMilliseconds);
        std::this_thread::sleep_for(pause);
        Systemctl({"is-active", UnitName()}, &state);
        while (IsStopping(state)) {
            ConsolePrint(kStillStopping);
            std::this_thread::sleep_for(pause);
            Systemctl({"is-active", UnitName()}, &state);
        }
        ConsolePrint(IsStopped(state) ? kStoppedFormat : kFailedToStopFormat, kServiceName);
    }
    Systemctl({"disable", UnitName()});
    if (unlink(UnitPath().c_str()) != 0) {
        ConsolePrint(kDeleteServiceFailedFormat, static_cast<unsigned long>(errno));
        return;
    }
    Systemctl({"daemon-reload"});
    ConsolePrint(kRemovedFormat, kServiceName);
}
