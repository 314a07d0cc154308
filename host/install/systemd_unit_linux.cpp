// The program's systemd unit and the systemctl that manages it.
#include "host/install/systemd_unit.h"

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "host/service/service_names.h"
#include "platform/handles_posix.h"
#include "platform/text_conversion.h"

extern char** environ;

namespace vorn {

namespace {

// Where unit files are written and which program manages them; tests point both at their
// own doubles.
constexpr const char* kUnitDirectoryVariable = "VORN_SYSTEMD_UNIT_DIR";
constexpr const char* kSystemctlVariable = "VORN_SYSTEMCTL";
constexpr const char* kDefaultUnitDirectory = "/etc/systemd/system";
constexpr const char* kDefaultSystemctl = "systemctl";
constexpr const char* kUnitSuffix = ".service";

int spawn_error = 0;

std::string Setting(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

// Reads both pipes (the second may be -1) until the child has closed them, so that neither
// fills while the other is read.
void ReadUntilClosed(int out, std::string* printed, int error, std::string* complained) {
    pollfd ends[2] = {{out, POLLIN, 0}, {error, POLLIN, 0}};
    char chunk[256];
    while (ends[0].fd >= 0 || ends[1].fd >= 0) {
        if (poll(ends, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if (ends[i].fd < 0 || ends[i].revents == 0) {
                continue;
            }
            ssize_t count = read(ends[i].fd, chunk, sizeof(chunk));
            if (count > 0) {
                (i == 0 ? printed : complained)->append(chunk, static_cast<std::size_t>(count));
            } else if (count == 0 || errno != EINTR) {
                ends[i].fd = -1;
            }
        }
    }
}

}  // namespace

std::string UnitName() {
    return WideToUtf8(kServiceName) + kUnitSuffix;
}

std::string UnitDirectory() {
    return Setting(kUnitDirectoryVariable, kDefaultUnitDirectory);
}

std::string UnitPath() {
    return UnitDirectory() + "/" + UnitName();
}

int Systemctl(const std::vector<std::string>& arguments, std::string* first_line,
              std::string* complaint) {
    std::string program = Setting(kSystemctlVariable, kDefaultSystemctl);
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    int out_ends[2];
    int error_ends[2] = {-1, -1};
    if (pipe(out_ends) != 0) {
        return -1;
    }
    FileDescriptor out_read(out_ends[0]);
    FileDescriptor out_write(out_ends[1]);
    if (complaint != nullptr && pipe(error_ends) != 0) {
        return -1;
    }
    FileDescriptor error_read(error_ends[0]);
    FileDescriptor error_write(error_ends[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_write.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out_read.get());
    if (complaint != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, error_write.get(), STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, error_read.get());
    }
    pid_t child = 0;
    int spawned = posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    // The child holds its own copies of the write ends; with ours closed, the reads below end
    // when the child does.
    out_write.reset();
    error_write.reset();
    std::string printed;
    std::string complained;
    if (spawned == 0) {
        ReadUntilClosed(out_read.get(), &printed, error_read.get(), &complained);
    }
    out_read.reset();
    error_read.reset();
    if (spawned != 0) {
        spawn_error = spawned;
        return -1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (first_line != nullptr) {
        *first_line = printed.substr(0, printed.find('\n'));
    }
    if (complaint != nullptr) {
        *complaint = complained.substr(0, complained.find('\n'));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int SystemctlSpawnError() {
    return spawn_error;
}

}  // namespace vorn
