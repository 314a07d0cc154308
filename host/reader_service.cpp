// The reader service's start, worker and stop.
#include "host/reader_service.h"

#include <cwchar>
#include <string>

#include "diagnostics/trace_log.h"
#include "host/program_version.h"
#include "host/service_names.h"
#include "platform/text_conversion.h"
#include "request/read_card.h"

namespace {

constexpr const wchar_t* kOpenFailedFormat = L"WebSocket server not listening on %ls:%u: %ls";
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
constexpr const wchar_t* kNotListeningFormat =
    L"not listening on %ls:%u (%ls), trying again every %u s";
constexpr const wchar_t* kListeningAgainFormat = L"WebSocket server listening on %ls:%u again.";
constexpr const wchar_t* kReaderLeftFormat =
    L"Service stopped while a card read had not returned after %u ms; its thread is left "
    L"behind.";
constexpr std::size_t kMessageRoom = 512;
constexpr std::uint32_t kMillisecondsPerSecond = 1000;

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
      listen_failed_(false),
      bind_{},
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
    bind_ = ReadBindSettings(config);
    server_.Origins().Configure(OriginPolicy::FromSetting(ReadAllowedOrigins(config)),
                                WriteOriginRefusedEvent);
    // A server that does not open leaves the service running: the worker keeps trying, and
    // the log and the status say why nobody can connect.
    TryToListen();
    std::uint32_t error = QueueLongWorkItem(RequestWorker, this);
    if (error != 0) {
        throw error;
    }
    worker_queued_ = true;
}

bool CIdReaderService::TryToListen() {
    const std::wstring ip = AnsiToWide(bind_.ip);
    const auto port = static_cast<unsigned>(bind_.port);
    wchar_t message[kMessageRoom] = {};
    if (server_.Open(bind_.ip, bind_.port)) {
        if (listen_failed_) {
            listen_failed_ = false;
            std::swprintf(message, kMessageRoom, kListeningAgainFormat, ip.c_str(), port);
            WriteInformationEvent(message);
            DescribeState(L"");
        }
        return true;
    }
    if (!listen_failed_) {
        listen_failed_ = true;
        std::swprintf(message, kMessageRoom, kOpenFailedFormat, ip.c_str(), port,
                      server_.ErrorText());
        WriteErrorEvent(message);
        std::swprintf(message, kMessageRoom, kNotListeningFormat, ip.c_str(), port,
                      server_.ErrorText(), kListenRetryMilliseconds / kMillisecondsPerSecond);
        DescribeState(message);
    }
    return false;
}

void CIdReaderService::RequestWorker(void* context) {
    auto* service = static_cast<CIdReaderService*>(context);
    while (!service->stopping_) {
        if (!service->server_.IsOpen()) {
            if (!service->stop_requested_.Wait(kListenRetryMilliseconds)) {
                service->TryToListen();
            }
            continue;
        }
        if (service->server_.Serve() != 0) {
            service->stop_requested_.Wait(kWorkerPauseMilliseconds);
        }
    }
    // The last touch of the service: after this the stopper may release everything.
    service->stopped_.Set();
}

void CIdReaderService::StopHook() {
    stopping_ = true;
    stop_requested_.Set();
    server_.StopListening();
    // The worker never waits on a client, so it leaves within a round of its loop.
    while (worker_queued_ && !stopped_.Wait(kStopStepMilliseconds)) {
        ReportProgress(kServiceStopPending, 2 * kStopStepMilliseconds);
    }
    // A read still running is given a while to finish. A driver call that never returns
    // keeps its thread, which is left behind: it owns what it still touches, and the
    // process ends around it.
    std::uint32_t waited = 0;
    while (!server_.StopRequests(kStopStepMilliseconds)) {
        waited += kStopStepMilliseconds;
        if (waited >= kReaderStopMilliseconds) {
            wchar_t message[kMessageRoom] = {};
            std::swprintf(message, kMessageRoom, kReaderLeftFormat, waited);
            WriteErrorEvent(message);
            break;
        }
        ReportProgress(kServiceStopPending, 2 * kStopStepMilliseconds);
    }
    server_.Close();
    SetReplyTooLargeNotifier(nullptr);
}
