// WebSocket frames (RFC 6455 section 5.2) as the endpoint reads and writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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
constexpr std::uint8_t kOpcodeClose = 0x08;
constexpr std::uint8_t kFinalTextFrame = 0x81;

// What one received frame turned out to be.
enum class FrameStatus {
    kMessage,     // a payload, unmasked in place and terminated
    kClose,       // the client closes the connection
    kNotMasked,   // clients must mask; this one did not
    kIncomplete,  // the header or payload goes past the bytes received
    kTooLarge,    // header, payload and terminator do not fit the receive buffer
};

// Where the payload of a complete frame lies in the bytes received.
struct FrameExtent {
    std::size_t header;  // bytes before the payload, masking key included
    std::size_t length;  // payload bytes
    std::size_t Size() const { return header + length; }
};

// Looks at the frame at the start of `buffer` without changing anything: kMessage with its
// extent when it is complete, kIncomplete when more bytes must come first, or why it can
// never be a message. A frame counts as too large when it and a terminator after it would
// not fit into `capacity` bytes.
FrameStatus ParseFrame(const std::uint8_t* buffer, std::size_t received, std::size_t capacity,
                       FrameExtent* extent);
// The unmasked payload of a frame that ParseFrame found complete.
std::string UnmaskedPayload(const std::uint8_t* buffer, const FrameExtent& extent);

// Takes the frame at the start of `buffer`, of which `received` bytes were read into a
// buffer of `capacity` bytes. For a message, unmasks the payload where it lies, writes a
// zero byte after it and points `text` at it. Never reads or writes outside the buffer.
// Any opcode other than close is a message; FIN and the reserved bits are not looked at.
FrameStatus UnwrapFrame(std::uint8_t* buffer, std::size_t received, std::size_t capacity,
                        char** text);

// Writes the header of a final, unmasked text frame of `length` payload bytes into
// `header` (room for kLongestFrameHeader bytes) and returns the header's size.
std::size_t WriteFrameHeader(std::uint64_t length, std::uint8_t* header);

}  // namespace vorn
