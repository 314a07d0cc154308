// Remembering when each key was last reported.
#include "websocket/report_limiter.h"

#include <utility>

namespace vorn {

ReportLimiter::ReportLimiter(std::chrono::steady_clock::duration interval, std::size_t most_keys,
                             Clock clock)
    : interval_(interval), most_keys_(most_keys), clock_(std::move(clock)) {}

bool ReportLimiter::ShouldReport(const std::string& key) {
    std::lock_guard<std::mutex> hold(lock_);
    auto now = clock_();
    auto found = last_reported_.find(key);
    if (found != last_reported_.end()) {
        if (now - found->second < interval_) {
            return false;
        }
        found->second = now;
        return true;
    }
    if (last_reported_.size() >= most_keys_) {
        for (auto entry = last_reported_.begin(); entry != last_reported_.end();) {
            entry = now - entry->second >= interval_ ? last_reported_.erase(entry) : ++entry;
        }
        if (last_reported_.size() >= most_keys_) {
            return false;
        }
    }
    last_reported_.emplace(key, now);
    return true;
}

}  // namespace vorn
