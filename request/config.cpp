// The settings of "config.ini" and their defaults.
#include "request/config.h"

#include <cstring>

#include "platform/module_path.h"

namespace {

constexpr const char* kConfigFileName = "config.ini";
constexpr std::uint32_t kModulePathLimit = 260;

}  // namespace

std::string ConfigFilePath() {
    char path[kModulePathLimit + 1] = {};
    if (ModuleFileNameA(path, kModulePathLimit) != 0) {
        char* separator = std::strrchr(path, kPathSeparator);
        if (separator != nullptr) {
            *separator = '\0';
        }
    }
    return std::string(path) + kPathSeparator + kConfigFileName;
}

BindSettings ReadBindSettings(const std::string& path) {
    BindSettings settings{};
    ReadProfileString(kConfigSection, kConfigKeyIp, kDefaultIp, settings.ip, kIpTextLimit + 1,
                      path);
    // Only the low 16 bits of the number name the port: 70000 listens on 4464.
    settings.port = static_cast<std::uint16_t>(
        ReadProfileInt(kConfigSection, kConfigKeyPort, kDefaultPort, path) & 0xFFFF);
    return settings;
}

bool IsTraceLogConfigured(const std::string& path) {
    return ReadProfileInt(kConfigSection, kConfigKeyLog, kDefaultLog, path) == 1;
}
