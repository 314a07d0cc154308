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

// Only a final text frame is a request; each other kind is told apart, with the close code
// that ends the connection on it.
TEST(Frames, EachKindOfFrame) {
    struct Case {
        std::uint8_t first;
        std::string payload;
        bool masked;
        FrameStatus status;
        std::uint16_t close_code;
    };
    const Case cases[] = {
        {0x81, "readcard", true, FrameStatus::kMessage, 0},
        {0x89, "readcard", true, FrameStatus::kPing, 0},
        {0x8A, "", true, FrameStatus::kPong, 0},
        {0x88, "\x03\xE8", true, FrameStatus::kClose, 0},
        {0x82, "readcard", true, FrameStatus::kBinary, 1003},
        {0x01, "readcard", true, FrameStatus::kFragmented, 1003},
        {0x80, "readcard", true, FrameStatus::kProtocolError, 1002},  // continuation
        {0x81 | 0x40, "readcard", true, FrameStatus::kProtocolError, 1002},
        {0x83, "readcard", true, FrameStatus::kProtocolError, 1002},
        {0x8B, "readcard", true, FrameStatus::kProtocolError, 1002},
        {0x09, "readcard", true, FrameStatus::kProtocolError, 1002},  // fragmented ping
        {0x89, std::string(126, 'p'), true, FrameStatus::kProtocolError, 1002},
        {0x81, "readcard", false, FrameStatus::kNotMasked, 1002},
        {0x88, "", false, FrameStatus::kNotMasked, 1002},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = ClientFrame(c.payload, c.first, c.masked);
        std::vector<std::uint8_t> buffer(bytes);
        FrameExtent extent;
        EXPECT_EQ(ParseFrame(buffer.data(), buffer.size(), kReceiveBufferSize, &extent), c.status)
            << int(c.first);
        EXPECT_EQ(CloseCodeFor(c.status), c.close_code) << int(c.first);
        if (c.close_code == 0) {
            EXPECT_EQ(UnmaskedPayload(buffer.data(), extent), c.payload) << int(c.first);
        }
        // Only the text frame is unwrapped in place.
        EXPECT_EQ(Unwrap(bytes).status, c.status);
    }
    EXPECT_EQ(CloseCodeFor(FrameStatus::kTooLarge), 1009);
}

TEST(Frames, CloseFrames) {
    EXPECT_EQ(CloseReplyCode(""), 1000);
    EXPECT_EQ(CloseReplyCode(std::string("\x03\xE9", 2)), 1001);
    EXPECT_EQ(CloseReplyCode(std::string("\x0F\xA0", 2) + "bye"), 4000);
    // A lone byte, and codes that are never sent (1005 no status, 1006 abnormal, 999, 5000).
    for (const char* payload : {"\x03", "\x03\xED", "\x03\xEE", "\x03\xE7", "\x13\x88"}) {
        EXPECT_EQ(CloseReplyCode(payload), 1002) << payload;
    }
    EXPECT_EQ(CloseFrame(1000), std::string("\x88\x02\x03\xE8", 4));
    EXPECT_EQ(ControlFrame(kOpcodePong, "readcard"), "\x8A\x08readcard");
    // A payload too long for a control frame is cut.
    EXPECT_EQ(ControlFrame(kOpcodePong, std::string(200, 'p')).size(), 2u + 125u);
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
