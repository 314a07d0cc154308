// Taking the opening request and the frames out of a connection's received bytes.
#include "websocket/client_stream.h"

#include <cstring>
#include <string_view>

namespace vorn {

namespace {

constexpr std::string_view kRequestEnds[] = {"\r\n\r\n", "\n\n"};

}  // namespace

void ClientStream::Received(std::size_t count) {
    size_ += count < RoomSize() ? count : RoomSize();
}

void ClientStream::Consume(std::size_t count) {
    std::memmove(buffer_, buffer_ + count, size_ - count);
    size_ -= count;
}

ClientStream::Request ClientStream::TakeRequest(std::string* request) {
    std::string_view text(reinterpret_cast<const char*>(buffer_), size_);
    std::size_t end = std::string_view::npos;
    for (std::string_view ending : kRequestEnds) {
        std::size_t found = text.find(ending);
        if (found != std::string_view::npos && (end == std::string_view::npos || found < end)) {
            end = found + ending.size();
        }
    }
    if (end == std::string_view::npos) {
        return size_ == kCapacity ? Request::kTooLarge : Request::kIncomplete;
    }
    request->assign(text.substr(0, end));
    Consume(end);
    return Request::kComplete;
}

FrameStatus ClientStream::TakeFrame(std::string* text) {
    FrameExtent extent;
    FrameStatus status = ParseFrame(buffer_, size_, kCapacity, &extent);
    if (status == FrameStatus::kMessage || status == FrameStatus::kPing ||
        status == FrameStatus::kPong || status == FrameStatus::kClose) {
        *text = UnmaskedPayload(buffer_, extent);
        Consume(extent.Size());
    }
    return status;
}

}  // namespace vorn
