// The reader thread watching for cards between the requests of other connections.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "websocket/frame.h"
#include "websocket/request_queue.h"

using namespace vorn;

namespace {

using std::chrono::milliseconds;

// What the stand-in reader did, in order: "look", "release", or the text of a request.
struct ReaderLog {
    std::mutex lock;
    std::vector<std::string> steps;
    std::atomic<bool> card{false};

    void Add(const std::string& step) {
        std::lock_guard<std::mutex> guard(lock);
        steps.push_back(step);
    }
    std::vector<std::string> Steps() {
        std::lock_guard<std::mutex> guard(lock);
        return steps;
    }
    int Count(const std::string& step) {
        int count = 0;
        for (const std::string& s : Steps()) {
            count += s == step ? 1 : 0;
        }
        return count;
    }
};

class WatchingQueue : public ::testing::Test {
protected:
    WatchingQueue() : queue_(Handler(), nullptr) {}

    CommandHandler Handler() {
        CommandHandler handler;
        handler.reply_capacity = 64;
        // Each request takes a while, as a read does; the reply names the request.
        handler.execute = [this](const char* command, char* reply, std::int32_t) {
            log_.Add(command);
            std::this_thread::sleep_for(milliseconds(40));
            std::snprintf(reply, 64, "{\"result\":0,\"of\":\"%s\"}", command);
            return 0;
        };
        handler.watch.look = [this] {
            log_.Add("look");
            return log_.card.load();
        };
        handler.watch.read_command = "read by watch";
        handler.watch.release = [this] { log_.Add("release"); };
        return handler;
    }

    // Waits until `count` more finished entries came, and returns them.
    std::vector<RequestQueue::Finished> Take(std::size_t count) {
        std::vector<RequestQueue::Finished> taken;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (taken.size() < count && std::chrono::steady_clock::now() < deadline) {
            for (auto& done : queue_.TakeFinished()) {
                taken.push_back(std::move(done));
            }
            std::this_thread::sleep_for(milliseconds(5));
        }
        EXPECT_EQ(taken.size(), count);
        return taken;
    }

    ReaderLog log_;
    RequestQueue queue_;
};

TEST_F(WatchingQueue, LooksGoBetweenRequestsAndEachCardIsReadOnce) {
    ASSERT_TRUE(queue_.CanWatch());
    queue_.Watch(1);
    queue_.Watch(2);
    queue_.Watch(2);
    constexpr int kRequests = 12;
    for (int i = 0; i < kRequests; ++i) {
        queue_.Submit(3, "r" + std::to_string(i));
    }
    for (const auto& done : Take(kRequests)) {
        EXPECT_FALSE(done.push);
    }
    // The requests keep their order; looks go on between them, never two in a row.
    std::vector<std::string> requests;
    int looks_between = 0;
    int looks_in_a_row = 0;
    for (const std::string& step : log_.Steps()) {
        if (step == "look") {
            looks_between += requests.empty() ? 0 : 1;
            EXPECT_LT(++looks_in_a_row, 2);
        } else {
            looks_in_a_row = 0;
            requests.push_back(step);
        }
        if (requests.size() == kRequests) {
            break;
        }
    }
    ASSERT_EQ(requests.size(), static_cast<std::size_t>(kRequests));
    for (int i = 0; i < kRequests; ++i) {
        EXPECT_EQ(requests[i], "r" + std::to_string(i));
    }
    EXPECT_GE(looks_between, 1);

    // A card laid down is read once, and both watchers get the same push.
    log_.card = true;
    const auto laid = Take(2);
    EXPECT_TRUE(laid[0].push && laid[1].push);
    EXPECT_EQ(laid[0].connection + laid[1].connection, 3u);
    EXPECT_EQ(laid[0].frame, TextFrame("{\"result\":0,\"of\":\"read by watch\"}"));
    EXPECT_EQ(laid[1].frame, laid[0].frame);
    std::this_thread::sleep_for(milliseconds(500));
    EXPECT_EQ(log_.Count("read by watch"), 1);
    EXPECT_TRUE(queue_.TakeFinished().empty());
    // A newcomer gets that document at once, without another read.
    queue_.Watch(4);
    const auto late = Take(1);
    EXPECT_EQ(late[0].connection, 4u);
    EXPECT_EQ(late[0].frame, laid[0].frame);
    EXPECT_EQ(log_.Count("read by watch"), 1);

    // One who left hears nothing more; the others hear that the card went.
    queue_.Unwatch(2);
    log_.card = false;
    const auto removed = Take(2);
    for (const auto& done : removed) {
        EXPECT_TRUE(done.push);
        EXPECT_NE(done.connection, 2u);
        EXPECT_EQ(done.frame, TextFrame(kRemovedEvent));
    }
    // With nobody watching, what the looks held is let go and the looks end.
    queue_.Unwatch(1);
    queue_.Unwatch(4);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(log_.Steps().back(), "release");
    const int looks = log_.Count("look");
    std::this_thread::sleep_for(milliseconds(500));
    EXPECT_EQ(log_.Count("look"), looks);
}

}  // namespace
