// The program's systemd unit and the systemctl that manages it.
#include "host/systemd_unit.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "host/service_names.h"
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

int Systemctl(const std::vector<std::string>& arguments, std::string* first_line) {
    std::string program = Setting(kSystemctlVariable, kDefaultSystemctl);
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    int ends[2];
    if (pipe(ends) != 0) {
        return -1;
    }
    FileDescriptor read_end(ends[0]);
    FileDescriptor write_end(ends[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, read_end.get());
    pid_t child = 0;
    int spawned = posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    // The child holds its own copy of the write end; with ours closed, the read below ends
    // when the child does.
    write_end.reset();
    std::string printed;
    char chunk[256];
    ssize_t count = 0;
    while (spawned == 0 && (count = read(read_end.get(), chunk, sizeof(chunk))) != 0) {
        if (count < 0 && errno != EINTR) {
            break;
        }
        if (count > 0) {
            printed.append(chunk, static_cast<std::size_t>(count));
        }
    }
    read_end.reset();
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
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int SystemctlSpawnError() {
    return spawn_error;
}

}  // namespace vorn
