// The reader thread of the endpoint and the hand-over of requests and replies.
#include "websocket/request_queue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

#include "websocket/frame.h"

namespace vorn {

namespace {

// How the reply document writes its result code.
constexpr const char* kResultMember = "\"result\"";

}  // namespace

// Everything the reader thread touches. It is shared with that thread, so a thread left
// behind in a hung handler never works on freed memory.
struct RequestQueue::State {
    struct Pending {
        std::uint64_t connection;
        std::string text;
    };

    CommandHandler handler;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Pending> pending;
    std::vector<Finished> finished;
    std::function<void()> wake;
    bool stopping = false;
    bool ended = false;
    std::thread thread;
    std::vector<char> reply;

    void Run();
    Finished Answer(const Pending& request);
};

RequestQueue::Finished RequestQueue::State::Answer(const Pending& request) {
    std::memset(reply.data(), 0, reply.size());
    Finished done{request.connection,
                  handler.execute(request.text.c_str(), reply.data(), handler.reply_capacity),
                  false, std::string(), 0};
    if (done.result != 0) {
        return done;
    }
    // Looked for only as far as the longest text allowed, so an unterminated one is refused.
    const void* end = std::memchr(reply.data(), 0, std::min(reply.size(), kLargestReply + 1));
    if (end == nullptr) {
        done.too_large = true;
        return done;
    }
    const auto length = static_cast<std::size_t>(static_cast<const char*>(end) - reply.data());
    std::uint8_t header[kLongestFrameHeader];
    const std::size_t header_size = WriteFrameHeader(length, header);
    done.frame.reserve(header_size + length);
    done.frame.append(reinterpret_cast<const char*>(header), header_size);
    done.frame.append(reply.data(), length);
    done.reply_code = ReplyResultCode(std::string_view(reply.data(), length), 0);
    return done;
}

void RequestQueue::State::Run() {
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        changed.wait(guard, [this] { return stopping || !pending.empty(); });
        if (stopping) {
            break;
        }
        Pending request = std::move(pending.front());
        pending.pop_front();
        guard.unlock();
        Finished done = Answer(request);
        guard.lock();
        if (stopping) {
            break;
        }
        finished.push_back(std::move(done));
        if (wake) {
            wake();
        }
    }
    ended = true;
    changed.notify_all();
}

RequestQueue::RequestQueue(CommandHandler handler, std::function<void()> wake)
    : state_(std::make_shared<State>()) {
    if (!handler.Usable()) {
        throw std::invalid_argument(kUnusableHandler);
    }
    state_->reply.assign(static_cast<std::size_t>(handler.reply_capacity), '\0');
    state_->handler = std::move(handler);
    state_->wake = std::move(wake);
    std::shared_ptr<State> state = state_;
    state_->thread = std::thread([state] { state->Run(); });
}

RequestQueue::~RequestQueue() {
    if (!Stop(0)) {
        state_->thread.detach();
    }
}

void RequestQueue::Submit(std::uint64_t connection, std::string text) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->pending.push_back(State::Pending{connection, std::move(text)});
    state_->changed.notify_all();
}

void RequestQueue::Cancel(std::uint64_t connection) {
    std::lock_guard<std::mutex> guard(state_->lock);
    std::erase_if(state_->pending,
                  [connection](const State::Pending& p) { return p.connection == connection; });
}

std::vector<RequestQueue::Finished> RequestQueue::TakeFinished() {
    std::lock_guard<std::mutex> guard(state_->lock);
    std::vector<Finished> done;
    done.swap(state_->finished);
    return done;
}

bool RequestQueue::Stop(std::uint32_t milliseconds) {
    std::unique_lock<std::mutex> guard(state_->lock);
    if (!state_->thread.joinable()) {
        return state_->ended;
    }
    state_->stopping = true;
    state_->pending.clear();
    state_->finished.clear();
    state_->wake = nullptr;
    state_->changed.notify_all();
    const bool ended = state_->changed.wait_for(guard, std::chrono::milliseconds(milliseconds),
                                                [this] { return state_->ended; });
    guard.unlock();
    if (ended) {
        state_->thread.join();
    }
    return ended;
}

int ReplyResultCode(std::string_view reply, int fallback) {
    std::size_t member = reply.find(kResultMember);
    if (member == std::string_view::npos) {
        return fallback;
    }
    std::size_t at = reply.find(':', member);
    if (at == std::string_view::npos) {
        return fallback;
    }
    for (++at; at < reply.size() && reply[at] == ' '; ++at) {
    }
    bool negative = at < reply.size() && reply[at] == '-';
    at += negative ? 1 : 0;
    long long value = 0;
    std::size_t digits = 0;
    for (; at < reply.size() && reply[at] >= '0' && reply[at] <= '9' && digits < 10; ++at) {
        value = value * 10 + (reply[at] - '0');
        ++digits;
    }
    if (digits == 0) {
        return fallback;
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace vorn
