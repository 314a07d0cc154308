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
    using Clock = std::chrono::steady_clock;
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
    CardWatch watch;
    // Whether the reader thread has seen anybody watch, and when it looks next.
    bool watching = false;
    Clock::time_point next_look;

    void Run();
    Finished Answer(const Pending& request);
    bool LookDue() const { return watching && Clock::now() >= next_look; }
    bool HasWork() const {
        return stopping || watch.Active() != watching || LookDue() || !pending.empty();
    }
    // Notices a watch that started or ended since the last round; false when stopping.
    bool FollowWatchers(std::unique_lock<std::mutex>& guard);
    // One look for a card and what it calls for; false when stopping.
    bool LookForCard(std::unique_lock<std::mutex>& guard);
    void PushToWatchers(const std::string& frame, int reply_code);
    void Note(std::unique_lock<std::mutex>& guard, WatchEvent event) {
        Unlocked(guard, handler.watch.note, event);
    }
    // Runs a host function without the lock, so that the endpoint is never held up by it.
    template <typename Function, typename... Arguments>
    void Unlocked(std::unique_lock<std::mutex>& guard, const Function& function,
                  Arguments... arguments) {
        if (function) {
            guard.unlock();
            function(arguments...);
            guard.lock();
        }
    }
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
    done.frame = TextFrame(std::string_view(reply.data(), length));
    done.reply_code = ReplyResultCode(std::string_view(reply.data(), length), 0);
    return done;
}

void RequestQueue::State::PushToWatchers(const std::string& frame, int reply_code) {
    for (std::uint64_t connection : watch.Watchers()) {
        finished.push_back(Finished{connection, 0, false, frame, reply_code, true});
    }
    if (wake && watch.Active()) {
        wake();
    }
}

bool RequestQueue::State::FollowWatchers(std::unique_lock<std::mutex>& guard) {
    if (watch.Active() == watching) {
        return !stopping;
    }
    watching = watch.Active();
    if (watching) {
        // A card already lying there is found at once.
        next_look = Clock::now();
        Note(guard, WatchEvent::kStarted);
    } else {
        watch.Forget();
        Unlocked(guard, handler.watch.release);
        Note(guard, WatchEvent::kStopped);
    }
    return !stopping;
}

bool RequestQueue::State::LookForCard(std::unique_lock<std::mutex>& guard) {
    guard.unlock();
    const bool present = handler.watch.look();
    guard.lock();
    next_look = Clock::now() + kLookInterval;
    if (stopping || !watch.Active()) {
        return !stopping;
    }
    switch (watch.AfterLook(present)) {
        case CardWatch::Step::kNothing:
            return true;
        case CardWatch::Step::kPushRemoved:
            PushToWatchers(TextFrame(kRemovedEvent), 0);
            Note(guard, WatchEvent::kCardTaken);
            return !stopping;
        case CardWatch::Step::kRead:
            break;
    }
    Note(guard, WatchEvent::kCardLaid);
    if (stopping) {
        return false;
    }
    guard.unlock();
    Finished done = Answer(Pending{0, handler.watch.read_command});
    guard.lock();
    if (stopping) {
        return false;
    }
    // A read that gave no document (the handler refused, the reply too large) still counts:
    // the card is not read again while it lies there.
    const bool sendable = done.result == 0 && !done.too_large;
    watch.Seen(sendable ? done.frame : std::string());
    if (sendable) {
        PushToWatchers(done.frame, done.reply_code);
    }
    return true;
}

void RequestQueue::State::Run() {
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        if (watching) {
            changed.wait_until(guard, next_look, [this] { return HasWork(); });
        } else {
            changed.wait(guard, [this] { return HasWork(); });
        }
        if (!FollowWatchers(guard)) {
            break;
        }
        // A look that is due goes before the next request, so looks go on while requests
        // queue, and no request waits for more than one.
        if (LookDue()) {
            if (!LookForCard(guard)) {
                break;
            }
            continue;
        }
        if (pending.empty()) {
            continue;
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
    // What the looks held is let go on this thread, the only one that touches the driver.
    if (watching) {
        watching = false;
        Unlocked(guard, handler.watch.release);
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

bool RequestQueue::CanWatch() const {
    return state_->handler.watch.Usable();
}

void RequestQueue::Watch(std::uint64_t connection) {
    std::lock_guard<std::mutex> guard(state_->lock);
    if (state_->stopping || !CanWatch()) {
        return;
    }
    std::string document;
    if (state_->watch.Add(connection, &document) && !document.empty()) {
        state_->finished.push_back(Finished{connection, 0, false, std::move(document), 0, true});
        if (state_->wake) {
            state_->wake();
        }
    }
    state_->changed.notify_all();
}

void RequestQueue::Unwatch(std::uint64_t connection) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->watch.Remove(connection);
    std::erase_if(state_->finished, [connection](const Finished& done) {
        return done.push && done.connection == connection;
    });
    state_->changed.notify_all();
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
