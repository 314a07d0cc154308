// The service installer under systemd: a unit file of Type=notify for the program, and
// systemctl to reload, enable, start, stop and disable it.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "diagnostics/trace_log.h"
#include "host/console_output.h"
#include "host/install/service_installer.h"
#include "host/install/systemd_unit.h"
#include "host/service/service_names.h"
#include "platform/handles_posix.h"
#include "platform/module_path.h"
#include "platform/text_conversion.h"

namespace vorn {

namespace {

// The photo decoder exchanges temporary files in the current directory: the service runs in
// a state directory of its own, which systemd creates for it.
constexpr const char* kStateDirectoryRoot = "/var/lib/";
constexpr const char* kDescriptionKey = "Description=";
constexpr std::uint32_t kPathLimit = 4096;
// A unit file is line-based and has no escape for a line break in a command.
constexpr const wchar_t* kPathRefused =
    L"The program's path holds a line break or another control character, which a unit file "
    L"cannot carry. Move the program to a folder whose path has none, then install again.\n";

// Failures are told in Linux terms: the file or systemctl call that failed and the system's
// own text for the cause.
constexpr const wchar_t* kProgramPathFailedFormat = L"Cannot find the program's own path: %ls\n";
constexpr const wchar_t* kUnitFolderFailedFormat = L"Cannot write unit files in %ls: %ls\n";
constexpr const wchar_t* kAlreadyInstalledFormat = L"%ls is already installed: %ls exists\n";
constexpr const wchar_t* kUnitFileFailedFormat = L"Cannot write %ls: %ls\n";
constexpr const wchar_t* kSystemctlFailedFormat = L"systemctl %ls failed with exit status %d\n";
constexpr const wchar_t* kSystemctlNotRunFormat = L"systemctl %ls could not be run: %ls\n";
constexpr const wchar_t* kNotInstalledFormat = L"%ls is not installed: %ls does not exist\n";
constexpr const wchar_t* kDeleteFailedFormat = L"Cannot delete %ls: %ls\n";

std::wstring Wide(const std::string& text) {
    return Utf8ToWide(text.c_str());
}

std::wstring CauseText(int error) {
    return Wide(std::strerror(error));
}

void PrintSystemctlFailure(const std::string& command, int status) {
    if (status < 0) {
        ConsolePrint(kSystemctlNotRunFormat, Wide(command).c_str(),
                     CauseText(SystemctlSpawnError()).c_str());
    } else {
        ConsolePrint(kSystemctlFailedFormat, Wide(command).c_str(), status);
    }
}

bool HasControlCharacter(const std::string& path) {
    for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

// A path as one word of a unit file's setting. systemd expands "%" specifiers in every
// setting, and "$" variables in a command line, so those are doubled to stand for themselves.
std::string UnitWord(const std::string& path, bool command) {
    std::string word;
    bool quote = path.find_first_of(" \t\"'\\;") != std::string::npos;
    for (char c : path) {
        if (c == '%' || (command && c == '$')) {
            word += c;
            word += c;
        } else if (quote && (c == '"' || c == '\\')) {
            word += '\\';
            word += c;
        } else {
            word += c;
        }
    }
    return quote ? "\"" + word + "\"" : word;
}

// The sandbox of a service installed by hand: the package's, but for what a program run as
// root from any folder needs. It keeps reading and writing files of any owner beside the
// program (config.ini, the traces), and writes only its traces there.
constexpr const char* kSandbox =
    "UMask=0077\n"
    "CapabilityBoundingSet=CAP_DAC_OVERRIDE CAP_DAC_READ_SEARCH\n"
    "NoNewPrivileges=yes\n"
    "RestrictNamespaces=yes\n"
    "RestrictSUIDSGID=yes\n"
    "RestrictRealtime=yes\n"
    "LockPersonality=yes\n"
    "RemoveIPC=yes\n"
    "PrivateMounts=yes\n"
    "ProtectSystem=strict\n"
    "ProtectHome=read-only\n"
    "PrivateTmp=yes\n"
    "ProtectKernelTunables=yes\n"
    "ProtectKernelModules=yes\n"
    "ProtectKernelLogs=yes\n"
    "ProtectControlGroups=yes\n"
    "ProtectClock=yes\n"
    "ProtectHostname=yes\n"
    "ProtectProc=invisible\n"
    "ProcSubset=pid\n"
    "DevicePolicy=closed\n"
    "DeviceAllow=char-usb_device rw\n"
    "DeviceAllow=char-ttyUSB rw\n"
    "DeviceAllow=char-ttyACM rw\n"
    "DeviceAllow=char-hidraw rw\n"
    "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX AF_NETLINK\n"
    "IPAddressDeny=any\n"
    "IPAddressAllow=localhost\n"
    "SystemCallFilter=@system-service\n"
    "SystemCallFilter=~@privileged @resources\n"
    "SystemCallErrorNumber=EPERM\n"
    "SystemCallArchitectures=native\n";

// The trace folder beside the program, without its trailing separator.
std::string TraceFolder() {
    std::string folder = WideToUtf8(TraceDirectory().c_str());
    if (!folder.empty() && folder.back() == kPathSeparator) {
        folder.pop_back();
    }
    return folder;
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
         << "ExecStart=" << UnitWord(program, true) << "\n"
         << "StateDirectory=" << name << "\n"
         << "WorkingDirectory=" << kStateDirectoryRoot << name << "\n"
         << kSandbox
         // The trace folder need not exist: "-" lets the service start without it.
         << "ReadWritePaths=" << UnitWord("-" + TraceFolder(), false) << "\n"
         << "Restart=on-failure\n"
         << "RestartSec=5\n\n"
         << "[Install]\n"
         << "WantedBy=multi-user.target\n";
    return unit.str();
}

bool WriteNewFile(const std::string& path, const std::string& text, int* error) {
    FileDescriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644));
    if (!fd) {
        *error = errno;
        return false;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        ssize_t count = write(fd.get(), text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            *error = errno;
            fd.reset();
            unlink(path.c_str());
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
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

InstallerOutcome InstallAsService() {
    char program[kPathLimit] = {};
    if (ModuleFileNameA(program, kPathLimit) == 0) {
        ConsolePrint(kProgramPathFailedFormat, CauseText(errno).c_str());
        return InstallerOutcome::kFailed;
    }
    if (HasControlCharacter(program)) {
        ConsolePrint(kPathRefused);
        return InstallerOutcome::kFailed;
    }
    std::string directory = UnitDirectory();
    if (access(directory.c_str(), W_OK | X_OK) != 0) {
        ConsolePrint(kUnitFolderFailedFormat, Wide(directory).c_str(), CauseText(errno).c_str());
        return InstallerOutcome::kFailed;
    }
    if (access(UnitPath().c_str(), F_OK) == 0) {
        ConsolePrint(kAlreadyInstalledFormat, kServiceName, Wide(UnitPath()).c_str());
        return InstallerOutcome::kFailed;
    }
    int error = 0;
    if (!WriteNewFile(UnitPath(), UnitText(program), &error)) {
        ConsolePrint(kUnitFileFailedFormat, Wide(UnitPath()).c_str(), CauseText(error).c_str());
        return InstallerOutcome::kFailed;
    }
    for (const std::string& command : {std::string("daemon-reload"), "enable " + UnitName()}) {
        std::vector<std::string> words;
        std::istringstream split(command);
        for (std::string word; split >> word;) {
            words.push_back(word);
        }
        int status = Systemctl(words);
        if (status != 0) {
            // A unit systemd was not told of is taken back, so that a failed install leaves
            // nothing and the next attempt does not find it "already installed".
            PrintSystemctlFailure(command, status);
            unlink(UnitPath().c_str());
            return InstallerOutcome::kFailed;
        }
    }
    ConsolePrint(kInstalledFormat, kServiceName);
    if (Systemctl({"start", UnitName()}) != 0) {
        ConsolePrint(kStartFailedFormat, kServiceName);
        return InstallerOutcome::kIncomplete;
    }
    return InstallerOutcome::kDone;
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

InstallerOutcome RemoveAsService() {
    std::string directory = UnitDirectory();
    if (access(directory.c_str(), W_OK | X_OK) != 0) {
        ConsolePrint(kUnitFolderFailedFormat, Wide(directory).c_str(), CauseText(errno).c_str());
        return InstallerOutcome::kFailed;
    }
    if (access(UnitPath().c_str(), F_OK) != 0) {
        ConsolePrint(kNotInstalledFormat, kServiceName, Wide(UnitPath()).c_str());
        return InstallerOutcome::kFailed;
    }
    InstallerOutcome outcome = InstallerOutcome::kDone;
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
        bool stopped = IsStopped(state);
        ConsolePrint(stopped ? kStoppedFormat : kFailedToStopFormat, kServiceName);
        if (!stopped) {
            outcome = InstallerOutcome::kIncomplete;
        }
    }
    Systemctl({"disable", UnitName()});
    if (unlink(UnitPath().c_str()) != 0) {
        ConsolePrint(kDeleteFailedFormat, Wide(UnitPath()).c_str(), CauseText(errno).c_str());
        return InstallerOutcome::kFailed;
    }
    Systemctl({"daemon-reload"});
    ConsolePrint(kRemovedFormat, kServiceName);
    return outcome;
}

}  // namespace vorn
