// The program's settings in "config.ini" beside the program file.
#pragma once

#include <cstddef>
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
// The longest list of allowed origins taken. A longer one is not taken at all: cut, its last
// entry could admit more than it names ("http://localhost:8080" cut to "http://localhost:80").
constexpr std::uint32_t kAllowedOriginsTextLimit = 4095;
// A settings file is a few lines; nothing past this many bytes is read.
constexpr std::size_t kLargestConfigFile = 1 << 20;

// The program file's path cut at its last separator, followed by "config.ini"; just the
// separator and the name when the program's path cannot be found.
std::string ConfigFilePath();

// The private-profile reads: a text value of at most size - 1 bytes into a zeroed buffer,
// and an integer value; the default when the file, section or key is missing.
void ReadProfileString(const char* section, const char* key, const char* fallback, char* out,
                       std::uint32_t size, const std::string& path);
int ReadProfileInt(const char* section, const char* key, int fallback, const std::string& path);

// How a setting that must be taken whole or not at all was read.
enum class WholeRead {
    kRead,        // the value, whole
    kAbsent,      // no file, section or key
    kTooLong,     // longer than its limit
    kPastLimit,   // not found in the part of a larger file that is read
    kUnreadable,  // the file is there but cannot be read as text
};

// The whole value of a key, or why there is none.
WholeRead ReadWholeProfileString(const char* section, const char* key, std::uint32_t limit,
                                 const std::string& path, std::string* value);

// Looks the key up in the file's bytes as the program's own reader does; `cut` tells that the
// file goes on past them, so that its last, unfinished line is not taken.
WholeRead FindWholeValue(std::string content, bool cut, const char* section, const char* key,
                         std::uint32_t limit, std::string* value);

// Where the WebSocket endpoint listens.
struct BindSettings {
    char ip[kIpTextLimit + 2];
    std::uint16_t port;
};

BindSettings ReadBindSettings(const std::string& path);
// The comma-separated origins that may use the WebSocket endpoint, as config.ini sets them.
struct AllowedOriginsSetting {
    // Empty when every origin may.
    std::string list;
    // Why the setting could not be read whole; then no origin may, whatever the list says.
    std::wstring fault;
};

AllowedOriginsSetting ReadAllowedOrigins(const std::string& path);
// Whether requests are traced: "log" equal to exactly 1.
bool IsTraceLogConfigured(const std::string& path);

}  // namespace vorn
