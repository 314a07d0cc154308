// The reader thread looking for cards between the requests of other connections. What it
// pushes is driven end to end in tests/e2e_websocket/card_watch_e2e.py.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "websocket/request_queue.h"

using namespace vorn;

namespace {

using std::chrono::milliseconds;

TEST(WatchingQueue, LooksGoBetweenRequestsAndEndWithTheWatch) {
    // What the stand-in reader did, in order: "look", "release", or a request's text.
    std::mutex lock;
    std::vector<std::string> steps;
    auto log = [&](const std::string& step) {
        std::lock_guard<std::mutex> guard(lock);
        steps.push_back(step);
    };
    auto taken = [&] {
        std::lock_guard<std::mutex> guard(lock);
        return steps;
    };
    CommandHandler handler;
    handler.reply_capacity = 16;
    handler.execute = [&](const char* command, char* reply, std::int32_t) {
        log(command);
        std::this_thread::sleep_for(milliseconds(40));  // as long as a quick read
        std::snprintf(reply, 16, "%s", command);
        return 0;
    };
    handler.watch.look = [&] {
        log("look");
        return false;
    };
    handler.watch.release = [&] { log("release"); };
    RequestQueue queue(handler, nullptr);
    queue.Watch(1);
    queue.Watch(2);
    constexpr std::size_t kRequests = 12;
    for (std::size_t i = 0; i < kRequests; ++i) {
        queue.Submit(3, "r" + std::to_string(i));
    }
    std::size_t finished = 0;
    for (int round = 0; round < 1000 && finished < kRequests; ++round) {
        finished += queue.TakeFinished().size();
        std::this_thread::sleep_for(milliseconds(5));
    }
    ASSERT_EQ(finished, kRequests);

    // The requests keep their order; looks go on between them, never two in a row.
    std::vector<std::string> requests;
    int looks_between = 0;
    std::string before;
    for (const std::string& step : taken()) {
        if (requests.size() == kRequests) {
            break;
        }
        if (step == "look") {
            EXPECT_NE(before, "look");
            looks_between += requests.empty() ? 0 : 1;
        } else {
            EXPECT_EQ(step, "r" + std::to_string(requests.size()));
            requests.push_back(step);
        }
        before = step;
    }
    EXPECT_EQ(requests.size(), kRequests);
    EXPECT_GE(looks_between, 1);

    // With nobody watching, what the looks held is let go and the looks end.
    queue.Unwatch(1);
    queue.Unwatch(2);
    std::this_thread::sleep_for(milliseconds(100));
    const std::vector<std::string> after_watch = taken();
    EXPECT_EQ(after_watch.back(), "release");
    std::this_thread::sleep_for(milliseconds(500));
    EXPECT_EQ(taken(), after_watch);
}

}  // namespace
