// A connection's bytes taken apart whatever pieces they arrive in: the opening request, then
// frames cut anywhere or several to a read; and the result code read from a reply.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "websocket/client_stream.h"
#include "websocket/request_queue.h"

using namespace vorn;

namespace {

// The bytes received and not yet taken.
std::size_t Buffered(const ClientStream& stream) {
    return ClientStream::kCapacity - stream.RoomSize();
}

constexpr const char* kRequest =
    "GET / HTTP/1.1\r\nHost: 127.0.0.1:17171\r\nSec-WebSocket-Key: abc\r\n\r\n";

std::string MaskedFrame(const std::string& payload, std::uint8_t first = 0x81) {
    const std::uint8_t key[4] = {0x11, 0x22, 0x33, 0x44};
    std::string frame(1, static_cast<char>(first));
    if (payload.size() <= 125) {
        frame += static_cast<char>(0x80 | payload.size());
    } else {
        frame += static_cast<char>(0x80 | 126);
        frame += static_cast<char>(payload.size() >> 8);
        frame += static_cast<char>(payload.size() & 0xFF);
    }
    frame.append(reinterpret_cast<const char*>(key), 4);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        frame += static_cast<char>(payload[i] ^ key[i % 4]);
    }
    return frame;
}

// Puts bytes into the stream as a socket read would; false when they did not all fit.
bool Feed(ClientStream& stream, const std::string& bytes) {
    std::size_t count = bytes.size() < stream.RoomSize() ? bytes.size() : stream.RoomSize();
    std::memcpy(stream.Room(), bytes.data(), count);
    stream.Received(count);
    return count == bytes.size();
}

TEST(ClientStream, RequestArrivingOneByteAtATime) {
    ClientStream stream;
    const std::string request = kRequest;
    std::string taken;
    for (std::size_t i = 0; i + 1 < request.size(); ++i) {
        Feed(stream, request.substr(i, 1));
        ASSERT_EQ(stream.TakeRequest(&taken), ClientStream::Request::kIncomplete) << i;
    }
    Feed(stream, request.substr(request.size() - 1));
    ASSERT_EQ(stream.TakeRequest(&taken), ClientStream::Request::kComplete);
    EXPECT_EQ(taken, request);
    EXPECT_EQ(Buffered(stream), 0u);
}

// What follows the blank line in the same read is the first frame, not part of the request;
// a lenient client's bare LF lines end a request too.
TEST(ClientStream, RequestFollowedByFramesInTheSameRead) {
    for (const std::string& request :
         {std::string(kRequest), std::string("GET / HTTP/1.1\nSec-WebSocket-Key: abc\n\n")}) {
        ClientStream stream;
        Feed(stream, request + MaskedFrame("readcard") + MaskedFrame("second"));
        std::string taken;
        ASSERT_EQ(stream.TakeRequest(&taken), ClientStream::Request::kComplete);
        EXPECT_EQ(taken, request);
        std::string text;
        ASSERT_EQ(stream.TakeFrame(&text), FrameStatus::kMessage);
        EXPECT_EQ(text, "readcard");
        ASSERT_EQ(stream.TakeFrame(&text), FrameStatus::kMessage);
        EXPECT_EQ(text, "second");
        EXPECT_EQ(stream.TakeFrame(&text), FrameStatus::kIncomplete);
    }
}

TEST(ClientStream, RequestThatNeverEndsWithinTheBuffer) {
    ClientStream stream;
    std::string header = "GET / HTTP/1.1\r\nX-Filler: ";
    EXPECT_FALSE(Feed(stream, header + std::string(ClientStream::kCapacity, 'x')));
    std::string taken;
    EXPECT_EQ(stream.TakeRequest(&taken), ClientStream::Request::kTooLarge);
    EXPECT_EQ(stream.RoomSize(), 0u);
}

// Every cut of a frame, from its first header byte to its last payload byte, waits for the
// rest; several frames in one read come out one by one, in order.
TEST(ClientStream, FramesCutAnywhereOrSeveralToARead) {
    const std::pair<std::string, FrameStatus> frames[] = {
        {MaskedFrame("readcard"), FrameStatus::kMessage},
        {MaskedFrame(std::string(300, 'p')), FrameStatus::kMessage},
        {MaskedFrame("", 0x89), FrameStatus::kPing}};
    for (const auto& [frame, status] : frames) {
        for (std::size_t cut = 0; cut < frame.size(); ++cut) {
            ClientStream stream;
            Feed(stream, frame.substr(0, cut));
            std::string text;
            ASSERT_EQ(stream.TakeFrame(&text), FrameStatus::kIncomplete) << cut;
            Feed(stream, frame.substr(cut));
            ASSERT_EQ(stream.TakeFrame(&text), status) << cut;
            EXPECT_EQ(Buffered(stream), 0u);
        }
    }
    ClientStream stream;
    Feed(stream, MaskedFrame("one") + MaskedFrame("two") + MaskedFrame("three") +
                     MaskedFrame("four").substr(0, 3));
    std::vector<std::string> texts;
    std::string text;
    while (stream.TakeFrame(&text) == FrameStatus::kMessage) {
        texts.push_back(text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(Buffered(stream), 3u);
}

// A frame that can never fit is refused at once rather than waited for; the rules of a single
// frame (close, mask) hold for a frame that follows another.
TEST(ClientStream, FramesThatEndTheConnection) {
    ClientStream stream;
    Feed(stream, MaskedFrame(std::string(ClientStream::kCapacity, 'x')).substr(0, 20));
    std::string text;
    EXPECT_EQ(stream.TakeFrame(&text), FrameStatus::kTooLarge);

    ClientStream pipelined;
    Feed(pipelined, MaskedFrame("readcard") + MaskedFrame("", 0x88));
    ASSERT_EQ(pipelined.TakeFrame(&text), FrameStatus::kMessage);
    EXPECT_EQ(pipelined.TakeFrame(&text), FrameStatus::kClose);

    ClientStream unmasked;
    Feed(unmasked, MaskedFrame("readcard") + std::string("\x81\x03"
                                                         "abc",
                                                         5));
    ASSERT_EQ(unmasked.TakeFrame(&text), FrameStatus::kMessage);
    EXPECT_EQ(unmasked.TakeFrame(&text), FrameStatus::kNotMasked);
}

// The largest frame that fits takes the whole buffer, terminator room included.
TEST(ClientStream, LargestFrameThatFits) {
    ClientStream stream;
    // Header of 8 bytes (16-bit length and key), the payload, and room for a terminator.
    const std::string payload(ClientStream::kCapacity - 8 - 1, 'q');
    ASSERT_TRUE(Feed(stream, MaskedFrame(payload)));
    std::string text;
    ASSERT_EQ(stream.TakeFrame(&text), FrameStatus::kMessage);
    EXPECT_EQ(text, payload);
}

TEST(ReplyResultCode, ReadsTheMemberWhereverItIs) {
    EXPECT_EQ(ReplyResultCode("{\n   \"ID\" : \"1\",\n   \"result\" : -11\n}", 7), -11);
    EXPECT_EQ(ReplyResultCode("{\"result\":144}", 7), 144);
    EXPECT_EQ(ReplyResultCode("{\"result\" : \"x\"}", 7), 7);
    EXPECT_EQ(ReplyResultCode("echo:1", 7), 7);
    EXPECT_EQ(ReplyResultCode("\"result\"", 7), 7);
}

}  // namespace
