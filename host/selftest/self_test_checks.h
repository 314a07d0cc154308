// The single checks of the self-test, each giving one line of the checklist.
#pragma once

#include <cstdint>
#include <string>

#include "host/selftest/self_test_platform.h"
#include "request/config.h"

namespace vorn {

// How a line of the checklist ends: needed for a read and fine, worth knowing, broken, or
// not tried because of a line before it.
enum class Verdict { kOk, kWarn, kFail, kSkip };

struct CheckLine {
    Verdict verdict = Verdict::kOk;
    std::wstring subject;
    std::wstring detail;
    // The exit-code bit this line adds when it fails.
    int failure_bit = 0;
};

// The line as printed: "[ OK ] subject: detail".
std::wstring FormatCheckLine(const CheckLine& line);

CheckLine CheckDriverLibrary(const std::string& directory);
CheckLine CheckPhotoDecoder(const std::string& directory);
CheckLine CheckTemporaryFolder();

// The settings that matter to support staff, as config.ini sets them or by default.
struct SelfTestSettings {
    BindSettings bind{};
    bool trace_log = false;
    AllowedOriginsSetting allowed_origins;
};

// Reads config.ini beside the program; the line tells what it sets.
CheckLine CheckConfig(const std::string& path, SelfTestSettings* settings);

CheckLine CheckService(const ServiceReport& report);

// What answers on the WebSocket port.
enum class PortAnswer {
    kNothing,        // nobody listens
    kWebSocket,      // a WebSocket endpoint that accepts the handshake
    kRefusedOrigin,  // this program's endpoint, refusing the origin sent
    kOther,          // a listener that answers something else
    kSilent,         // a listener that does not answer in time
};

// Sorts the answer to an opening handshake: the switching response with the right accept
// value, the origin refusal, or anything else.
PortAnswer ClassifyHandshakeAnswer(const std::string& response, const std::string& accept);

// Connects to the configured address and port and tries an opening handshake, sending the
// first allowed origin when the settings list any.
CheckLine CheckPort(const SelfTestSettings& settings, const ServiceReport& report);

}  // namespace vorn
