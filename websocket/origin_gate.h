// The origin check of the WebSocket endpoint's handshakes, with its refusals logged.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "websocket/origin_policy.h"
#include "websocket/report_limiter.h"

namespace vorn {

// Applies the allowed origins to each handshake and reports the refusals without letting a
// hostile page flood the system's log.
class OriginGate {
public:
    // Where refusals are told, by the host that configures the gate.
    struct Reporting {
        // The trace log, when tracing is switched on.
        std::function<void(const wchar_t* message)> trace;
        // The service's event log or syslog.
        std::function<void(const wchar_t* message)> report;
    };

    static constexpr std::chrono::minutes kReportInterval{1};
    // Distinct origins remembered within one interval; refusals of further origins in that
    // interval are not reported.
    static constexpr std::size_t kMostOriginsRemembered = 256;
    // Longest origin text repeated in a log line.
    static constexpr std::size_t kLongestOriginShown = 128;

    explicit OriginGate(ReportLimiter::Clock clock = std::chrono::steady_clock::now);

    // The list applied from now on, and where refusals go (an empty function: nowhere).
    void Configure(OriginPolicy policy, Reporting reporting);
    // True when the handshake in the first `length` bytes of the request may go on. A refusal
    // is told to the trace and reported at most once per origin and interval, with the count
    // of those not told; the caller answers kOriginRefusedResponse and closes.
    bool Admits(const char* request, std::size_t length);

private:
    std::mutex lock_;
    OriginPolicy policy_;
    Reporting reporting_;
    ReportLimiter limiter_;
};

// The origin as it may appear in a log or console line: printable ASCII only (any other byte
// becomes "?", so no control character or escape sequence gets through), and not too long.
std::wstring PrintableOrigin(std::string_view origin);

}  // namespace vorn
