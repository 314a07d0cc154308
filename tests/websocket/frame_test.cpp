// Frames as clients send them and as the endpoint answers, with every header form and the
// declared lengths that do not match the bytes received.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "websocket/frame.h"

using namespace vorn;

namespace {

constexpr std::uint8_t kKey[4] = {0x37, 0xFA, 0x21, 0x3D};

// A client frame: masked unless told otherwise, with the shortest length form.
std::vector<std::uint8_t> ClientFrame(const std::string& payload, std::uint8_t first = 0x81,
                                      bool masked = true) {
    std::vector<std::uint8_t> frame = {first};
    std::uint8_t mask = masked ? 0x80 : 0;
    std::size_t n = payload.size();
    if (n <= 125) {
        frame.push_back(static_cast<std::uint8_t>(mask | n));
    } else {
        frame.push_back(mask | 126);
        frame.push_back(static_cast<std::uint8_t>(n >> 8));
        frame.push_back(static_cast<std::uint8_t>(n));
    }
    if (masked) {
        frame.insert(frame.end(), kKey, kKey + 4);
    }
    for (std::size_t i = 0; i < n; ++i) {
        frame.push_back(static_cast<std::uint8_t>(payload[i] ^ (masked ? kKey[i % 4] : 0)));
    }
    return frame;
}

struct Unwrapped {
    FrameStatus status;
    std::string text;
};

// Unwraps the bytes as they would lie at the start of a receive buffer of `capacity` bytes,
// allocated to exactly that size so that any access beyond it is caught by the sanitizer.
Unwrapped Unwrap(const std::vector<std::uint8_t>& bytes,
                 std::size_t capacity = kReceiveBufferSize) {
    std::vector<std::uint8_t> buffer(capacity, 0);
    std::size_t received = bytes.size() < capacity ? bytes.size() : capacity;
    if (received > 0) {
        std::memcpy(buffer.data(), bytes.data(), received);
    }
    char* text = nullptr;
    FrameStatus status = UnwrapFrame(buffer.data(), received, capacity, &text);
    if (status == FrameStatus::kMessage) {
        EXPECT_NE(text, nullptr);
        return {status, text};
    }
    EXPECT_EQ(text, nullptr);
    return {status, ""};
}

std::vector<std::uint8_t> Header(std::uint64_t length) {
    std::vector<std::uint8_t> header(kLongestFrameHeader, 0xEE);
    header.resize(WriteFrameHeader(length, header.data()));
    return header;
}

TEST(Frames, MaskedTextFrameBecomesText) {
    std::vector<std::uint8_t> frame = ClientFrame("readcard");
    EXPECT_EQ(frame.size(), 14u);
    Unwrapped got = Unwrap(frame);
    EXPECT_EQ(got.status, FrameStatus::kMessage);
    EXPECT_EQ(got.text, "readcard");
    // Bytes after the frame in the same read are cut off by the terminator.
    frame.insert(frame.end(), {'x', 'y'});
    EXPECT_EQ(Unwrap(frame).text, "readcard");
    // The 16-bit length form.
    std::string long_text(300, 'r');
    EXPECT_EQ(Unwrap(ClientFrame(long_text)).text, long_text);
    EXPECT_EQ(Unwrap(ClientFrame("")).text, "");
}

TEST(Frames, EveryOpcodeButCloseIsAMessage) {
    for (std::uint8_t first : {0x01, 0x02, 0x80, 0x82, 0x89, 0x8A, 0x01 | 0x70}) {
        Unwrapped got = Unwrap(ClientFrame("readcard", first));
        EXPECT_EQ(got.status, FrameStatus::kMessage) << int(first);
        EXPECT_EQ(got.text, "readcard") << int(first);
    }
    EXPECT_EQ(Unwrap(ClientFrame("", 0x88)).status, FrameStatus::kClose);
    EXPECT_EQ(Unwrap(ClientFrame("\x03\xE8", 0x88)).status, FrameStatus::kClose);
    // Close is recognised before the mask is looked at.
    EXPECT_EQ(Unwrap(ClientFrame("", 0x88, false)).status, FrameStatus::kClose);
    EXPECT_EQ(Unwrap(ClientFrame("readcard", 0x81, false)).status, FrameStatus::kNotMasked);
}

TEST(Frames, TruncatedHeadersAreIncomplete) {
    EXPECT_EQ(Unwrap({}).status, FrameStatus::kIncomplete);
    EXPECT_EQ(Unwrap({0x81}).status, FrameStatus::kIncomplete);
    EXPECT_EQ(Unwrap({0x81, 0x88, 0x37, 0xFA}).status, FrameStatus::kIncomplete);
    EXPECT_EQ(Unwrap({0x81, 0xFE, 0x01}).status, FrameStatus::kIncomplete);
    EXPECT_EQ(Unwrap({0x81, 0xFF, 0, 0, 0, 0, 0, 0, 0, 8, 1, 2, 3}).status,
              FrameStatus::kIncomplete);
}

TEST(Frames, DeclaredLengthsBeyondWhatArrived) {
    // Eight bytes declared, three received.
    std::vector<std::uint8_t> frame = ClientFrame("readcard");
    frame.resize(9);
    EXPECT_EQ(Unwrap(frame).status, FrameStatus::kIncomplete);
    // A 16-bit length larger than the bytes received, and one larger than the buffer.
    EXPECT_EQ(Unwrap({0x81, 0xFE, 0x01, 0x00, 1, 2, 3, 4, 'a'}).status, FrameStatus::kIncomplete);
    EXPECT_EQ(Unwrap({0x81, 0xFE, 0xFF, 0xFF, 1, 2, 3, 4, 'a'}).status, FrameStatus::kTooLarge);
    // 64-bit lengths that would wrap around if added to the header size.
    for (std::uint8_t top : {0x00, 0x7F, 0x80, 0xFF}) {
        std::vector<std::uint8_t> huge = {0x81, 0xFF, top, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0xFF, 0xFF, 1,   2,    3,    4,    'a'};
        EXPECT_EQ(Unwrap(huge).status, FrameStatus::kTooLarge) << int(top);
    }
}

// Header, payload and terminator must fit the 2,048-byte buffer: 2,047 bytes of frame do.
TEST(Frames, LargestFrameThatFitsTheBuffer) {
    std::size_t header = 8;  // 16-bit length form and masking key
    std::string fits(kReceiveBufferSize - header - 1, 'p');
    Unwrapped got = Unwrap(ClientFrame(fits));
    EXPECT_EQ(got.status, FrameStatus::kMessage);
    EXPECT_EQ(got.text, fits);

    std::string too_long = fits + "p";
    EXPECT_EQ(Unwrap(ClientFrame(too_long)).status, FrameStatus::kTooLarge);
    // Declared as fitting but cut by the end of the read.
    std::vector<std::uint8_t> cut = ClientFrame(fits);
    cut.pop_back();
    EXPECT_EQ(Unwrap(cut).status, FrameStatus::kIncomplete);
    // A buffer too small for even a header.
    EXPECT_EQ(Unwrap(ClientFrame("a"), 6).status, FrameStatus::kTooLarge);
}

TEST(Frames, ReplyHeaderForms) {
    EXPECT_EQ(Header(0), (std::vector<std::uint8_t>{0x81, 0}));
    EXPECT_EQ(Header(125), (std::vector<std::uint8_t>{0x81, 125}));
    EXPECT_EQ(Header(126), (std::vector<std::uint8_t>{0x81, 126, 0x00, 0x7E}));
    EXPECT_EQ(Header(65535), (std::vector<std::uint8_t>{0x81, 126, 0xFF, 0xFF}));
    EXPECT_EQ(Header(65536), (std::vector<std::uint8_t>{0x81, 127, 0, 0, 0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(Header(512000),
              (std::vector<std::uint8_t>{0x81, 127, 0, 0, 0, 0, 0, 0x07, 0xD0, 0x00}));
    // The largest reply and its header fit the send buffer exactly.
    EXPECT_EQ(Header(kLargestReply).size() + kLargestReply, kSendBufferSize);
}

}  // namespace
