// The bytes of one client connection, taken apart as they arrive: first the opening request,
// then the frames, whatever pieces the network cut them into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "websocket/frame.h"

namespace vorn {

// What a client has sent and the server has not used yet, in a buffer of fixed size.
class ClientStream {
public:
    // An opening request and a frame, with the terminator written after its payload, must
    // each fit into this many bytes.
    static constexpr std::size_t kCapacity = kReceiveBufferSize;

    enum class Request {
        kIncomplete,  // its blank line has not come yet
        kComplete,    // taken out of the stream; what followed it stays for the frames
        kTooLarge,    // the buffer is full and the request has not ended
    };

    // Where the next bytes from the socket go, and how many fit.
    std::uint8_t* Room() { return buffer_ + size_; }
    std::size_t RoomSize() const { return kCapacity - size_; }
    void Received(std::size_t count);

    // The opening request once its header block has ended with a blank line (CR LF CR LF,
    // or LF LF from a lenient client).
    Request TakeRequest(std::string* request);
    // The next frame: a message, ping, pong or close frame with its unmasked payload, which
    // leaves the stream; kIncomplete while more bytes must come; or why it can never be read.
    FrameStatus TakeFrame(std::string* text);

private:
    void Consume(std::size_t count);

    std::uint8_t buffer_[kCapacity] = {};
    std::size_t size_ = 0;
};

}  // namespace vorn
