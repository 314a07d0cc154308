// The tests' WebSocket client.
#include "tests/websocket/websocket_test_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "request/read_card.h"

namespace vorn {

namespace {

constexpr std::size_t kResponseSize = 129;
constexpr char kMaskingKey[4] = {0x11, 0x22, 0x33, 0x44};

}  // namespace

TestClient::TestClient(std::uint16_t port) : socket_(ConnectSocket(kLoopback, port)) {}

TestClient::~TestClient() {
    Disconnect();
}

void TestClient::Disconnect() {
    socket_.reset();
}

void TestClient::Send(const std::string& bytes) {
    ASSERT_EQ(SendSocket(socket_.get(), bytes.data(), bytes.size()),
              static_cast<long>(bytes.size()));
}

std::string TestClient::Receive(std::size_t size) {
    std::string got;
    std::vector<char> chunk(65536);
    while (got.size() < size) {
        long n =
            ReceiveSocket(socket_.get(), chunk.data(), std::min(chunk.size(), size - got.size()));
        if (n <= 0) {
            break;
        }
        got.append(chunk.data(), static_cast<std::size_t>(n));
    }
    return got;
}

bool TestClient::ClosedByServer() {
    // An orderly close reads as 0 bytes; a connection cut while the server waited in a
    // receive may also be reset, which reads as a failure. Either way nothing came.
    char byte;
    return ReceiveSocket(socket_.get(), &byte, 1) <= 0;
}

std::string TestClient::Handshake() {
    Send("GET / HTTP/1.1\r\nHost: x\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n");
    return Receive(kResponseSize);
}

void TestClient::SendText(const std::string& text, std::uint8_t first_byte) {
    Send(Frame(text, first_byte));
}

std::string TestClient::Frame(const std::string& text, std::uint8_t first_byte) {
    std::string frame(1, static_cast<char>(first_byte));
    if (text.size() <= 125) {
        frame += static_cast<char>(0x80 | text.size());
    } else {
        frame += static_cast<char>(0x80 | 126);
        frame += static_cast<char>(text.size() >> 8);
        frame += static_cast<char>(text.size() & 0xFF);
    }
    frame.append(kMaskingKey, 4);
    for (std::size_t i = 0; i < text.size(); ++i) {
        frame += static_cast<char>(text[i] ^ kMaskingKey[i % 4]);
    }
    return frame;
}

TestClient::Received TestClient::ReceiveFrame() {
    std::string head = Receive(2);
    if (head.size() < 2) {
        return {0, ""};
    }
    std::uint64_t length = static_cast<std::uint8_t>(head[1]);
    EXPECT_EQ(length & 0x80, 0u) << "the server never masks";
    std::size_t extended = length == 126 ? 2 : (length == 127 ? 8 : 0);
    if (extended > 0) {
        std::string bytes = Receive(extended);
        length = 0;
        for (char c : bytes) {
            length = (length << 8) | static_cast<std::uint8_t>(c);
        }
    }
    return {static_cast<std::uint8_t>(head[0]), Receive(length)};
}

std::string TestClient::ReceiveText() {
    Received frame = ReceiveFrame();
    if (frame.first == 0) {
        return "<closed>";
    }
    EXPECT_EQ(frame.first, 0x81);
    return frame.payload;
}

WebSocketServer::CommandHandler TestHandler(Pipeline pipeline) {
    return WebSocketServer::CommandHandler{std::move(pipeline), kReplyBufferSize, {}};
}

ServedServer::ServedServer(Pipeline pipeline) : server(TestHandler(std::move(pipeline))) {}

void ServedServer::Start() {
    EXPECT_TRUE(server.Open(kLoopback, 0));
    port = server.Port();
    served = std::async(std::launch::async, [this] { return server.Serve(); });
}

ServedServer::~ServedServer() {
    server.StopListening();
    if (served.valid()) {
        served.wait();
    }
    server.Close();
}

std::string ServedServer::Error() const {
    std::wstring text = server.ErrorText();
    return std::string(text.begin(), text.end());
}

}  // namespace vorn
