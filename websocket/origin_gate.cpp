// Refusing handshakes of origins that are not allowed, and saying so in the logs.
#include "websocket/origin_gate.h"

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace vorn {

namespace {

constexpr const wchar_t* kRefusedOriginFormat =
    L"WebSocket handshake refused: origin \"%ls\" is not among the allowed origins.";
constexpr const wchar_t* kRefusedWithoutOrigin =
    L"WebSocket handshake refused: the request names no single origin, and only listed "
    L"origins are allowed.";
constexpr const wchar_t* kRefusedEveryOriginFormat =
    L"WebSocket handshake refused: origin \"%ls\"; no origin is allowed, because the list of "
    L"allowed origins could not be read whole.";
constexpr const wchar_t* kHeldBackFormat =
    L" Since its last line, %llu more like it were not logged.";
constexpr std::size_t kMessageRoom = 512;

}  // namespace

std::wstring PrintableOrigin(std::string_view origin) {
    std::wstring text;
    for (char c : origin.substr(0, OriginGate::kLongestOriginShown)) {
        text += c >= 0x20 && c < 0x7F ? static_cast<wchar_t>(c) : L'?';
    }
    return text;
}

OriginGate::OriginGate(ReportLimiter::Clock clock)
    : limiter_(kReportInterval, kMostOriginsRemembered, std::move(clock)) {}

void OriginGate::Configure(OriginPolicy policy, Reporting reporting) {
    std::lock_guard<std::mutex> hold(lock_);
    policy_ = std::move(policy);
    reporting_ = std::move(reporting);
}

bool OriginGate::Admits(const char* request, std::size_t length) {
    std::vector<std::string> origins = RequestOrigins(request, length);
    Reporting reporting;
    bool refuses_every_origin = false;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (policy_.AllowsOrigins(origins)) {
            return true;
        }
        reporting = reporting_;
        refuses_every_origin = policy_.RefusesEveryOrigin();
    }
    // A request without an origin is remembered under the empty key, one that names several
    // under all of them together. A hostile page may repeat its refusal thousands of times a
    // second: each log hears of it once per interval, with the count of those left out.
    std::string key;
    for (const std::string& origin : origins) {
        key += (key.empty() ? "" : "\n") + origin.substr(0, kLongestOriginShown);
    }
    std::size_t held_back = 0;
    if ((!reporting.trace && !reporting.report) || !limiter_.ShouldReport(key, &held_back)) {
        return false;
    }
    wchar_t message[kMessageRoom] = {};
    std::wstring shown = origins.size() == 1 ? PrintableOrigin(origins.front()) : std::wstring();
    if (refuses_every_origin) {
        std::swprintf(message, kMessageRoom, kRefusedEveryOriginFormat, shown.c_str());
    } else if (origins.size() == 1) {
        std::swprintf(message, kMessageRoom, kRefusedOriginFormat, shown.c_str());
    } else {
        std::wcsncpy(message, kRefusedWithoutOrigin, kMessageRoom - 1);
    }
    if (held_back > 0) {
        std::size_t used = std::wcslen(message);
        std::swprintf(message + used, kMessageRoom - used, kHeldBackFormat,
                      static_cast<unsigned long long>(held_back));
    }
    if (reporting.trace) {
        reporting.trace(message);
    }
    if (reporting.report) {
        reporting.report(message);
    }
    return false;
}

}  // namespace vorn
