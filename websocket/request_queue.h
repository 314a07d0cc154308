// The one reader of the endpoint: requests of every connection run one at a time, in the
// order they arrived, on a thread of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "websocket/card_watch.h"

namespace vorn {

// What the reader gives each request's text to, and the room it gives for the reply: the host
// wires in the read-card pipeline, tests wire in stand-ins. `execute` writes a NUL-terminated
// reply into `reply` and returns 0, or returns another value when it wrote none.
struct CommandHandler {
    std::function<int(const char* command, char* reply, std::int32_t capacity)> execute;
    std::int32_t reply_capacity = 0;
    // What watching the reader needs; without it nobody can watch.
    CardWatchHooks watch;

    // Whether it has a function and room for a reply; the queue takes no other.
    bool Usable() const { return execute && reply_capacity > 0; }
};

// Why a queue or a server refuses a handler that is not usable.
constexpr const char* kUnusableHandler = "a command handler needs a function and reply room";

// Hands requests to the command handler one after another. The reader driver is not
// re-entrant, so no two requests ever overlap inside the handler. A request that never
// returns (a hung driver) keeps its thread: the queue can then be given up without waiting,
// and whatever that thread still touches stays alive until it leaves.
// While any connection watches, the same thread looks for a card every kLookInterval, between
// the requests: a request waits for at most one look. A card that appears is read once with
// the watch's read command and its reply pushed to every watcher; when it goes, they are
// pushed the removed event.
class RequestQueue {
public:
    // The outcome of one request, for the connection that sent it.
    struct Finished {
        std::uint64_t connection;
        int result;         // the handler's result; a reply exists only for 0
        bool too_large;     // the reply text is longer than a frame may carry
        std::string frame;  // the reply as one final text frame, ready to send
        int reply_code;     // the "result" member of the reply, for the console
        bool push = false;  // not an answer to a request but a push to a watcher
    };

    // `wake` is called, from the queue's thread, whenever a request has finished. Throws
    // std::invalid_argument for a handler without a function or without room for a reply.
    RequestQueue(CommandHandler handler, std::function<void()> wake);
    // Stops without waiting: a thread still in the handler is left behind, and ends on its
    // own if the handler ever returns.
    ~RequestQueue();
    RequestQueue(const RequestQueue&) = delete;
    RequestQueue& operator=(const RequestQueue&) = delete;

    void Submit(std::uint64_t connection, std::string text);
    // Forgets the requests of a connection that has ended, unless one is running already.
    void Cancel(std::uint64_t connection);
    // Whether the handler came with what watching needs.
    bool CanWatch() const;
    // Adds a watcher; when a card lying there was pushed already, it is pushed that card's
    // document at once. Watching twice changes nothing.
    void Watch(std::uint64_t connection);
    // Removes a watcher, with the pushes for it not yet taken. Harmless for one that does
    // not watch.
    void Unwatch(std::uint64_t connection);
    // The requests finished and the pushes made since the last call, in the order they came.
    std::vector<Finished> TakeFinished();
    // Drops the requests not started yet and waits at most the given milliseconds for the
    // one running; may be called again to wait longer. True when the thread has ended.
    // Nothing finished after the first call is reported.
    bool Stop(std::uint32_t milliseconds);

private:
    struct State;
    std::shared_ptr<State> state_;
};

// The "result" member of a reply document; `fallback` when the text has none.
int ReplyResultCode(std::string_view reply, int fallback);

}  // namespace vorn
