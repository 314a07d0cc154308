// The WebSocket server over loopback connections: opening, the connection loop, the errors
// it reports and the stop from another thread.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "request/read_card.h"
#include "tests/websocket/websocket_test_client.h"
#include "websocket/frame.h"
#include "websocket/socket_api.h"
#include "websocket/websocket_server.h"

using namespace vorn;

namespace {

constexpr std::size_t kHugeReply = kLargestReply + 1;

// A stand-in pipeline: "echo X" answers "echo:X", "big N" answers N bytes, anything else is
// refused like a command the pipeline does not know.
int FakePipeline(const char* command, char* reply, std::int32_t capacity) {
    std::string text(command);
    if (text.rfind("echo ", 0) == 0) {
        std::string answer = "echo:" + text.substr(5);
        std::memcpy(reply, answer.c_str(), answer.size() + 1);
        return 0;
    }
    if (text.rfind("big ", 0) == 0) {
        std::size_t size = std::stoul(text.substr(4));
        if (size + 1 > static_cast<std::size_t>(capacity)) {
            return -1;
        }
        std::memset(reply, 'b', size);
        reply[size] = '\0';
        return 0;
    }
    return kExecuteUnknownCommand;
}

// A server on a free port with the stand-in pipeline, serving from the start.
class EchoServer : public ServedServer {
public:
    EchoServer() : ServedServer(FakePipeline) { Start(); }
};

TEST(WebSocketServer, OpenFailuresSayWhyAndLeaveItClosed) {
    WebSocketServer server(TestHandler(FakePipeline));
    EXPECT_FALSE(server.Open(nullptr, 0));
    EXPECT_STREQ(server.ErrorText(), L"Ip is null.");
    ASSERT_FALSE(server.Open("localhost", 0));
    EXPECT_EQ(std::wstring(server.ErrorText()).rfind(L"Socket bind error(", 0), 0u);
    EXPECT_FALSE(server.IsOpen());
    EXPECT_EQ(server.Serve(), WebSocketServer::ServeEnd::kNotOpen);

    WebSocketServer holder(TestHandler(FakePipeline));
    ASSERT_TRUE(holder.Open(kLoopback, 0));
    EXPECT_FALSE(server.Open(kLoopback, holder.Port()));
    EXPECT_EQ(std::wstring(server.ErrorText()).rfind(L"Socket bind error(", 0), 0u);
    // What the failed attempts acquired was released: the port is free once its holder closes.
    std::uint16_t port = holder.Port();
    holder.Close();
    EXPECT_TRUE(server.Open(kLoopback, port));
}

TEST(WebSocketServer, OpenAndCloseAnyNumberOfTimes) {
    WebSocketServer server(TestHandler(FakePipeline));
    server.Close();
    ASSERT_TRUE(server.Open(kLoopback, 0));
    std::uint16_t first = server.Port();
    // Opening again closes the first listener and opens anew on the same port.
    ASSERT_TRUE(server.Open(kLoopback, first));
    EXPECT_EQ(server.Port(), first);
    server.Close();
    server.Close();
    EXPECT_FALSE(server.IsOpen());
    EXPECT_EQ(server.Port(), 0);
    EXPECT_STREQ(server.ErrorText(), L"");
}

TEST(WebSocketServer, ManyRequestsOnOneConnection) {
    EchoServer served;
    TestClient client(served.port);
    ASSERT_TRUE(client.connected());
    EXPECT_EQ(client.Handshake(),
              "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n");
    for (int i = 0; i < 5; ++i) {
        client.SendText("echo " + std::to_string(i));
        EXPECT_EQ(client.ReceiveText(), "echo:" + std::to_string(i));
    }
    std::string long_request(1500, 'l');
    client.SendText("echo " + long_request);
    EXPECT_EQ(client.ReceiveText(), "echo:" + long_request);
}

TEST(WebSocketServer, ReplySizesAtTheHeaderBoundaries) {
    EchoServer served;
    TestClient client(served.port);
    client.Handshake();
    for (std::size_t size : {125u, 126u, 65535u, 65536u, 512000u}) {
        client.SendText("big " + std::to_string(size));
        EXPECT_EQ(client.ReceiveText(), std::string(size, 'b')) << size;
    }
    // One byte more than the largest reply: refused, and the connection ends.
    client.SendText("big " + std::to_string(kHugeReply));
    EXPECT_TRUE(client.ClosedByServer());
    client.Disconnect();
    TestClient next(served.port);
    next.Handshake();
    EXPECT_EQ(served.Error(), "Send buffer too small.");
}

// A failed request ends its connection without a frame; a close, or a frame the endpoint does
// not take, is answered with a close frame of RFC 6455's code before the connection ends, and
// the end keeps its own reason.
TEST(WebSocketServer, FramesThatEndTheConnection) {
    EchoServer served;
    struct Case {
        std::string frame;
        std::string close_payload;  // empty: no close frame
        const char* error;
    };
    const Case cases[] = {
        {"", "", "Function error(-2)."},  // "readcard\n" and other commands
        {TestClient::Frame("", 0x88), std::string("\x03\xE8", 2), "Client is close."},
        {TestClient::Frame("\x0F\xA0going", 0x88), std::string("\x0F\xA0", 2), "Client is close."},
        {std::string("\x81\x03"
                     "abc",
                     5),
         std::string("\x03\xEA", 2), "Client recv no mask."},
        {std::string("\x81\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01\x02\x03\x04", 14),
         std::string("\x03\xF1", 2), "Client frame is too large."},
        {TestClient::Frame("echo 1", 0x82), std::string("\x03\xEB", 2),
         "Client sent a binary frame."},
        {TestClient::Frame("echo 1", 0x01), std::string("\x03\xEB", 2),
         "Client sent a fragmented message."},
        {TestClient::Frame("echo 1", 0xC1), std::string("\x03\xEA", 2),
         "Client frame breaks the protocol."},
    };
    for (const Case& c : cases) {
        TestClient client(served.port);
        client.Handshake();
        if (c.frame.empty()) {
            client.SendText("readcard\n");
        } else {
            client.Send(c.frame);
        }
        if (!c.close_payload.empty()) {
            TestClient::Received close = client.ReceiveFrame();
            EXPECT_EQ(close.first, 0x88) << c.error;
            EXPECT_EQ(close.payload, c.close_payload) << c.error;
        }
        EXPECT_TRUE(client.ClosedByServer()) << c.error;
        client.Disconnect();
        // The next client is accepted; the error of the last connection is still there.
        TestClient next(served.port);
        next.Handshake();
        EXPECT_EQ(served.Error(), c.error);
    }
}

// An open connection that sends nothing holds nobody up: a second client is answered while
// the first stays connected, and the first is still served afterwards.
TEST(WebSocketServer, ClientsAreServedSideBySide) {
    EchoServer served;
    TestClient first(served.port);
    first.Handshake();
    TestClient second(served.port);
    second.Send("GET / HTTP/1.1\r\nSec-WebSocket-Key: x\r\n\r\n");
    EXPECT_EQ(second.Receive(129).substr(0, 12), "HTTP/1.1 101");
    second.SendText("echo second");
    EXPECT_EQ(second.ReceiveText(), "echo:second");
    first.SendText("echo first");
    EXPECT_EQ(first.ReceiveText(), "echo:first");
}

// Header names in any case are understood, as Node's client writes them; a request without
// the key closes that connection only, and the server goes on serving.
TEST(WebSocketServer, HandshakeWithoutKeyClosesThatConnection) {
    EchoServer served;
    TestClient lower(served.port);
    lower.Send("GET / HTTP/1.1\r\nsec-websocket-key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n");
    EXPECT_EQ(lower.Receive(129).substr(0, 12), "HTTP/1.1 101");
    TestClient client(served.port);
    client.Send("GET / HTTP/1.1\r\nSec-WebSocket-Kex: abc\r\n\r\n");
    EXPECT_TRUE(client.ClosedByServer());
    EXPECT_EQ(served.Error(), "WebSocket Shakehand error.");
    TestClient next(served.port);
    next.Handshake();
    next.SendText("echo next");
    EXPECT_EQ(next.ReceiveText(), "echo:next");
    EXPECT_EQ(served.served.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
}

// A peer that connects and leaves without a word: the handshake finds nothing, the first
// read finds the connection closed, and the next client is served.
TEST(WebSocketServer, PeerThatSendsNothing) {
    EchoServer served;
    TestClient(served.port).Disconnect();
    TestClient client(served.port);
    client.Handshake();
    client.SendText("echo after");
    EXPECT_EQ(client.ReceiveText(), "echo:after");
}

// A stop from another thread ends Serve at once, idle connections or not, and closes them.
TEST(WebSocketServer, StopFromAnotherThread) {
    EchoServer served;
    TestClient client(served.port);
    client.Handshake();
    client.SendText("echo 1");
    EXPECT_EQ(client.ReceiveText(), "echo:1");
    served.server.StopListening();
    ASSERT_EQ(served.served.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(served.served.get(), WebSocketServer::ServeEnd::kStopped);
    EXPECT_TRUE(client.ClosedByServer());
    EXPECT_EQ(served.server.Port(), 0);
}

TEST(WebSocketServer, ErrorTextIsCutSafely) {
    WebSocketServer server(TestHandler(FakePipeline));
    std::wstring long_text(600, L'e');
    server.SetErrorText(L"%ls", long_text.c_str());
    EXPECT_EQ(std::wstring(server.ErrorText()), long_text.substr(0, 256));
    server.SetErrorText(L"Function error(%d).", -2);
    EXPECT_STREQ(server.ErrorText(), L"Function error(-2).");
}

}  // namespace
