// Listening, the connection loop, and the socket side of the handshake and the frames.
#include "websocket/websocket_server.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <stdexcept>
#include <vector>

#include "websocket/card_watch.h"
#include "websocket/frame.h"
#include "websocket/handshake.h"
#include "websocket/http_headers.h"
#include "websocket/origin_policy.h"

namespace vorn {

namespace {

constexpr const wchar_t* kIpIsNull = L"Ip is null.";
constexpr const wchar_t* kStartupError = L"WSAStartup error(%d).";
constexpr const wchar_t* kSocketInitError = L"Socket init error(%d).";
constexpr const wchar_t* kBindError = L"Socket bind error(%d).";
constexpr const wchar_t* kListenError = L"Socket listen error(%d).";
constexpr const wchar_t* kWakeError = L"Wake socket error(%d).";
constexpr const wchar_t* kAcceptError = L"Socket accept error(%d).";
constexpr const wchar_t* kPollError = L"Socket poll error(%d).";
constexpr const wchar_t* kEndpointStopped = L"Endpoint stopped.";
constexpr const wchar_t* kTooManyConnections = L"Too many connections.";
constexpr const wchar_t* kNonBlockingError = L"Socket non-blocking error(%d).";
constexpr const wchar_t* kClosedForRoom =
    L"Closed to make room: the connection table was full and this origin held the most.";
constexpr const wchar_t* kClosedForOrigin =
    L"Closed to make room: this origin holds as many connections as one may.";
constexpr const wchar_t* kOriginFull = L"This origin holds as many connections as one may.";
constexpr const wchar_t* kRoomTraceFormat =
    L"WebSocket connection of origin \"%ls\" closed to make room (%u connections of %u, %u "
    L"of them from that origin, at most %u per origin).";
constexpr const wchar_t* kHandshakeError = L"WebSocket Shakehand error.";
constexpr const wchar_t* kHandshakeLate = L"Handshake not completed in time.";
constexpr const wchar_t* kRequestTooLarge = L"Handshake request too large.";
constexpr const wchar_t* kFunctionError = L"Function error(%d).";
constexpr const wchar_t* kReplyLate = L"Reply not taken in time.";
constexpr const wchar_t* kNoKeyMarker = L"Key flag start ptr is null.";
constexpr const wchar_t* kOriginRefused = L"Origin is not allowed.";
constexpr const wchar_t* kAcceptKeyError = L"Create accept key error.";
constexpr const wchar_t* kReceiveError = L"Socket recv error(%d).";
constexpr const wchar_t* kSocketClosed = L"Socket is closed.";
constexpr const wchar_t* kClientClosing = L"Client is close.";
constexpr const wchar_t* kNotMasked = L"Client recv no mask.";
constexpr const wchar_t* kFrameTooLarge = L"Client frame is too large.";
constexpr const wchar_t* kBinaryFrame = L"Client sent a binary frame.";
constexpr const wchar_t* kFragmentedMessage = L"Client sent a fragmented message.";
constexpr const wchar_t* kBrokenFrame = L"Client frame breaks the protocol.";
constexpr const wchar_t* kSendTooLarge = L"Send buffer too small.";
constexpr const wchar_t* kSendError = L"Socket send error(%d).";

// What a client past the connection cap gets before its connection is closed. The CORS
// header lets a page's plain fetch see the status.
constexpr const char* kBusyResponse =
    "HTTP/1.1 503 Service Unavailable\r\nAccess-Control-Allow-Origin: *\r\n"
    "Content-Length: 0\r\nConnection: close\r\n\r\n";

// Room for any message of this endpoint with its numbers, before it is cut to the text size.
constexpr std::size_t kFormatRoom = 1024;
// The longest wait for the sockets, so that deadlines are looked at now and then.
constexpr int kLongestPollMilliseconds = 1000;
// How long the listener rests after an accept failed for want of descriptors.
constexpr std::chrono::milliseconds kAcceptRest{100};
// Connections taken from the backlog before the others get their turn.
constexpr int kAcceptsPerRound = 64;
// What a lingering connection's remaining bytes are read into and dropped.
constexpr std::size_t kDiscardSize = 512;
// Distinct origins whose making of room is remembered for its trace interval.
constexpr std::size_t kMostRoomTraces = 256;
// The group of connections still in their handshake: a text no Origin header can hold, as
// the header reader splits lines at line feeds.
constexpr std::string_view kHandshakingGroup = "\n";

// Why a frame of this kind ends its connection.
const wchar_t* EndingOf(FrameStatus status) {
    switch (status) {
        case FrameStatus::kNotMasked:
            return kNotMasked;
        case FrameStatus::kTooLarge:
            return kFrameTooLarge;
        case FrameStatus::kBinary:
            return kBinaryFrame;
        case FrameStatus::kFragmented:
            return kFragmentedMessage;
        default:
            return kBrokenFrame;
    }
}

}  // namespace

WebSocketServer::WebSocketServer(CommandHandler handler)
    : handler_(std::move(handler)),
      open_(false),
      stop_requested_(false),
      error_text_{},
      port_(0),
      wake_handle_(kInvalidSocket),
      next_id_(1),
      handshake_time_(kHandshakeTime),
      reply_time_(kReplyTime),
      room_traces_(kRoomTraceInterval, kMostRoomTraces) {
    if (!handler_.Usable()) {
        throw std::invalid_argument(kUnusableHandler);
    }
}

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
    int startup = SocketStartup();
    if (startup != 0) {
        SetErrorText(kStartupError, startup);
        return false;
    }
    listener_.reset(CreateStreamSocket());
    if (!listener_) {
        SetErrorText(kSocketInitError, LastSocketError());
        ReleaseResources();
        return false;
    }
    if (!BindSocket(listener_.get(), ip, port)) {
        SetErrorText(kBindError, LastSocketError());
        ReleaseResources();
        return false;
    }
    if (!ListenSocket(listener_.get(), kListenBacklog) || !SetNonBlocking(listener_.get())) {
        SetErrorText(kListenError, LastSocketError());
        ReleaseResources();
        return false;
    }
    port_ = SocketPort(listener_.get());
    wake_.reset(OpenWakeSocket());
    if (!wake_) {
        SetErrorText(kWakeError, LastSocketError());
        ReleaseResources();
        return false;
    }
    const SocketHandle wake = wake_.get();
    wake_handle_ = wake;
    queue_ = std::make_unique<RequestQueue>(handler_, [wake] { WakeSocket(wake); });
    stop_requested_ = false;
    accept_resumes_ = Clock::time_point();
    open_ = true;
    return true;
}

void WebSocketServer::CloseListener() {
    port_ = 0;
    if (listener_) {
        ShutdownSocket(listener_.get());
        listener_.reset();
    }
}

void WebSocketServer::ReleaseResources() {
    DropAll();
    CloseListener();
    // The reader's wake-up goes to the wake socket: the reader is given up first.
    wake_handle_ = kInvalidSocket;
    queue_.reset();
    wake_.reset();
    SocketCleanup();
}

void WebSocketServer::Close() {
    if (!open_) {
        return;
    }
    ReleaseResources();
    open_ = false;
    error_text_[0] = L'\0';
}

std::uint16_t WebSocketServer::Port() const {
    return port_.load();
}

void WebSocketServer::StopListening() {
    stop_requested_ = true;
    SocketHandle wake = wake_handle_.load();
    if (wake != kInvalidSocket) {
        WakeSocket(wake);
    }
}

bool WebSocketServer::StopRequests(std::uint32_t milliseconds) {
    return queue_ == nullptr || queue_->Stop(milliseconds);
}

WebSocketServer::ServeEnd WebSocketServer::Serve() {
    if (!open_) {
        return ServeEnd::kNotOpen;
    }
    std::vector<PollEntry> entries;
    std::vector<std::uint64_t> ids;
    while (!stop_requested_) {
        entries.clear();
        ids.clear();
        entries.push_back(PollEntry{wake_.get(), true, false, false, false, false});
        const bool accepting = Clock::now() >= accept_resumes_;
        entries.push_back(PollEntry{listener_.get(), accepting, false, false, false, false});
        for (const auto& [id, connection] : connections_) {
            // Read while a request is with the reader too, so that a client that leaves is
            // noticed and its request dropped before it takes the reader's time. A client
            // with a reply still to take is not read from: what it sends waits in the system.
            // A lingering connection is read to its end, whatever it still sends.
            const bool reading = connection->lingering ||
                                 (connection->output.empty() && connection->input.RoomSize() > 0);
            entries.push_back(PollEntry{connection->socket.get(), reading,
                                        !connection->output.empty(), false, false, false});
            ids.push_back(id);
        }
        if (PollSockets(entries.data(), entries.size(), NextTimeout()) < 0) {
            SetErrorText(kPollError, LastSocketError());
            return ServeEnd::kWaitFailed;
        }
        if (entries[0].readable) {
            DrainWakeSocket(entries[0].socket);
        }
        DeliverReplies();
        if (entries[1].readable) {
            AcceptClients();
        }
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const PollEntry& entry = entries[i + 2];
            auto found = connections_.find(ids[i]);
            if (found == connections_.end()) {
                continue;
            }
            Connection& connection = *found->second;
            bool keep = true;
            if (entry.readable || (entry.failed && connection.output.empty())) {
                keep = ReadFrom(connection);
            }
            if (keep) {
                keep = Advance(connection);
            }
            if (!keep) {
                Drop(ids[i]);
            }
        }
        ExpireDeadlines();
    }
    SetErrorText(kEndpointStopped);
    DropAll();
    CloseListener();
    return ServeEnd::kStopped;
}

int WebSocketServer::NextTimeout() const {
    Clock::time_point now = Clock::now();
    auto wait = std::chrono::milliseconds(kLongestPollMilliseconds);
    for (const auto& [id, connection] : connections_) {
        if (connection->has_deadline) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(connection->deadline - now);
            wait = left < wait ? left : wait;
        }
    }
    return wait.count() < 0 ? 0 : static_cast<int>(wait.count());
}

void WebSocketServer::AcceptClients() {
    for (int round = 0; round < kAcceptsPerRound; ++round) {
        OwnedSocket client(AcceptSocket(listener_.get()));
        if (!client) {
            if (!LastErrorWouldBlock()) {
                SetErrorText(kAcceptError, LastSocketError());
                accept_resumes_ = Clock::now() + kAcceptRest;
            }
            return;
        }
        if (!SetNonBlocking(client.get())) {
            SetErrorText(kNonBlockingError, LastSocketError());
            Refuse(client.get());
            continue;
        }
        if (connections_.size() >= kMaxConnections) {
            Connection* room = RoomMaker(nullptr);
            if (room == nullptr) {
                SetErrorText(kTooManyConnections);
                Refuse(client.get());
                continue;
            }
            MakeRoom(*room, kClosedForRoom);
        }
        auto connection = std::make_unique<Connection>();
        connection->id = next_id_++;
        connection->peer = PeerAddress(client.get());
        connection->socket = std::move(client);
        connection->has_deadline = true;
        connection->last_active = Clock::now();
        connection->deadline = connection->last_active + handshake_time_;
        connections_[connection->id] = std::move(connection);
    }
}

void WebSocketServer::Refuse(SocketHandle client) {
    SendSocket(client, kBusyResponse, std::strlen(kBusyResponse));
    if (observer_) {
        const std::string peer = PeerAddress(client);
        observer_(EndpointEvent{EndpointEvent::Kind::kRefused, peer, {}, 0, 0, error_text_});
    }
}

WebSocketServer::Connection* WebSocketServer::RoomMaker(const std::string* origin) {
    auto group = [](const Connection& connection) {
        return connection.open ? std::string_view(connection.origin) : kHandshakingGroup;
    };
    std::map<std::string_view, std::size_t> held;
    for (const auto& [id, connection] : connections_) {
        ++held[group(*connection)];
    }
    Connection* chosen = nullptr;
    std::size_t chosen_held = 0;
    for (const auto& [id, connection] : connections_) {
        if (connection->IsBusy() || connection->closing ||
            (origin != nullptr && (!connection->open || connection->origin != *origin))) {
            continue;
        }
        const std::size_t count = held[group(*connection)];
        if (chosen == nullptr || count > chosen_held ||
            (count == chosen_held && connection->last_active < chosen->last_active)) {
            chosen = connection.get();
            chosen_held = count;
        }
    }
    return chosen;
}

std::size_t WebSocketServer::OpenFrom(const std::string& origin) const {
    std::size_t count = 0;
    for (const auto& [id, connection] : connections_) {
        count += connection->open && connection->origin == origin ? 1 : 0;
    }
    return count;
}

void WebSocketServer::MakeRoom(Connection& connection, const wchar_t* reason) {
    if (trace_ && room_traces_.ShouldReport(connection.origin)) {
        SetErrorText(kRoomTraceFormat, PrintableOrigin(connection.origin).c_str(),
                     static_cast<unsigned>(connections_.size()),
                     static_cast<unsigned>(kMaxConnections),
                     static_cast<unsigned>(OpenFrom(connection.origin)),
                     static_cast<unsigned>(kMaxConnectionsPerOrigin));
        trace_(error_text_);
    }
    // The client is told why, as far as its socket takes the frame at once.
    if (connection.open && connection.output.empty()) {
        const std::string frame = CloseFrame(kCloseGoingAway);
        SendSocket(connection.socket.get(), frame.data(), frame.size());
    }
    SetErrorText(reason);
    connection.ending = error_text_;
    Drop(connection.id);
}

void WebSocketServer::BeginClose(Connection& connection, std::uint16_t code,
                                 const wchar_t* reason) {
    SetErrorText(reason);
    connection.ending = error_text_;
    connection.output = CloseFrame(code);
    connection.sent = 0;
    connection.closing = true;
    connection.has_deadline = true;
    connection.deadline = Clock::now() + kClosingTime;
}

bool WebSocketServer::ReadFrom(Connection& connection) {
    if (connection.lingering) {
        char discarded[kDiscardSize];
        long received = ReceiveSocket(connection.socket.get(), discarded, sizeof(discarded));
        return received > 0 || (received < 0 && LastErrorWouldBlock());
    }
    if (connection.input.RoomSize() == 0) {
        return true;
    }
    long received = ReceiveSocket(connection.socket.get(), connection.input.Room(),
                                  connection.input.RoomSize());
    if (received > 0) {
        connection.input.Received(static_cast<std::size_t>(received));
        return true;
    }
    if (received < 0 && LastErrorWouldBlock()) {
        return true;
    }
    if (received < 0) {
        SetErrorText(kReceiveError, LastSocketError());
    } else {
        SetErrorText(kSocketClosed);
    }
    return false;
}

bool WebSocketServer::Flush(Connection& connection) {
    while (connection.sent < connection.output.size()) {
        long sent = SendSocket(connection.socket.get(), connection.output.data() + connection.sent,
                               connection.output.size() - connection.sent);
        if (sent < 0 && LastErrorWouldBlock()) {
            return true;
        }
        if (sent <= 0) {
            SetErrorText(kSendError, LastSocketError());
            return false;
        }
        connection.sent += static_cast<std::size_t>(sent);
    }
    connection.output.clear();
    connection.sent = 0;
    connection.has_deadline = false;
    return true;
}

bool WebSocketServer::Advance(Connection& connection) {
    for (;;) {
        if (!connection.output.empty()) {
            if (!Flush(connection)) {
                return false;
            }
            if (!connection.output.empty()) {
                return true;
            }
        }
        if (connection.closing) {
            // The close frame went: the client sees the end of the stream after it, and the
            // connection ends when the client ends its side or its time is up.
            if (!connection.lingering) {
                ShutdownSending(connection.socket.get());
                connection.lingering = true;
                connection.has_deadline = true;
                connection.deadline = Clock::now() + kClosingTime;
            }
            return true;
        }
        if (connection.awaiting_reply) {
            return true;
        }
        if (!connection.open) {
            std::string request;
            switch (connection.input.TakeRequest(&request)) {
                case ClientStream::Request::kIncomplete:
                    return true;
                case ClientStream::Request::kTooLarge:
                    SetErrorText(kRequestTooLarge);
                    return false;
                case ClientStream::Request::kComplete:
                    if (!AnswerHandshake(connection, request)) {
                        SetErrorText(kHandshakeError);
                        return false;
                    }
                    continue;
            }
        }
        // Frames are taken one at a time, each once the answer to the one before has gone,
        // so a pong or close frame never lands inside a reply.
        std::string payload;
        const FrameStatus status = connection.input.TakeFrame(&payload);
        switch (status) {
            case FrameStatus::kIncomplete:
                return true;
            case FrameStatus::kMessage:
                if (AnswerWatchMessage(connection, payload)) {
                    continue;
                }
                connection.awaiting_reply = true;
                connection.request_started = Clock::now();
                connection.last_active = connection.request_started;
                queue_->Submit(connection.id, std::move(payload));
                return true;
            case FrameStatus::kPing:
                connection.output = ControlFrame(kOpcodePong, payload);
                connection.sent = 0;
                connection.has_deadline = true;
                connection.deadline = Clock::now() + reply_time_;
                continue;
            case FrameStatus::kPong:
                continue;
            case FrameStatus::kClose:
                BeginClose(connection, CloseReplyCode(payload), kClientClosing);
                continue;
            default:
                BeginClose(connection, CloseCodeFor(status), EndingOf(status));
                continue;
        }
    }
}

bool WebSocketServer::AnswerHandshake(Connection& connection, const std::string& request) {
    connection.origin = HeaderValue(request, kOriginHeader).value_or(std::string_view());
    // A refused page gets its short answer at once; it fits any socket's send room, so it
    // needs no queueing, and the card is never read for it.
    if (!origin_gate_.Admits(request.data(), request.size())) {
        SendSocket(connection.socket.get(), kOriginRefusedResponse,
                   std::strlen(kOriginRefusedResponse));
        SetErrorText(kOriginRefused);
        Notify(EndpointEvent::Kind::kRefused, connection);
        return false;
    }
    // A page past its share makes room among its own connections, never the others'.
    if (!connection.origin.empty() && OpenFrom(connection.origin) >= kMaxConnectionsPerOrigin) {
        Connection* room = RoomMaker(&connection.origin);
        if (room == nullptr) {
            SetErrorText(kOriginFull);
            connection.ending = error_text_;
            SendSocket(connection.socket.get(), kBusyResponse, std::strlen(kBusyResponse));
            Notify(EndpointEvent::Kind::kRefused, connection);
            return false;
        }
        MakeRoom(*room, kClosedForOrigin);
    }
    char key[kKeyTextLimit + 1];
    if (!ExtractKey(request.data(), request.size(), key)) {
        SetErrorText(kNoKeyMarker);
        return false;
    }
    std::unique_ptr<char[]> accept = ComputeAcceptKey(key);
    if (!accept) {
        SetErrorText(kAcceptKeyError);
        return false;
    }
    char response[kHandshakeResponseSize];
    std::size_t length = BuildHandshakeResponse(accept.get(), response, sizeof(response));
    connection.output.assign(response, length);
    connection.open = true;
    connection.has_deadline = true;
    connection.deadline = Clock::now() + reply_time_;
    Notify(EndpointEvent::Kind::kConnected, connection);
    return true;
}

bool WebSocketServer::AnswerWatchMessage(Connection& connection, const std::string& message) {
    if (!queue_->CanWatch()) {
        return false;
    }
    if (message == kWatchMessage) {
        QueueFrame(connection, TextFrame(kWatchingEvent));
        // The document of a card already lying there follows the answer.
        if (!connection.watching) {
            connection.watching = true;
            queue_->Watch(connection.id);
        }
        return true;
    }
    if (message == kUnwatchMessage) {
        if (connection.watching) {
            connection.watching = false;
            queue_->Unwatch(connection.id);
        }
        QueueFrame(connection, TextFrame(kUnwatchedEvent));
        return true;
    }
    return false;
}

void WebSocketServer::QueueFrame(Connection& connection, std::string frame) {
    if (connection.output.empty()) {
        connection.output = std::move(frame);
        connection.sent = 0;
        connection.has_deadline = true;
        connection.deadline = Clock::now() + reply_time_;
        return;
    }
    connection.output.append(frame);
}

void WebSocketServer::DeliverReplies() {
    if (queue_ == nullptr) {
        return;
    }
    for (RequestQueue::Finished& done : queue_->TakeFinished()) {
        auto found = connections_.find(done.connection);
        if (found == connections_.end()) {
            continue;
        }
        Connection& connection = *found->second;
        if (done.push) {
            // A push for a watch that has ended, or to a connection closing, is dropped.
            if (!connection.watching || connection.closing) {
                continue;
            }
            QueueFrame(connection, std::move(done.frame));
            if (!Advance(connection)) {
                Drop(done.connection);
            }
            continue;
        }
        connection.awaiting_reply = false;
        if (done.result != 0) {
            SetErrorText(kFunctionError, done.result);
            Notify(EndpointEvent::Kind::kRequest, connection, done.result);
            Drop(done.connection);
            continue;
        }
        if (done.too_large) {
            SetErrorText(kSendTooLarge);
            Notify(EndpointEvent::Kind::kRequest, connection, done.reply_code);
            Drop(done.connection);
            continue;
        }
        connection.last_active = Clock::now();
        QueueFrame(connection, std::move(done.frame));
        Notify(EndpointEvent::Kind::kRequest, connection, done.reply_code);
        if (!Advance(connection)) {
            Drop(done.connection);
        }
    }
}

void WebSocketServer::ExpireDeadlines() {
    Clock::time_point now = Clock::now();
    std::vector<std::uint64_t> late;
    for (const auto& [id, connection] : connections_) {
        if (connection->has_deadline && connection->deadline <= now) {
            late.push_back(id);
        }
    }
    for (std::uint64_t id : late) {
        SetErrorText(connections_[id]->open ? kReplyLate : kHandshakeLate);
        Drop(id);
    }
}

void WebSocketServer::Drop(std::uint64_t id) {
    auto found = connections_.find(id);
    if (found == connections_.end()) {
        return;
    }
    if (found->second->awaiting_reply && queue_ != nullptr) {
        queue_->Cancel(id);
    }
    if (found->second->watching && queue_ != nullptr) {
        queue_->Unwatch(id);
    }
    if (!found->second->ending.empty()) {
        SetErrorText(L"%ls", found->second->ending.c_str());
    }
    Notify(EndpointEvent::Kind::kClosed, *found->second);
    // The connection's socket closes with it.
    connections_.erase(found);
}

void WebSocketServer::DropAll() {
    while (!connections_.empty()) {
        Drop(connections_.begin()->first);
    }
}

void WebSocketServer::Notify(EndpointEvent::Kind kind, const Connection& connection, int result) {
    if (!observer_) {
        return;
    }
    long long milliseconds = 0;
    if (kind == EndpointEvent::Kind::kRequest) {
        milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                           Clock::now() - connection.request_started)
                           .count();
    }
    observer_(
        EndpointEvent{kind, connection.peer, connection.origin, result, milliseconds, error_text_});
}

}  // namespace vorn
