#include "websocket/card_watch.h"

#include <utility>

namespace vorn {

bool CardWatch::Add(std::uint64_t connection, std::string* document) {
    if (!watchers_.insert(connection).second) {
        return false;
    }
    if (card_seen_ && document != nullptr) {
        *document = document_;
    }
    return true;
}

void CardWatch::Remove(std::uint64_t connection) {
    watchers_.erase(connection);
}

CardWatch::Step CardWatch::AfterLook(bool card_present) {
    if (card_present) {
        return card_seen_ ? Step::kNothing : Step::kRead;
    }
    if (!card_seen_) {
        return Step::kNothing;
    }
    Forget();
    return Step::kPushRemoved;
}

void CardWatch::Seen(std::string frame) {
    card_seen_ = true;
    document_ = std::move(frame);
}

void CardWatch::Forget() {
    card_seen_ = false;
    document_.clear();
}

}  // namespace vorn
