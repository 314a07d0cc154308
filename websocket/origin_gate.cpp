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
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (policy_.AllowsOrigins(origins)) {
            return true;
        }
        reporting = reporting_;
    }
    wchar_t message[kMessageRoom] = {};
    if (origins.size() == 1) {
        std::swprintf(message, kMessageRoom, kRefusedOriginFormat,
                      PrintableOrigin(origins.front()).c_str());
    } else {
        std::wcsncpy(message, kRefusedWithoutOrigin, kMessageRoom - 1);
    }
    if (reporting.trace) {
        reporting.trace(message);
    }
    // A request without an origin is remembered under the empty key, one that names several
    // under all of them together.
    std::string key;
    for (const std::string& origin : origins) {
        key += (key.empty() ? "" : "\n") + origin.substr(0, kLongestOriginShown);
    }
    if (reporting.report && limiter_.ShouldReport(key)) {
        reporting.report(message);
    }
    return false;
}

}  // namespace vorn
