// Watching the reader for pages: the messages and events of a watch, and what the reader
// thread remembers of the card lying there.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <string>

namespace vorn {

// The texts a connection sends to start and stop watching, and the events it is sent.
constexpr const char* kWatchMessage = "watch";
constexpr const char* kUnwatchMessage = "unwatch";
constexpr const char* kWatchingEvent = "{\"event\":\"watching\"}";
constexpr const char* kUnwatchedEvent = "{\"event\":\"unwatched\"}";
constexpr const char* kRemovedEvent = "{\"event\":\"removed\"}";

// How long the reader thread rests between two looks for a card while anybody watches.
constexpr std::chrono::milliseconds kLookInterval{200};

// What the host is told as a watch goes on.
enum class WatchEvent { kStarted, kStopped, kCardLaid, kCardTaken };

// What the endpoint needs from its host to watch the reader; every function runs on the
// reader thread. Without a look, `watch` is handed to the command handler like any text.
struct CardWatchHooks {
    // Looks for a card with the driver's find call alone: true when one lies on the reader.
    std::function<bool()> look;
    // The request text that reads the card, exactly as a page's request would.
    std::string read_command;
    // Called when nobody watches any more, so that what the looks hold is let go.
    std::function<void()> release;
    // Told when the watch starts and stops, and of each card laid down and taken away.
    std::function<void(WatchEvent)> note;

    bool Usable() const { return static_cast<bool>(look); }
};

// Who watches, and the document pushed for the card on the reader. Not thread-safe: the
// request queue calls it under its lock.
class CardWatch {
public:
    // What the reader thread does after a look.
    enum class Step { kNothing, kRead, kPushRemoved };

    // Adds a watcher; false when it watched already. When a card lying there was pushed
    // already, `document` gets that push so that the newcomer sees it without a new read.
    bool Add(std::uint64_t connection, std::string* document);
    void Remove(std::uint64_t connection);
    bool Active() const { return !watchers_.empty(); }
    const std::set<std::uint64_t>& Watchers() const { return watchers_; }

    Step AfterLook(bool card_present);
    // The card a look found was read; `frame` is what every watcher was pushed (empty when
    // the read gave no document). That card is not read again until it was taken away.
    void Seen(std::string frame);
    // Nobody watches: whatever lies on the reader is new to the next watch.
    void Forget();

private:
    std::set<std::uint64_t> watchers_;
    bool card_seen_ = false;
    std::string document_;
};

}  // namespace vorn
