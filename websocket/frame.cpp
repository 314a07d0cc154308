// Reading a client's masked frame in place and writing the server's unmasked frame header.
#include "websocket/frame.h"

namespace vorn {

namespace {

constexpr std::uint8_t kFinalFlag = 0x80;
constexpr std::uint8_t kReservedBits = 0x70;
constexpr std::uint8_t kControlOpcodes = 0x08;
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

// What the first byte alone says about a frame: kMessage when it may be read on.
FrameStatus KindOfFirstByte(std::uint8_t first) {
    const std::uint8_t opcode = first & kOpcodeMask;
    if ((first & kReservedBits) != 0) {
        return FrameStatus::kProtocolError;
    }
    switch (opcode) {
        case kOpcodeText:
            return (first & kFinalFlag) != 0 ? FrameStatus::kMessage : FrameStatus::kFragmented;
        case kOpcodeBinary:
            return FrameStatus::kBinary;
        case kOpcodeClose:
        case kOpcodePing:
        case kOpcodePong:
            // A control frame is never fragmented.
            return (first & kFinalFlag) != 0 ? FrameStatus::kMessage : FrameStatus::kProtocolError;
        default:
            // A continuation can only follow a first frame, which is never taken.
            return FrameStatus::kProtocolError;
    }
}

FrameStatus KindOfOpcode(std::uint8_t opcode) {
    switch (opcode) {
        case kOpcodeClose:
            return FrameStatus::kClose;
        case kOpcodePing:
            return FrameStatus::kPing;
        case kOpcodePong:
            return FrameStatus::kPong;
        default:
            return FrameStatus::kMessage;
    }
}

// Close codes that must never be sent: reserved for reporting, or not assigned.
bool MaySendCloseCode(std::uint16_t code) {
    constexpr std::uint16_t kFirstUnassigned = 1016;
    constexpr std::uint16_t kFirstPrivate = 3000;
    constexpr std::uint16_t kPastLast = 5000;
    constexpr std::uint16_t kNoStatus = 1005;
    constexpr std::uint16_t kAbnormal = 1006;
    constexpr std::uint16_t kReserved = 1004;
    constexpr std::uint16_t kTlsFailure = 1015;
    if (code < kCloseNormal || code >= kPastLast) {
        return false;
    }
    if (code >= kFirstUnassigned && code < kFirstPrivate) {
        return false;
    }
    return code != kReserved && code != kNoStatus && code != kAbnormal && code != kTlsFailure;
}

}  // namespace

std::uint16_t CloseCodeFor(FrameStatus status) {
    switch (status) {
        case FrameStatus::kNotMasked:
        case FrameStatus::kProtocolError:
            return kCloseProtocolError;
        case FrameStatus::kBinary:
        case FrameStatus::kFragmented:
            return kCloseUnsupportedData;
        case FrameStatus::kTooLarge:
            return kCloseTooBig;
        case FrameStatus::kMessage:
        case FrameStatus::kPing:
        case FrameStatus::kPong:
        case FrameStatus::kClose:
        case FrameStatus::kIncomplete:
            return 0;
    }
    return kCloseProtocolError;
}

std::uint16_t CloseReplyCode(const std::string& payload) {
    if (payload.empty()) {
        return kCloseNormal;
    }
    if (payload.size() < 2) {
        return kCloseProtocolError;
    }
    const auto code = static_cast<std::uint16_t>(
        ReadBigEndian(reinterpret_cast<const std::uint8_t*>(payload.data()), 2));
    return MaySendCloseCode(code) ? code : kCloseProtocolError;
}

FrameStatus ParseFrame(const std::uint8_t* buffer, std::size_t received, std::size_t capacity,
                       FrameExtent* extent) {
    *extent = FrameExtent{0, 0};
    if (received > capacity) {
        received = capacity;
    }
    if (received < 1) {
        return FrameStatus::kIncomplete;
    }
    const FrameStatus first = KindOfFirstByte(buffer[0]);
    if (first != FrameStatus::kMessage) {
        return first;
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
    const std::uint8_t opcode = buffer[0] & kOpcodeMask;
    if ((opcode & kControlOpcodes) != 0 && length > kLongestControlPayload) {
        return FrameStatus::kProtocolError;
    }
    // Compared before anything is added to it, so no declared length can wrap around.
    if (header >= capacity || length > capacity - header - 1) {
        return FrameStatus::kTooLarge;
    }
    if (length > received - header) {
        return FrameStatus::kIncomplete;
    }
    *extent = FrameExtent{header, static_cast<std::size_t>(length)};
    return KindOfOpcode(opcode);
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

std::size_t WriteFrameHeader(std::uint64_t length, std::uint8_t* header, std::uint8_t opcode) {
    header[0] = static_cast<std::uint8_t>(kFinalFlag | (opcode & kOpcodeMask));
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

std::string TextFrame(std::string_view text) {
    std::uint8_t header[kLongestFrameHeader];
    const std::size_t header_size = WriteFrameHeader(text.size(), header);
    std::string frame;
    frame.reserve(header_size + text.size());
    frame.append(reinterpret_cast<const char*>(header), header_size);
    frame.append(text);
    return frame;
}

std::string ControlFrame(std::uint8_t opcode, const std::string& payload) {
    const std::size_t length =
        payload.size() < kLongestControlPayload ? payload.size() : kLongestControlPayload;
    std::uint8_t header[kLongestFrameHeader];
    const std::size_t header_size = WriteFrameHeader(length, header, opcode);
    std::string frame(reinterpret_cast<const char*>(header), header_size);
    frame.append(payload, 0, length);
    return frame;
}

std::string CloseFrame(std::uint16_t code) {
    const char payload[] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    return ControlFrame(kOpcodeClose, std::string(payload, sizeof(payload)));
}

}  // namespace vorn
