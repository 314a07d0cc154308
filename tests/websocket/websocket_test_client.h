// A WebSocket client of the tests' own that speaks raw frames over a loopback connection.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <string>

#include "websocket/socket_api.h"
#include "websocket/websocket_server.h"

namespace vorn {

constexpr const char* kLoopback = "127.0.0.1";

// One connection to the server under test; every call blocks until its bytes came.
class TestClient {
public:
    explicit TestClient(std::uint16_t port);
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool connected() const { return static_cast<bool>(socket_); }
    void Disconnect();

    void Send(const std::string& bytes);
    // Reads until `size` bytes came or the server closed; returns what came.
    std::string Receive(std::size_t size);
    // True when the server ended or reset the connection without sending anything more.
    bool ClosedByServer();

    // Sends an opening request with the key of the protocol's worked example and returns
    // the response (the fixed 129 bytes it must be).
    std::string Handshake();
    // Sends one masked frame with the text as payload.
    void SendText(const std::string& text, std::uint8_t first_byte = 0x81);
    // That frame, to be sent in pieces or together with others.
    static std::string Frame(const std::string& text, std::uint8_t first_byte = 0x81);
    // The payload of one unmasked text frame; "<closed>" when none came.
    std::string ReceiveText();
    // One unmasked frame of any kind: its first byte and payload; first byte 0 when none came.
    struct Received {
        std::uint8_t first;
        std::string payload;
    };
    Received ReceiveFrame();

private:
    OwnedSocket socket_;
};

// A stand-in for the read-card pipeline behind a test server.
using Pipeline = std::function<int(const char* command, char* reply, std::int32_t capacity)>;

// The handler a test server runs: the pipeline with the service's reply room.
WebSocketServer::CommandHandler TestHandler(Pipeline pipeline);

// A server on a free loopback port, served by a thread of its own once started, and
// stopped and closed when it goes.
class ServedServer {
public:
    // The pipeline is given the reply room the service gives the read-card pipeline.
    explicit ServedServer(Pipeline pipeline);
    ~ServedServer();
    ServedServer(const ServedServer&) = delete;
    ServedServer& operator=(const ServedServer&) = delete;

    // Opens the server and serves it; settings such as time limits come before.
    void Start();
    std::string Error() const;

    WebSocketServer server;
    std::uint16_t port = 0;
    std::future<WebSocketServer::ServeEnd> served;
};

}  // namespace vorn
