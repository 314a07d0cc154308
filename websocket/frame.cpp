// Reading a client's masked frame in place and writing the server's unmasked frame header.
#include "websocket/frame.h"

namespace vorn {

namespace {

constexpr std::uint8_t kMaskFlag = 0x80;
constexpr std::uint8_t kLengthCodeMask = 0x7F;
constexpr std::uint8_t kLength16 = 126;
constexpr std::uint8_t kLength64 = 127;
constexpr std::size_t kMaskingKeySize = 4;
constexpr std::uint64_t kLargestShortLength = 125;
constexpr std::uint64_t kLargest16BitLength = 0xFFFF;

std::uint64_t ReadBigEndian(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

}  // namespace

FrameStatus ParseFrame(const std::uint8_t* buffer, std::size_t received, std::size_t capacity,
                       FrameExtent* extent) {
    *extent = FrameExtent{0, 0};
    if (received > capacity) {
        received = capacity;
    }
    if (received < 1) {
        return FrameStatus::kIncomplete;
    }
    if ((buffer[0] & kOpcodeMask) == kOpcodeClose) {
        return FrameStatus::kClose;
    }
    if (received < 2) {
        return FrameStatus::kIncomplete;
    }
    if ((buffer[1] & kMaskFlag) == 0) {
        return FrameStatus::kNotMasked;
    }
    std::uint8_t code = buffer[1] & kLengthCodeMask;
    std::size_t extended = code == kLength16 ? 2 : (code == kLength64 ? 8 : 0);
    std::size_t header = 2 + extended + kMaskingKeySize;
    if (received < header) {
        return FrameStatus::kIncomplete;
    }
    std::uint64_t length = extended == 0 ? code : ReadBigEndian(buffer + 2, extended);
    // Compared before anything is added to it, so no declared length can wrap around.
    if (header >= capacity || length > capacity - header - 1) {
        return FrameStatus::kTooLarge;
    }
    if (length > received - header) {
        return FrameStatus::kIncomplete;
    }
    *extent = FrameExtent{header, static_cast<std::size_t>(length)};
    return FrameStatus::kMessage;
}

std::string UnmaskedPayload(const std::uint8_t* buffer, const FrameExtent& extent) {
    const std::uint8_t* key = buffer + extent.header - kMaskingKeySize;
    std::string text(reinterpret_cast<const char*>(buffer + extent.header), extent.length);
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char>(text[i] ^ key[i % kMaskingKeySize]);
    }
    return text;
}

FrameStatus UnwrapFrame(std::uint8_t* buffer, std::size_t received, std::size_t capacity,
                        char** text) {
    *text = nullptr;
    FrameExtent extent;
    FrameStatus status = ParseFrame(buffer, received, capacity, &extent);
    if (status != FrameStatus::kMessage) {
        return status;
    }
    const std::uint8_t* key = buffer + extent.header - kMaskingKeySize;
    std::uint8_t* payload = buffer + extent.header;
    for (std::size_t i = 0; i < extent.length; ++i) {
        payload[i] ^= key[i % kMaskingKeySize];
    }
    payload[extent.length] = 0;
    *text = reinterpret_cast<char*>(payload);
    return FrameStatus::kMessage;
}

std::size_t WriteFrameHeader(std::uint64_t length, std::uint8_t* header) {
    header[0] = kFinalTextFrame;
    if (length <= kLargestShortLength) {
        header[1] = static_cast<std::uint8_t>(length);
        return 2;
    }
    std::size_t extended = length <= kLargest16BitLength ? 2 : 8;
    header[1] = extended == 2 ? kLength16 : kLength64;
    for (std::size_t i = 0; i < extended; ++i) {
        header[2 + i] = static_cast<std::uint8_t>(length >> (8 * (extended - 1 - i)));
    }
    return 2 + extended;
}

}  // namespace vorn
