// The reader service's start, worker and stop.
#include "host/reader_service.h"

#include <chrono>
#include <cwchar>
#include <string>
#include <thread>

#include "diagnostics/trace_log.h"
#include "host/program_version.h"
#include "host/service_names.h"
#include "platform/text_conversion.h"
#include "request/config.h"
#include "request/read_card.h"

namespace {

constexpr const wchar_t* kOpenFailedFormat = L"WebSocket server not listening on %ls:%u: %ls";
constexpr std::size_t kOpenFailedRoom = 512;
constexpr const wchar_t* kStartTraceFormat = L"%ls service starting";

// A traced service start begins with the program and its version, so that support staff
// reading a trace know which build wrote the lines that follow.
void TraceServiceStart() {
    if (!IsTraceLogConfigured(ConfigFilePath())) {
        return;
    }
    EnableTraceLog();
    TraceWrite(kStartTraceFormat, ProgramVersionText());
    ReleaseTraceLog();
}

// A service has no desktop: a message box there would wait for a click that never comes and
// hold the worker forever, so an oversized reply is written to the service's log instead.
void WriteReplyTooLargeEvent(const char* text, const char* caption) {
    CServiceBase* service = ServiceInstance();
    if (service != nullptr) {
        std::wstring message = AnsiToWide(caption) + L" " + AnsiToWide(text);
        service->WriteErrorEvent(message.c_str());
    }
}

// Refused origins go to the service's log, where a deployer looks for why a page was turned
// away; the gate keeps a hostile page from repeating it without bound.
void WriteOriginRefusedEvent(const wchar_t* message) {
    CServiceBase* service = ServiceInstance();
    if (service != nullptr) {
        service->WriteErrorEvent(message);
    }
}

}  // namespace

CIdReaderService::CIdReaderService(WebSocketServer::CommandHandler handler)
    : CServiceBase(kServiceName, kServiceWin32OwnProcess, kServiceStartPending,
                   kServiceAcceptStop | kServiceAcceptShutdown),
      stopping_(false),
      worker_queued_(false),
      server_(handler) {}

CIdReaderService::~CIdReaderService() {
    // A service left running by its owner is stopped first, so that the worker never
    // outlives the server it uses.
    if (worker_queued_ && !stopping_) {
        StopHook();
    }
}

void CIdReaderService::StartHook(std::uint32_t /*argc*/, wchar_t** /*argv*/) {
    TraceServiceStart();
    SetReplyTooLargeNotifier(WriteReplyTooLargeEvent);
    std::string config = ConfigFilePath();
    BindSettings bind = ReadBindSettings(config);
    server_.Origins().Configure(OriginPolicy::FromSetting(ReadAllowedOrigins(config)),
                                WriteOriginRefusedEvent);
    // A server that does not open leaves the service running: the worker keeps trying to
    // serve, and the log says why nobody can connect.
    if (!server_.Open(bind.ip, bind.port)) {
        wchar_t message[kOpenFailedRoom] = {};
        std::swprintf(message, kOpenFailedRoom, kOpenFailedFormat, AnsiToWide(bind.ip).c_str(),
                      static_cast<unsigned>(bind.port), server_.ErrorText());
        WriteErrorEvent(message);
    }
    std::uint32_t error = QueueLongWorkItem(RequestWorker, this);
    if (error != 0) {
        throw error;
    }
    worker_queued_ = true;
}

void CIdReaderService::RequestWorker(void* context) {
    auto* service = static_cast<CIdReaderService*>(context);
    while (!service->stopping_) {
        service->server_.Serve();
        std::this_thread::sleep_for(std::chrono::milliseconds(kWorkerPauseMilliseconds));
    }
    // The last touch of the service: after this the stopper may release everything.
    service->stopped_.Set();
}

void CIdReaderService::StopHook() {
    stopping_ = true;
    server_.StopListening();
    if (worker_queued_ && !stopped_.Wait(kStopWaitMilliseconds)) {
        // A client holds the worker in its connection. Cutting the connection makes its
        // next receive or send fail; the server's buffers are released only once the worker
        // has left them.
        server_.InterruptConnection();
        stopped_.Wait(kWaitForever);
    }
    server_.Close();
    SetReplyTooLargeNotifier(nullptr);
}
