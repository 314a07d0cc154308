// Remembering when each key was last reported.
#include "websocket/report_limiter.h"

#include <utility>

namespace vorn {

ReportLimiter::ReportLimiter(std::chrono::steady_clock::duration interval, std::size_t most_keys,
                             Clock clock)
    : interval_(interval), most_keys_(most_keys), clock_(std::move(clock)) {}

bool ReportLimiter::ShouldReport(const std::string& key, std::size_t* held_back) {
    std::lock_guard<std::mutex> hold(lock_);
    auto now = clock_();
    auto found = keys_.find(key);
    if (found != keys_.end()) {
        if (now - found->second.last_reported < interval_) {
            ++found->second.held_back;
            return false;
        }
        if (held_back != nullptr) {
            *held_back = found->second.held_back;
        }
        found->second = KeyState{now};
        return true;
    }
    if (keys_.size() >= most_keys_) {
        for (auto entry = keys_.begin(); entry != keys_.end();) {
            entry = now - entry->second.last_reported >= interval_ ? keys_.erase(entry) : ++entry;
        }
        if (keys_.size() >= most_keys_) {
            return false;
        }
    }
    keys_.emplace(key, KeyState{now});
    if (held_back != nullptr) {
        *held_back = 0;
    }
    return true;
}

}  // namespace vorn
