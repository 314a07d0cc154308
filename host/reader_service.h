// The program's one service: the WebSocket endpoint for the life of the service.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/service_base.h"
#include "host/service_worker.h"
#include "websocket/websocket_server.h"

// Opens the WebSocket server on start, serves it from one worker and closes it on stop.
class CIdReaderService : public CServiceBase {
public:
    // The worker's pause between two calls of Serve, and how long a stop waits for a client
    // connection to end by itself before cutting it.
    static constexpr std::uint32_t kWorkerPauseMilliseconds = 100;
    static constexpr std::uint32_t kStopWaitMilliseconds = 5000;

    // Throws the system error code as std::uint32_t when the stopped event cannot be made.
    explicit CIdReaderService(WebSocketServer::CommandHandler handler = nullptr);
    ~CIdReaderService() override;

    const WebSocketServer& Server() const { return server_; }

protected:
    void StartHook(std::uint32_t argc, wchar_t** argv) override;
    void StopHook() override;

private:
    static void RequestWorker(void* service);

    std::atomic<bool> stopping_;
    bool worker_queued_;
    StoppedEvent stopped_;
    WebSocketServer server_;
};
