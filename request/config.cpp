// The settings of "config.ini" and their defaults.
#include "request/config.h"

#include "platform/module_path.h"

namespace vorn {

namespace {

constexpr const char* kConfigFileName = "config.ini";

}  // namespace

std::string ConfigFilePath() {
    std::string directory = ModuleDirectory();
    // Without the program's directory the name alone is taken, after a separator.
    return (directory.empty() ? std::string(1, kPathSeparator) : directory) + kConfigFileName;
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

std::string ReadAllowedOrigins(const std::string& path) {
    std::string text(kAllowedOriginsTextLimit + 1, '\0');
    ReadProfileString(kSecuritySection, kConfigKeyAllowedOrigins, "", text.data(),
                      kAllowedOriginsTextLimit + 1, path);
    text.resize(text.find('\0'));
    return text;
}

bool IsTraceLogConfigured(const std::string& path) {
    return ReadProfileInt(kConfigSection, kConfigKeyLog, kDefaultLog, path) == 1;
}

}  // namespace vorn
