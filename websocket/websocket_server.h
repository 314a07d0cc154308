// The WebSocket endpoint on the loopback address: one listener, many connections, one reader.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "websocket/client_stream.h"
#include "websocket/origin_gate.h"
#include "websocket/report_limiter.h"
#include "websocket/request_queue.h"
#include "websocket/socket_api.h"

namespace vorn {

// What the endpoint tells an observer as it happens; a foreground run prints it.
struct EndpointEvent {
    enum class Kind {
        kConnected,  // the opening handshake was answered
        kRequest,    // a request was answered, or ended its connection without a reply
        kClosed,     // a connection ended; `note` says why
        kRefused,    // a connection past the cap, or from an origin not allowed, was turned away
    };
    Kind kind;
    std::string_view peer;    // "127.0.0.1:50123"
    std::string_view origin;  // the Origin header of the opening request; empty without one
    int result;               // kRequest: the reply's "result", or the handler's failure
    long long milliseconds;   // kRequest: from the request's arrival to its reply
    const wchar_t* note;      // kClosed: the error text of the connection's end
};
using EndpointObserver = std::function<void(const EndpointEvent&)>;

// The listening socket, the open connections and the reader they share, with a last-error
// text. Serve runs everything on the calling thread except the requests themselves, which the
// reader runs one at a time, so no client can hold up another by what it sends or does not
// read.
class WebSocketServer {
public:
    using CommandHandler = ::vorn::CommandHandler;
    using Clock = std::chrono::steady_clock;

    // Connections the system completes before they are accepted. A page opening several
    // connections at once on a busy machine would otherwise see some dropped and retried a
    // second later.
    static constexpr int kListenBacklog = 128;
    static constexpr std::size_t kErrorTextSize = 257;
    // Connections open at once. When a client comes past them, the connection idle longest
    // from the origin that holds the most is closed to make room; only when every connection
    // is busy is the newcomer answered "503 Service Unavailable" and closed.
    static constexpr std::size_t kMaxConnections = 256;
    // Connections one origin may hold; its next handshake closes its own idlest connection,
    // or is answered 503 when all of them are busy.
    static constexpr std::size_t kMaxConnectionsPerOrigin = 64;
    // A client must complete its opening request within this time after connecting.
    static constexpr std::chrono::milliseconds kHandshakeTime{5000};
    // A client must take each reply (or the handshake response) within this time.
    static constexpr std::chrono::milliseconds kReplyTime{30000};
    // After its close frame a connection waits this long for the client to end it.
    static constexpr std::chrono::milliseconds kClosingTime{2000};
    // How often the making of room is traced for one origin at most.
    static constexpr std::chrono::minutes kRoomTraceInterval{1};

    // Throws std::invalid_argument when the handler is not usable.
    explicit WebSocketServer(CommandHandler handler);
    ~WebSocketServer();
    WebSocketServer(const WebSocketServer&) = delete;
    WebSocketServer& operator=(const WebSocketServer&) = delete;

    // Listens on a dotted IPv4 address and a port; a listener already open is closed first.
    // A failure leaves nothing acquired and says why in the error text.
    bool Open(const char* ip, std::uint16_t port);
    // Ends listening, every connection and the reader (a reader stuck in the handler is left
    // behind, see StopRequests) and releases everything; harmless when not open. Serve must
    // have returned.
    void Close();
    // How a call of Serve ended.
    enum class ServeEnd {
        kStopped,     // StopListening was called; the listener and every connection are closed
        kNotOpen,     // there was nothing to serve
        kWaitFailed,  // waiting on the sockets failed, as the error text says; the connections
                      // stay open for the next call
    };
    // Serves the listener and every connection until StopListening or a failure.
    ServeEnd Serve();

    // From another thread: makes Serve close everything and return soon.
    void StopListening();
    // Drops the requests not started and waits at most the given time for the one running.
    // True when the reader has ended.
    bool StopRequests(std::uint32_t milliseconds);
    // Shorter limits than kHandshakeTime and kReplyTime, for tests; set before Serve.
    void SetTimeLimits(std::chrono::milliseconds handshake, std::chrono::milliseconds reply) {
        handshake_time_ = handshake;
        reply_time_ = reply;
    }
    // Called on Serve's thread for every connection and request; set before Serve.
    void SetObserver(EndpointObserver observer) { observer_ = std::move(observer); }
    // Told, on Serve's thread, when a connection is closed to make room, at most once per
    // origin and kRoomTraceInterval; set before Serve.
    void SetTrace(std::function<void(const wchar_t* line)> trace) { trace_ = std::move(trace); }

    bool IsOpen() const { return open_.load(); }
    // The port the listener is bound to; 0 when not listening.
    std::uint16_t Port() const;
    // The origin check of every handshake; it lets every origin in until configured.
    OriginGate& Origins() { return origin_gate_; }
    const wchar_t* ErrorText() const { return error_text_; }
    // Formats a message of at most 256 characters (longer ones are cut) into the error text.
    void SetErrorText(const wchar_t* format, ...);

private:
    // One client, from its accept to its end.
    struct Connection {
        std::uint64_t id = 0;
        OwnedSocket socket;
        std::string peer;
        std::string origin;
        ClientStream input;
        bool open = false;            // the handshake was answered
        bool awaiting_reply = false;  // a request is with the reader
        bool watching = false;        // it is pushed the cards laid on the reader
        std::string output;           // bytes not yet sent
        std::size_t sent = 0;
        bool has_deadline = false;
        Clock::time_point deadline;
        Clock::time_point request_started;
        Clock::time_point last_active;  // its last request, reply or handshake
        bool closing = false;           // a close frame is queued; no frame is read any more
        bool lingering = false;         // the close frame went; the client is given time to end
        std::wstring ending;            // why it ends, once that is known

        // Whether closing it now would lose something its client waits for. A connection that
        // is never closed to make room is busy; a watcher waits for the next card.
        bool IsBusy() const { return awaiting_reply || watching; }
    };

    void ReleaseResources();
    void CloseListener();
    void AcceptClients();
    // Answers a client that cannot be taken 503 and closes it, for the reason in the error text.
    void Refuse(SocketHandle client);
    // The connection to close when room must be made (among those of one origin when it is
    // given): not busy, from the origin holding the most, idle longest; null when all are busy.
    Connection* RoomMaker(const std::string* origin);
    // The connections of this origin whose handshake was answered.
    std::size_t OpenFrom(const std::string& origin) const;
    // Closes a connection to make room for another and says so.
    void MakeRoom(Connection& connection, const wchar_t* reason);
    // Queues the close frame with this status code and ends the connection once it went.
    void BeginClose(Connection& connection, std::uint16_t code, const wchar_t* reason);
    // Each returns false when the connection must end; the caller then drops it.
    bool ReadFrom(Connection& connection);
    bool Flush(Connection& connection);
    bool Advance(Connection& connection);
    bool AnswerHandshake(Connection& connection, const std::string& request);
    // Starts or stops the watch for a `watch` or `unwatch` message and answers it; false for
    // any other message, which goes to the reader.
    bool AnswerWatchMessage(Connection& connection, const std::string& message);
    // Queues a whole frame behind the bytes not yet sent. The client's time to take it runs
    // from now only when nothing was waiting already.
    void QueueFrame(Connection& connection, std::string frame);
    void DeliverReplies();
    void ExpireDeadlines();
    void Drop(std::uint64_t id);
    void DropAll();
    int NextTimeout() const;
    void Notify(EndpointEvent::Kind kind, const Connection& connection, int result = 0);

    CommandHandler handler_;
    OriginGate origin_gate_;
    std::atomic<bool> open_;
    std::atomic<bool> stop_requested_;
    wchar_t error_text_[kErrorTextSize];
    OwnedSocket listener_;
    // The listener's port for Port(), which any thread may ask; 0 once it is closed.
    std::atomic<std::uint16_t> port_;
    OwnedSocket wake_;
    // The wake socket as StopListening sees it from any thread; cleared before it is closed.
    std::atomic<SocketHandle> wake_handle_;
    std::unique_ptr<RequestQueue> queue_;
    std::map<std::uint64_t, std::unique_ptr<Connection>> connections_;
    std::uint64_t next_id_;
    // After a failed accept (out of descriptors) the listener rests for a moment, so the
    // loop does not spin on a socket that stays readable.
    Clock::time_point accept_resumes_;
    EndpointObserver observer_;
    std::chrono::milliseconds handshake_time_;
    std::chrono::milliseconds reply_time_;
    std::function<void(const wchar_t* line)> trace_;
    ReportLimiter room_traces_;
};

}  // namespace vorn
