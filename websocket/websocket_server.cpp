// Listening, the connection loop and the socket side of the handshake and the frames.
#include "websocket/websocket_server.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <new>

#include "request/read_card.h"
#include "websocket/frame.h"
#include "websocket/handshake.h"

namespace {

constexpr const wchar_t* kIpIsNull = L"Ip is null.";
constexpr const wchar_t* kCreateSendBufferError = L"Create send buffer error.";
constexpr const wchar_t* kCreateReceiveBufferError = L"Create recv buffer error.";
constexpr const wchar_t* kCreateReplyBufferError = L"Create func buffer error.";
constexpr const wchar_t* kStartupError = L"WSAStartup error(%d).";
constexpr const wchar_t* kSocketInitError = L"Socket init error(%d).";
constexpr const wchar_t* kBindError = L"Socket bind error(%d).";
constexpr const wchar_t* kListenError = L"Socket listen error(%d).";
constexpr const wchar_t* kAcceptError = L"Socket accept error(%d).";
constexpr const wchar_t* kHandshakeError = L"WebSocket Shakehand error.";
constexpr const wchar_t* kReceiveMessageError = L"Recv socket msg error.";
constexpr const wchar_t* kFunctionError = L"Function error(%d).";
constexpr const wchar_t* kSendMessageError = L"Send socket msg error.";
constexpr const wchar_t* kNoKeyMarker = L"Key flag start ptr is null.";
constexpr const wchar_t* kOriginRefused = L"Origin is not allowed.";
constexpr const wchar_t* kAcceptKeyError = L"Create accept key error.";
constexpr const wchar_t* kSendResponseError = L"Send shakehand protocols error(%d).";
constexpr const wchar_t* kReceiveError = L"Socket recv error(%d).";
constexpr const wchar_t* kSocketClosed = L"Socket is closed.";
constexpr const wchar_t* kClientClosing = L"Client is close.";
constexpr const wchar_t* kNotMasked = L"Client recv no mask.";
constexpr const wchar_t* kFrameIncomplete = L"Client frame is incomplete.";
constexpr const wchar_t* kFrameTooLarge = L"Client frame is too large.";
constexpr const wchar_t* kSendTextNull = L"Send buffer is null.";
constexpr const wchar_t* kSendTooLarge = L"Send buffer too small.";
constexpr const wchar_t* kSendError = L"Socket send error(%d).";

// Room for any message of this endpoint with its numbers, before it is cut to the text size.
constexpr std::size_t kFormatRoom = 1024;

template <typename T>
std::unique_ptr<T[]> ZeroFilled(std::size_t size) {
    std::unique_ptr<T[]> block(new (std::nothrow) T[size]);
    if (block) {
        std::memset(block.get(), 0, size * sizeof(T));
    }
    return block;
}

}  // namespace

WebSocketServer::WebSocketServer(CommandHandler handler)
    : handler_(handler != nullptr ? handler : ExecuteCommand),
      open_(false),
      error_text_{},
      listen_socket_(kInvalidSocket),
      client_socket_(kInvalidSocket),
      interrupted_(false) {}

WebSocketServer::~WebSocketServer() {
    Close();
}

void WebSocketServer::SetErrorText(const wchar_t* format, ...) {
    wchar_t text[kFormatRoom] = {};
    va_list arguments;
    va_start(arguments, format);
    std::vswprintf(text, kFormatRoom, format, arguments);
    va_end(arguments);
    text[kFormatRoom - 1] = L'\0';
    std::wcsncpy(error_text_, text, kErrorTextSize - 1);
    error_text_[kErrorTextSize - 1] = L'\0';
}

bool WebSocketServer::Open(const char* ip, std::uint16_t port) {
    if (open_) {
        Close();
    }
    if (ip == nullptr) {
        SetErrorText(kIpIsNull);
        return false;
    }
    send_buffer_ = ZeroFilled<std::uint8_t>(kSendBufferSize);
    if (!send_buffer_) {
        SetErrorText(kCreateSendBufferError);
        ReleaseResources(false);
        return false;
    }
    receive_buffer_ = ZeroFilled<std::uint8_t>(kReceiveBufferSize);
    if (!receive_buffer_) {
        SetErrorText(kCreateReceiveBufferError);
        ReleaseResources(false);
        return false;
    }
    reply_buffer_ = ZeroFilled<char>(kReplyBufferSize);
    if (!reply_buffer_) {
        SetErrorText(kCreateReplyBufferError);
        ReleaseResources(false);
        return false;
    }
    int startup = SocketStartup();
    if (startup != 0) {
        SetErrorText(kStartupError, startup);
        ReleaseResources(false);
        return false;
    }
    SocketHandle listener = CreateStreamSocket();
    if (listener == kInvalidSocket) {
        SetErrorText(kSocketInitError, LastSocketError());
        ReleaseResources(true);
        return false;
    }
    listen_socket_ = listener;
    if (!BindSocket(listener, ip, port)) {
        SetErrorText(kBindError, LastSocketError());
        ReleaseResources(true);
        return false;
    }
    if (!ListenSocket(listener, kListenBacklog)) {
        SetErrorText(kListenError, LastSocketError());
        ReleaseResources(true);
        return false;
    }
    interrupted_ = false;
    open_ = true;
    return true;
}

void WebSocketServer::ReleaseResources(bool socket_library_started) {
    StopListening();
    if (socket_library_started) {
        SocketCleanup();
    }
    send_buffer_.reset();
    receive_buffer_.reset();
    reply_buffer_.reset();
}

void WebSocketServer::Close() {
    if (!open_) {
        return;
    }
    ReleaseResources(true);
    open_ = false;
    error_text_[0] = L'\0';
}

std::uint16_t WebSocketServer::Port() const {
    SocketHandle listener = listen_socket_.load();
    return listener == kInvalidSocket ? 0 : SocketPort(listener);
}

void WebSocketServer::StopListening() {
    SocketHandle listener = listen_socket_.exchange(kInvalidSocket);
    if (listener != kInvalidSocket) {
        ShutdownSocket(listener);
        CloseSocket(listener);
    }
}

void WebSocketServer::InterruptConnection() {
    std::lock_guard<std::mutex> lock(connection_lock_);
    interrupted_ = true;
    if (client_socket_ != kInvalidSocket) {
        ShutdownSocket(client_socket_);
    }
}

bool WebSocketServer::BeginConnection(SocketHandle client) {
    std::lock_guard<std::mutex> lock(connection_lock_);
    client_socket_ = client;
    return !interrupted_;
}

void WebSocketServer::EndConnection() {
    std::lock_guard<std::mutex> lock(connection_lock_);
    if (client_socket_ != kInvalidSocket) {
        CloseSocket(client_socket_);
        client_socket_ = kInvalidSocket;
    }
}

int WebSocketServer::Serve() {
    if (!open_) {
        return -1;
    }
    bool served = false;
    for (;;) {
        SocketHandle client = AcceptSocket(listen_socket_.load());
        if (client == kInvalidSocket) {
            SetErrorText(kAcceptError, LastSocketError());
            return served ? 0 : -1;
        }
        served = true;
        if (!BeginConnection(client)) {
            EndConnection();
            return 0;
        }
        int handshake = Handshake(client);
        if (handshake != 0) {
            SetErrorText(kHandshakeError);
            EndConnection();
            return handshake;
        }
        ServeMessages(client);
        EndConnection();
        if (!open_) {
            return 0;
        }
    }
}

void WebSocketServer::ServeMessages(SocketHandle client) {
    for (;;) {
        char* message = ReceiveMessage(client);
        if (message == nullptr) {
            SetErrorText(kReceiveMessageError);
            return;
        }
        int result = handler_(message, reply_buffer_.get(), kReplyBufferSize);
        if (result != 0) {
            SetErrorText(kFunctionError, result);
            return;
        }
        if (SendMessage(reply_buffer_.get(), client) != 0) {
            SetErrorText(kSendMessageError);
            return;
        }
    }
}

int WebSocketServer::Handshake(SocketHandle client) {
    if (!open_) {
        return -1;
    }
    std::memset(receive_buffer_.get(), 0, kReceiveBufferSize);
    long received = ReceiveSocket(client, receive_buffer_.get(), kReceiveBufferSize);
    if (received < 0) {
        SetErrorText(kAcceptError, LastSocketError());
        return -1;
    }
    if (!origin_gate_.Admits(reinterpret_cast<const char*>(receive_buffer_.get()),
                             static_cast<std::size_t>(received))) {
        SendSocket(client, kOriginRefusedResponse, std::strlen(kOriginRefusedResponse));
        SetErrorText(kOriginRefused);
        return -1;
    }
    char key[kKeyTextLimit + 1];
    if (!ExtractKey(reinterpret_cast<const char*>(receive_buffer_.get()),
                    static_cast<std::size_t>(received), key)) {
        SetErrorText(kNoKeyMarker);
        return static_cast<int>(received);
    }
    std::unique_ptr<char[]> accept = ComputeAcceptKey(key);
    if (!accept) {
        SetErrorText(kAcceptKeyError);
        return -1;
    }
    char response[kHandshakeResponseSize];
    std::size_t length = BuildHandshakeResponse(accept.get(), response, sizeof(response));
    if (SendSocket(client, response, length) < 0) {
        SetErrorText(kSendResponseError, LastSocketError());
        return -1;
    }
    return 0;
}

char* WebSocketServer::ReceiveMessage(SocketHandle client) {
    if (!receive_buffer_) {
        return nullptr;
    }
    std::memset(receive_buffer_.get(), 0, kReceiveBufferSize);
    long received = ReceiveSocket(client, receive_buffer_.get(), kReceiveBufferSize);
    if (received < 0) {
        SetErrorText(kReceiveError, LastSocketError());
        return nullptr;
    }
    if (received == 0) {
        SetErrorText(kSocketClosed);
        return nullptr;
    }
    char* text = nullptr;
    switch (UnwrapFrame(receive_buffer_.get(), static_cast<std::size_t>(received),
                        kReceiveBufferSize, &text)) {
        case FrameStatus::kMessage:
            return text;
        case FrameStatus::kClose:
            SetErrorText(kClientClosing);
            break;
        case FrameStatus::kNotMasked:
            SetErrorText(kNotMasked);
            break;
        case FrameStatus::kIncomplete:
            SetErrorText(kFrameIncomplete);
            break;
        case FrameStatus::kTooLarge:
            SetErrorText(kFrameTooLarge);
            break;
    }
    return nullptr;
}

int WebSocketServer::SendMessage(const char* text, SocketHandle client) {
    if (!send_buffer_) {
        return -1;
    }
    std::memset(send_buffer_.get(), 0, 4);
    if (text == nullptr) {
        SetErrorText(kSendTextNull);
        return -1;
    }
    // Looked for only as far as the longest text allowed, so an unterminated one is refused.
    const void* end = std::memchr(text, 0, kLargestReply + 1);
    if (end == nullptr) {
        SetErrorText(kSendTooLarge);
        return -1;
    }
    auto length = static_cast<std::size_t>(static_cast<const char*>(end) - text);
    std::size_t header = WriteFrameHeader(length, send_buffer_.get());
    std::memcpy(send_buffer_.get() + header, text, length);
    if (SendSocket(client, send_buffer_.get(), header + length) < 0) {
        SetErrorText(kSendError, LastSocketError());
        return -1;
    }
    return 0;
}
