// WebSocket frames (RFC 6455 section 5.2) as the endpoint reads and writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorn {

// Every request is read once into a buffer of this size; its frame, with the terminator
// written after the payload, must fit into it.
constexpr std::size_t kReceiveBufferSize = 2048;
// The longest reply text sent, and the frame header it needs.
constexpr std::size_t kLargestReply = 512000;
constexpr std::size_t kLongestFrameHeader = 10;
// The send buffer holds the largest reply together with its header.
constexpr std::size_t kSendBufferSize = kLargestReply + kLongestFrameHeader;

constexpr std::uint8_t kOpcodeMask = 0x0F;
constexpr std::uint8_t kOpcodeText = 0x01;
constexpr std::uint8_t kOpcodeBinary = 0x02;
constexpr std::uint8_t kOpcodeClose = 0x08;
constexpr std::uint8_t kOpcodePing = 0x09;
constexpr std::uint8_t kOpcodePong = 0x0A;
// A control frame (close, ping, pong) carries at most this many payload bytes.
constexpr std::size_t kLongestControlPayload = 125;

// The status codes of a close frame (RFC 6455 section 7.4.1) the endpoint sends.
constexpr std::uint16_t kCloseNormal = 1000;
constexpr std::uint16_t kCloseGoingAway = 1001;
constexpr std::uint16_t kCloseProtocolError = 1002;
constexpr std::uint16_t kCloseUnsupportedData = 1003;
constexpr std::uint16_t kCloseTooBig = 1009;

// What one received frame turned out to be.
enum class FrameStatus {
    kMessage,        // a final text frame: a request
    kPing,           // to be answered with a pong carrying the same payload
    kPong,           // nothing to answer
    kClose,          // the client closes the connection; the payload may hold a status code
    kNotMasked,      // clients must mask; this one did not
    kIncomplete,     // the header or payload goes past the bytes received
    kTooLarge,       // header, payload and terminator do not fit the receive buffer
    kBinary,         // a binary message, which no request is
    kFragmented,     // the first frame of a message in several frames, which no request is
    kProtocolError,  // reserved bits or opcode, a continuation with no message begun, or a
                     // control frame that is fragmented or longer than 125 bytes
};

// The close status that ends a connection on a frame of this kind; 0 for the kinds that do
// not end it (a message, a ping or pong, an incomplete frame, or the client's own close).
std::uint16_t CloseCodeFor(FrameStatus status);
// The status code to answer a client's close frame with: its own when it may be sent back,
// 1000 when it names none, 1002 for a payload no close frame may carry.
std::uint16_t CloseReplyCode(const std::string& payload);

// Where the payload of a complete frame lies in the bytes received.
struct FrameExtent {
    std::size_t header;  // bytes before the payload, masking key included
    std::size_t length;  // payload bytes
    std::size_t Size() const { return header + length; }
};

// Looks at the frame at the start of `buffer` without changing anything: its kind with its
// extent when it is a complete message, ping, pong or close frame, kIncomplete when more
// bytes must come first, or why it can never be read. A frame counts as too large when it
// and a terminator after it would not fit into `capacity` bytes.
FrameStatus ParseFrame(const std::uint8_t* buffer, std::size_t received, std::size_t capacity,
                       FrameExtent* extent);
// The unmasked payload of a frame that ParseFrame found complete.
std::string UnmaskedPayload(const std::uint8_t* buffer, const FrameExtent& extent);

// Takes the frame at the start of `buffer`, of which `received` bytes were read into a
// buffer of `capacity` bytes. For a message, unmasks the payload where it lies, writes a
// zero byte after it and points `text` at it; every other kind is left as it is. Never reads
// or writes outside the buffer.
FrameStatus UnwrapFrame(std::uint8_t* buffer, std::size_t received, std::size_t capacity,
                        char** text);

// Writes the header of a final, unmasked frame of `length` payload bytes (a text frame unless
// another opcode is given) into `header` (room for kLongestFrameHeader bytes) and returns the
// header's size.
std::size_t WriteFrameHeader(std::uint64_t length, std::uint8_t* header,
                             std::uint8_t opcode = kOpcodeText);
// A whole final text frame carrying `text`, as the server sends it.
std::string TextFrame(std::string_view text);
// A whole control frame as the server sends it; the payload is cut to 125 bytes.
std::string ControlFrame(std::uint8_t opcode, const std::string& payload);
// A close frame with this status code.
std::string CloseFrame(std::uint16_t code);

}  // namespace vorn
