// The opening handshake's key, accept value and response.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "websocket/handshake.h"

using namespace vorn;

namespace {

constexpr const char* kSampleKey = "dGhlIHNhbXBsZSBub25jZQ==";
constexpr const char* kSampleAccept = "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=";

std::string Request(const std::string& key_line) {
    return "GET /chat HTTP/1.1\r\nHost: 127.0.0.1:17171\r\nUpgrade: websocket\r\n"
           "Connection: Upgrade\r\n" +
           key_line + "Sec-WebSocket-Version: 13\r\n\r\n";
}

// The key found in a request, or "<none>"; the request lies in a buffer of exactly its size,
// so that a read past its end shows under AddressSanitizer.
std::string KeyIn(const std::string& request) {
    std::vector<char> exact(request.begin(), request.end());
    char key[kKeyTextLimit + 1];
    if (!ExtractKey(exact.data(), exact.size(), key)) {
        return "<none>";
    }
    return key;
}

std::string Accept(const std::string& key) {
    std::unique_ptr<char[]> accept = ComputeAcceptKey(key.c_str());
    return accept ? std::string(accept.get()) : "<null>";
}

TEST(Handshake, AcceptValueOfTheProtocolsWorkedExample) {
    EXPECT_EQ(Accept(kSampleKey), kSampleAccept);
    // Blanks around the key are part of it; an empty key still gets a value.
    EXPECT_EQ(Accept(std::string(" ") + kSampleKey + " "), "pJoG4fLU7agAUnbfRbg9bZBBfzw=");
    EXPECT_EQ(Accept(""), "Kfh9QIsMVZcl6xEPYxPHzW8SZ8w=");
}

TEST(Handshake, KeyHeaderAsClientsWriteIt) {
    // Any case, any blanks around the value, either line ending (RFC 9110).
    for (const char* line :
         {"Sec-WebSocket-Key: %\r\n", "sec-websocket-key:%\n", "SEC-WEBSOCKET-KEY: \t%  \r\n"}) {
        std::string text(line);
        text.replace(text.find('%'), 1, kSampleKey);
        EXPECT_EQ(KeyIn(Request(text)), kSampleKey) << line;
    }
    EXPECT_EQ(KeyIn(Request("Sec-WebSocket-Key:\r\n")), "");
    // Only a header line counts: not the request line, not a longer name, not the body, not
    // what follows a NUL, not a name cut off by the end of what was received.
    EXPECT_EQ(KeyIn(std::string("Sec-WebSocket-Key: ") + kSampleKey + "\r\n\r\n"), "<none>");
    EXPECT_EQ(KeyIn(Request("X-Sec-WebSocket-Key: abc\r\n")), "<none>");
    EXPECT_EQ(KeyIn(Request("") + "Sec-WebSocket-Key: abc\r\n"), "<none>");
    EXPECT_EQ(KeyIn(std::string("GET /\r\n\0", 8) + "Sec-WebSocket-Key: abc\r\n"), "<none>");
    EXPECT_EQ(KeyIn("GET / HTTP/1.1\r\nSec-WebSocket-Ke"), "<none>");
    EXPECT_EQ(KeyIn(""), "<none>");
}

TEST(Handshake, LongKeysAreCut) {
    std::string long_key(300, 'x');
    EXPECT_EQ(KeyIn(Request("Sec-WebSocket-Key: " + long_key + "\r\n")), std::string(256, 'x'));
    EXPECT_EQ(Accept(long_key), "gs1rSXMwiQJlq6Dy82fVSzlWzZQ=");
}

// A request filling the whole receive buffer has no terminator and no line end after the key.
TEST(Handshake, RequestOfExactlyTheBufferSize) {
    std::string request = "GET / HTTP/1.1\r\nSec-WebSocket-Key: ";
    request.append(kHandshakeResponseSize - request.size(), 'k');
    ASSERT_EQ(request.size(), 2048u);
    EXPECT_EQ(KeyIn(request), std::string(kKeyTextLimit, 'k'));
}

TEST(Handshake, ResponseIsTheFixedFourLines) {
    char out[kHandshakeResponseSize];
    std::size_t length = BuildHandshakeResponse(kSampleAccept, out, sizeof(out));
    std::string expected =
        "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n";
    EXPECT_EQ(std::string(out), expected);
    EXPECT_EQ(length, expected.size());
    // A block too small for it is left alone.
    std::vector<char> small(expected.size(), '#');
    EXPECT_EQ(BuildHandshakeResponse(kSampleAccept, small.data(), small.size()), 0u);
    EXPECT_EQ(small[0], '#');
}

}  // namespace
