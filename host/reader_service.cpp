// The reader service's start, worker and stop.
#include "host/reader_service.h"

#include <cwchar>
#include <exception>
#include <mutex>
#include <string>
#include <utility>

#include "diagnostics/trace_log.h"
#include "host/program_version.h"
#include "host/service/service_names.h"
#include "host/version_message.h"
#include "platform/load_failure.h"
#include "platform/text_conversion.h"
#include "request/card_presence.h"
#include "websocket/frame.h"
#include "websocket/report_limiter.h"

namespace vorn {

namespace {

// The endpoint hands the pipeline a reply buffer the size of its send buffer, so that any
// reply the buffer holds fits a frame's header and text, and the endpoint looks for the
// reply's terminator as far as the longest reply a frame carries.
static_assert(kReplyBufferSize == kSendBufferSize);
static_assert(kLargestReply < kReplyBufferSize);

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
constexpr const wchar_t* kEveryOriginRefusedFormat =
    L"Every web page is refused: %ls. Correct config.ini and restart the service.";
constexpr const wchar_t* kWorkerFailedFormat =
    L"The request worker ended on an unexpected error (%ls); the service stops so that the "
    L"service manager can start it again.";
constexpr const wchar_t* kUnknownError = L"not a standard exception";
constexpr const wchar_t* kWatchStarted = L"Card watch started: looking for a card every %u ms.";
constexpr const wchar_t* kWatchStopped = L"Card watch stopped: nobody watches the reader.";
constexpr const wchar_t* kCardLaid = L"Card watch: a card was laid on the reader; reading it.";
constexpr const wchar_t* kCardTaken = L"Card watch: the card was taken away.";
constexpr std::size_t kMessageRoom = 512;
constexpr std::uint32_t kMillisecondsPerSecond = 1000;

// What the endpoint turns away (a refused origin, a connection closed to make room) is traced,
// when tracing is switched on, like every other step.
void TraceEndpointLine(const wchar_t* message) {
    if (IsTraceLogConfigured(ConfigFilePath())) {
        WriteTraceLine(L"%ls", message);
    }
}

// The watch's steps go to the trace, when tracing is switched on; the looks themselves do not.
void TraceWatchEvent(WatchEvent event) {
    if (!IsTraceLogConfigured(ConfigFilePath())) {
        return;
    }
    switch (event) {
        case WatchEvent::kStarted:
            WriteTraceLine(kWatchStarted, static_cast<unsigned>(kLookInterval.count()));
            return;
        case WatchEvent::kStopped:
            WriteTraceLine(L"%ls", kWatchStopped);
            return;
        case WatchEvent::kCardLaid:
            WriteTraceLine(L"%ls", kCardLaid);
            return;
        case WatchEvent::kCardTaken:
            WriteTraceLine(L"%ls", kCardTaken);
            return;
    }
}

// What the endpoint's reader thread watches the reader with. The driver stays bound while
// anybody watches and is let go when the last watcher leaves.
CardWatchHooks ReaderWatchHooks() {
    auto presence = std::make_shared<CardPresence>();
    return CardWatchHooks{[presence] { return presence->Look(); }, kReadCardCommand,
                          [presence] { presence->Release(); }, TraceWatchEvent};
}

}  // namespace

// The service's event log as the threads that may outlive the service reach it: a card read
// left behind in a hung driver may still report its reply. Once the service is destroyed,
// what they write goes nowhere instead of into freed memory.
class CIdReaderService::EventRelay {
public:
    explicit EventRelay(CServiceBase* service) : service_(service) {}

    void WriteError(const wchar_t* message) {
        std::lock_guard<std::mutex> hold(lock_);
        if (service_ != nullptr) {
            service_->WriteErrorEvent(message);
        }
    }
    // Waits for a write under way, then lets no other through.
    void Detach() {
        std::lock_guard<std::mutex> hold(lock_);
        service_ = nullptr;
    }

private:
    std::mutex lock_;
    CServiceBase* service_;
};

CIdReaderService::CIdReaderService()
    : CIdReaderService([](const char* command, char* reply, std::int32_t capacity,
                          const ReplyTooLargeNotifier& notify) {
          return ExecuteCommand(command, reply, capacity, notify);
      }) {}

CIdReaderService::CIdReaderService(Pipeline pipeline)
    : CServiceBase(kServiceName, kServiceWin32OwnProcess, kServiceStartPending,
                   kServiceAcceptStop | kServiceAcceptShutdown),
      stopping_(false),
      worker_queued_(false),
      listen_failed_(false),
      bind_{},
      events_(std::make_shared<EventRelay>(this)),
      server_(EndpointHandler(std::move(pipeline), events_)) {}

WebSocketServer::CommandHandler CIdReaderService::EndpointHandler(
    Pipeline pipeline, std::shared_ptr<EventRelay> events) {
    // A service has no desktop: a message box there would wait for a click that never comes
    // and hold the reader forever, so an oversized reply is written to the service's log.
    ReplyTooLargeNotifier notify = [events](const char* text, const char* caption) {
        const std::wstring message = AnsiToWide(caption) + L" " + AnsiToWide(text);
        events->WriteError(message.c_str());
    };
    auto execute = [pipeline = std::move(pipeline), notify = std::move(notify)](
                       const char* command, char* reply, std::int32_t capacity) {
        // Answered here without the reader, which it does not concern.
        int result = kExecuteReplied;
        if (AnswerVersionMessage(command, reply, capacity, result)) {
            return result;
        }
        return pipeline(command, reply, capacity, notify);
    };
    return WebSocketServer::CommandHandler{std::move(execute), kReplyBufferSize,
                                           ReaderWatchHooks()};
}

CIdReaderService::~CIdReaderService() {
    // A service left running by its owner is stopped first, so that the worker never
    // outlives the server it uses.
    if (worker_queued_) {
        if (!stopping_) {
            StopHook();
        }
        // A worker that ended the service itself reports it stopped just before it leaves.
        stopped_.Wait(kWaitForever);
    }
    SetLoadFailureListener(nullptr);
    events_->Detach();
}

void CIdReaderService::StartHook(std::uint32_t /*argc*/, wchar_t** /*argv*/) {
    TraceServiceStart();
    std::string config = ConfigFilePath();
    bind_ = ReadBindSettings(config);
    // Refused origins go to the service's log, where a deployer looks for why a page was
    // turned away; the gate keeps a hostile page from repeating it without bound.
    auto report = [events = events_](const wchar_t* message) { events->WriteError(message); };
    server_.Origins().Configure(OriginsInForce(ReadAllowedOrigins(config)),
                                {TraceEndpointLine, std::move(report)});
    auto limiter =
        std::make_shared<ReportLimiter>(kLoadFailureReportInterval, kLoadFailuresRemembered);
    SetLoadFailureListener([events = events_, limiter](const std::wstring& cause) {
        if (limiter->ShouldReport(WideToUtf8(cause.c_str()))) {
            events->WriteError(cause.c_str());
        }
    });
    server_.SetTrace(TraceEndpointLine);
    // A server that does not open leaves the service running: the worker keeps trying, and
    // the log and the status say why nobody can connect.
    TryToListen();
    std::uint32_t error = QueueLongWorkItem(RequestWorker, this);
    if (error != 0) {
        throw error;
    }
    worker_queued_ = true;
}

OriginPolicy CIdReaderService::OriginsInForce(const AllowedOriginsSetting& setting) {
    if (setting.fault.empty()) {
        return OriginPolicy::FromSetting(setting.list);
    }
    // A list read in part could admit a page it was written to keep out, and no list at all
    // admits every page: neither is taken for a list that is there but cannot be read whole.
    wchar_t message[kMessageRoom] = {};
    std::swprintf(message, kMessageRoom, kEveryOriginRefusedFormat, setting.fault.c_str());
    WriteErrorEvent(message);
    TraceEndpointLine(message);
    return OriginPolicy::RefusingEveryOrigin();
}

bool CIdReaderService::TryToListen() {
    const std::wstring ip = AnsiToWide(bind_.ip);
    const auto port = static_cast<unsigned>(bind_.port);
    wchar_t message[kMessageRoom] = {};
    if (server_.Open(bind_.ip, bind_.port)) {
        if (listen_failed_) {
            listen_failed_ = false;
            std::swprintf(message, kMessageRoom, kListeningAgainFormat, ip.c_str(),
                          static_cast<unsigned>(server_.Port()));
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
    // Nothing may leave the worker's thread: an exception there would end the process
    // without a word in the log.
    try {
        service->ServeUntilStopped();
    } catch (const std::exception& error) {
        service->EndAfterWorkerFailure(AnsiToWide(error.what()).c_str());
    } catch (...) {
        service->EndAfterWorkerFailure(kUnknownError);
    }
    // The last touch of the service: after this the stopper may release everything.
    service->stopped_.Set();
}

void CIdReaderService::ServeUntilStopped() {
    while (!stopping_) {
        if (!server_.IsOpen()) {
            if (!stop_requested_.Wait(kListenRetryMilliseconds)) {
                TryToListen();
            }
            continue;
        }
        if (server_.Serve() != WebSocketServer::ServeEnd::kStopped) {
            stop_requested_.Wait(kWorkerPauseMilliseconds);
        }
    }
}

void CIdReaderService::EndAfterWorkerFailure(const wchar_t* reason) {
    // A stop under way reports for itself once the worker has left.
    if (stopping_.exchange(true)) {
        return;
    }
    wchar_t message[kMessageRoom] = {};
    std::swprintf(message, kMessageRoom, kWorkerFailedFormat, reason);
    WriteErrorEvent(message);
    server_.StopListening();
    FinishStop();
    ReportStatus(kServiceStopped, kErrorExceptionInService, 0);
}

void CIdReaderService::StopHook() {
    stopping_ = true;
    stop_requested_.Set();
    server_.StopListening();
    // The worker never waits on a client, so it leaves within a round of its loop.
    while (worker_queued_ && !stopped_.Wait(kStopStepMilliseconds)) {
        ReportProgress(kServiceStopPending, 2 * kStopStepMilliseconds);
    }
    FinishStop();
}

void CIdReaderService::FinishStop() {
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
}

}  // namespace vorn
