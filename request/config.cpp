// The settings of "config.ini" and their defaults.
#include "request/config.h"

#include <string_view>

#include "platform/module_path.h"
#include "request/ini_file.h"

namespace vorn {

namespace {

constexpr const char* kConfigFileName = "config.ini";
constexpr const wchar_t* kOriginsSetting = L"[Security] allowed_origins";
constexpr std::size_t kBytesPerMebibyte = 1 << 20;
// Text encodings the program's own reader does not read: the file is no text to it.
constexpr std::string_view kUtf16Marks[] = {"\xFF\xFE", "\xFE\xFF"};

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

WholeRead FindWholeValue(std::string content, bool cut, const char* section, const char* key,
                         std::uint32_t limit, std::string* value) {
    for (std::string_view mark : kUtf16Marks) {
        if (content.compare(0, mark.size(), mark) == 0) {
            return WholeRead::kUnreadable;
        }
    }
    if (cut) {
        std::size_t last_line_end = content.rfind('\n');
        content.resize(last_line_end == std::string::npos ? 0 : last_line_end + 1);
    }
    if (!FindIniValue(content, section, key, value)) {
        return cut ? WholeRead::kPastLimit : WholeRead::kAbsent;
    }
    return value->size() > limit ? WholeRead::kTooLong : WholeRead::kRead;
}

AllowedOriginsSetting ReadAllowedOrigins(const std::string& path) {
    AllowedOriginsSetting setting;
    switch (ReadWholeProfileString(kSecuritySection, kConfigKeyAllowedOrigins,
                                   kAllowedOriginsTextLimit, path, &setting.list)) {
        case WholeRead::kRead:
            return setting;
        case WholeRead::kAbsent:
            break;
        case WholeRead::kTooLong:
            setting.fault = std::wstring(kOriginsSetting) + L" in config.ini is longer than " +
                            std::to_wstring(kAllowedOriginsTextLimit) + L" characters";
            break;
        case WholeRead::kPastLimit:
            setting.fault = std::wstring(kOriginsSetting) + L" is not within the first " +
                            std::to_wstring(kLargestConfigFile / kBytesPerMebibyte) +
                            L" MiB of config.ini, the part that is read";
            break;
        case WholeRead::kUnreadable:
            setting.fault = L"config.ini cannot be read as text, so " +
                            std::wstring(kOriginsSetting) + L" is unknown";
            break;
    }
    setting.list.clear();
    return setting;
}

bool IsTraceLogConfigured(const std::string& path) {
    return ReadProfileInt(kConfigSection, kConfigKeyLog, kDefaultLog, path) == 1;
}

}  // namespace vorn
