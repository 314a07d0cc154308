// Lets a repeated report through at most once per key and interval.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace vorn {

// Keeps a client that repeats the same fault from flooding a log: each key is reported at
// most once per interval, and at most a bounded number of keys is remembered at a time.
class ReportLimiter {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    ReportLimiter(std::chrono::steady_clock::duration interval, std::size_t most_keys,
                  Clock clock = std::chrono::steady_clock::now);

    // True when the key may be reported now, which starts its interval. While as many other
    // keys as remembered are still within their interval, a new key is not reported either.
    // `held_back`, when given, receives on a report how many times the key was not reported
    // since its last report.
    bool ShouldReport(const std::string& key, std::size_t* held_back = nullptr);

private:
    struct KeyState {
        std::chrono::steady_clock::time_point last_reported;
        std::size_t held_back = 0;
    };

    std::chrono::steady_clock::duration interval_;
    std::size_t most_keys_;
    Clock clock_;
    std::mutex lock_;
    std::unordered_map<std::string, KeyState> keys_;
};

}  // namespace vorn
