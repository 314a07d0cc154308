// The program's one service: the WebSocket endpoint for the life of the service.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "host/service/service_base.h"
#include "host/service/service_worker.h"
#include "request/config.h"
#include "request/read_card.h"
#include "websocket/websocket_server.h"

namespace vorn {

// Opens the WebSocket server on start, serves it from one worker and closes it on stop.
class CIdReaderService : public CServiceBase {
public:
    // The worker's pause after the endpoint failed to wait on its sockets.
    static constexpr std::uint32_t kWorkerPauseMilliseconds = 100;
    // How often a service that cannot listen (the port is taken) tries again.
    static constexpr std::uint32_t kListenRetryMilliseconds = 5000;
    // How long a stop waits for a card read still running (a reader driver that never
    // returns) before it leaves that read behind on its own thread.
    static constexpr std::uint32_t kReaderStopMilliseconds = 5000;
    // A stop waits in steps of this length, each announced to the service manager.
    static constexpr std::uint32_t kStopStepMilliseconds = 1000;
    // A reader maker's library that does not load fails every read alike: each cause is
    // written to the service's log once in this interval, of at most this many causes.
    static constexpr std::chrono::hours kLoadFailureReportInterval{1};
    static constexpr std::size_t kLoadFailuresRemembered = 16;

    // What the endpoint's requests run: the read-card pipeline, told where an oversized
    // reply is reported.
    using Pipeline = std::function<int(const char* command, char* reply, std::int32_t capacity,
                                       const ReplyTooLargeNotifier& notify)>;

    // Throws the system error code as std::uint32_t when an event cannot be made.
    CIdReaderService();
    // The same with another pipeline, for tests.
    explicit CIdReaderService(Pipeline pipeline);
    ~CIdReaderService() override;

    const WebSocketServer& Server() const { return server_; }
    // Where the endpoint listens, as read from the configuration at the start.
    const BindSettings& Bind() const { return bind_; }
    // Told of every connection and request; set before the start.
    void SetObserver(EndpointObserver observer) { server_.SetObserver(std::move(observer)); }

protected:
    void StartHook(std::uint32_t argc, wchar_t** argv) override;
    void StopHook() override;
    // The system's shutdown ends the endpoint as a stop does.
    void ShutdownHook() override { StopHook(); }

private:
    class EventRelay;

    // The pipeline as the endpoint runs it, reporting oversized replies to the service's log.
    static WebSocketServer::CommandHandler EndpointHandler(Pipeline pipeline,
                                                           std::shared_ptr<EventRelay> events);
    static void RequestWorker(void* service);
    // The worker's loop until a stop.
    void ServeUntilStopped();
    // A worker ended by an error: says why in the log and reports the service stopped with
    // an error, so that the service manager's recovery starts it again.
    void EndAfterWorkerFailure(const wchar_t* reason);
    // The stop's second half, once the worker has left: running reads, then the sockets.
    void FinishStop();
    // Opens the endpoint; says so once when it cannot, and once when it can again.
    bool TryToListen();
    // The origin policy the setting leaves in force; a setting not read whole refuses every
    // origin, and the service's log says why.
    OriginPolicy OriginsInForce(const AllowedOriginsSetting& setting);

    std::atomic<bool> stopping_;
    bool worker_queued_;
    bool listen_failed_;
    BindSettings bind_;
    StoppedEvent stop_requested_;
    StoppedEvent stopped_;
    // Made before the server, whose handler and origin gate write through it.
    std::shared_ptr<EventRelay> events_;
    WebSocketServer server_;
};

}  // namespace vorn
