// The program's settings in "config.ini" beside the program file.
#pragma once

#include <cstdint>
#include <string>

namespace vorn {

constexpr const char* kConfigSection = "Bind";
constexpr const char* kConfigKeyIp = "ip";
constexpr const char* kConfigKeyPort = "port";
constexpr const char* kConfigKeyLog = "log";
constexpr const char* kSecuritySection = "Security";
constexpr const char* kConfigKeyAllowedOrigins = "allowed_origins";
constexpr const char* kDefaultIp = "127.0.0.1";
constexpr int kDefaultPort = 17171;
constexpr int kDefaultLog = 0;
// The longest "ip" value kept; longer values are cut.
constexpr std::uint32_t kIpTextLimit = 31;
// The longest list of allowed origins read. A longer one is cut, which leaves its last entry
// matching nothing rather than more.
constexpr std::uint32_t kAllowedOriginsTextLimit = 4095;

// The program file's path cut at its last separator, followed by "config.ini"; just the
// separator and the name when the program's path cannot be found.
std::string ConfigFilePath();

// The private-profile reads: a text value of at most size - 1 bytes into a zeroed buffer,
// and an integer value; the default when the file, section or key is missing.
void ReadProfileString(const char* section, const char* key, const char* fallback, char* out,
                       std::uint32_t size, const std::string& path);
int ReadProfileInt(const char* section, const char* key, int fallback, const std::string& path);

// Where the WebSocket endpoint listens.
struct BindSettings {
    char ip[kIpTextLimit + 2];
    std::uint16_t port;
};

BindSettings ReadBindSettings(const std::string& path);
// The comma-separated origins that may use the WebSocket endpoint; empty when every origin
// may.
std::string ReadAllowedOrigins(const std::string& path);
// Whether requests are traced: "log" equal to exactly 1.
bool IsTraceLogConfigured(const std::string& path);

}  // namespace vorn
