// The origin check of the WebSocket endpoint's handshakes, with its refusals logged.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>

#include "websocket/origin_policy.h"
#include "websocket/report_limiter.h"

// Applies the allowed origins to each handshake and reports the refusals without letting a
// hostile page flood the system's log.
class OriginGate {
public:
    // Where refusals are reported: the service's event log or syslog.
    using RefusalNotifier = void (*)(const wchar_t* message);

    static constexpr std::chrono::minutes kReportInterval{1};
    // Distinct origins remembered within one interval; refusals of further origins in that
    // interval are not reported.
    static constexpr std::size_t kMostOriginsRemembered = 256;
    // Longest origin text repeated in a log line.
    static constexpr std::size_t kLongestOriginShown = 128;

    explicit OriginGate(ReportLimiter::Clock clock = std::chrono::steady_clock::now);

    // The list applied from now on, and where refusals go (null: nowhere).
    void Configure(OriginPolicy policy, RefusalNotifier notifier);
    // True when the handshake in the first `length` bytes of the request may go on. A refusal
    // is written to the trace log when tracing is configured, and to the notifier at most
    // once per origin and interval; the caller answers kOriginRefusedResponse and closes.
    bool Admits(const char* request, std::size_t length);

private:
    std::mutex lock_;
    OriginPolicy policy_;
    RefusalNotifier notifier_;
    ReportLimiter limiter_;
};
