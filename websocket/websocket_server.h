// The WebSocket endpoint on the loopback address: one listener, one connection at a time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "websocket/origin_gate.h"
#include "websocket/socket_api.h"

// The listening socket and the buffers of the connection being served, with a last-error text.
class WebSocketServer {
public:
    // What a received message is given to: the read-card pipeline unless a test says otherwise.
    using CommandHandler = int (*)(const char* command, char* reply, std::int32_t capacity);

    static constexpr int kListenBacklog = 5;
    static constexpr std::size_t kErrorTextSize = 257;

    explicit WebSocketServer(CommandHandler handler = nullptr);
    ~WebSocketServer();
    WebSocketServer(const WebSocketServer&) = delete;
    WebSocketServer& operator=(const WebSocketServer&) = delete;

    // Listens on a dotted IPv4 address and a port; a listener already open is closed first.
    // A failure leaves nothing acquired and says why in the error text.
    bool Open(const char* ip, std::uint16_t port);
    // Ends listening and releases everything; harmless when not open.
    void Close();
    // Accepts connections one after another and serves their requests. Returns -1 when not
    // open or the first accept fails, 0 when a later accept fails or the server was closed,
    // or the handshake's result when a handshake fails.
    int Serve();

    // For the service's stop, from another thread while Serve may be waiting: closes the
    // listening socket, so that a pending accept returns and no connection is taken.
    void StopListening();
    // Also from another thread: makes the connection being served, and any connection
    // accepted from now on, end at its next receive or send. Serve closes the socket itself.
    void InterruptConnection();

    bool IsOpen() const { return open_.load(); }
    // The port the listener is bound to; 0 when not listening.
    std::uint16_t Port() const;
    // The origin check of every handshake; it lets every origin in until configured.
    OriginGate& Origins() { return origin_gate_; }
    const wchar_t* ErrorText() const { return error_text_; }
    // Formats a message of at most 256 characters (longer ones are cut) into the error text.
    void SetErrorText(const wchar_t* format, ...);

    // The steps of a connection. Handshake returns 0 when the response was sent, -1 on a
    // socket failure, or the number of bytes received when they hold no key.
    int Handshake(SocketHandle client);
    // The payload text of one frame inside the receive buffer, or null.
    char* ReceiveMessage(SocketHandle client);
    // Sends the text as one text frame; 0 when sent, -1 otherwise.
    int SendMessage(const char* text, SocketHandle client);

private:
    void ReleaseResources(bool socket_library_started);
    // Records the connection for InterruptConnection; false when it must end at once.
    bool BeginConnection(SocketHandle client);
    void EndConnection();
    void ServeMessages(SocketHandle client);

    CommandHandler handler_;
    OriginGate origin_gate_;
    std::atomic<bool> open_;
    wchar_t error_text_[kErrorTextSize];
    std::atomic<SocketHandle> listen_socket_;
    std::unique_ptr<std::uint8_t[]> send_buffer_;
    std::unique_ptr<std::uint8_t[]> receive_buffer_;
    std::unique_ptr<char[]> reply_buffer_;

    // Guards the connection's socket between Serve and InterruptConnection, for moments only.
    std::mutex connection_lock_;
    SocketHandle client_socket_;
    bool interrupted_;
};
