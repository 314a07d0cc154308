// The foreground run: the service's start and stop around a wait for Ctrl+C, with the
// service's reports and the endpoint's events as console lines.
#include "host/foreground_run.h"

#include "host/console_output.h"
#include "host/reader_service.h"
#include "host/stop_request.h"
#include "platform/standard_streams.h"
#include "platform/text_conversion.h"
#include "websocket/origin_gate.h"

namespace vorn {

namespace {

constexpr const wchar_t* kServingFormat =
    L"Serving ws://%ls:%u/ in the foreground; Ctrl+C stops it.\n";
constexpr const wchar_t* kStartFailed = L"The endpoint did not start.\n";
constexpr const wchar_t* kStopping = L"Stopping.\n";
constexpr const wchar_t* kStopped = L"Stopped.\n";
constexpr const wchar_t* kErrorFormat = L"Error: %ls\n";
constexpr const wchar_t* kNoticeFormat = L"%ls\n";
constexpr const wchar_t* kConnectedFormat = L"%ls connected, origin %ls\n";
constexpr const wchar_t* kRequestFormat = L"%ls request, origin %ls: result %d, %lld ms\n";
constexpr const wchar_t* kClosedFormat = L"%ls closed: %ls\n";
constexpr const wchar_t* kRefusedFormat = L"%ls refused: %ls\n";
constexpr const wchar_t* kNoOrigin = L"(none)";

// The service's reports as console lines: its errors and notices, not every state.
class ConsoleServiceSink : public ServiceStatusSink {
public:
    void SetStatus(const ServiceStatus& /*status*/) override {}
    void WriteErrorEntry(const wchar_t* /*source*/, const wchar_t* message) override {
        ConsolePrint(kErrorFormat, message);
    }
    void WriteInformationEntry(const wchar_t* /*source*/, const wchar_t* message) override {
        ConsolePrint(kNoticeFormat, message);
    }
    void DescribeState(const wchar_t* text) override {
        if (text[0] != L'\0') {
            ConsolePrint(kNoticeFormat, text);
        }
    }
};

void PrintEndpointEvent(const EndpointEvent& event) {
    const std::wstring peer = Utf8ToWide(std::string(event.peer));
    // The origin is the page's own text: escaped, so that it cannot forge console lines.
    const std::wstring origin =
        event.origin.empty() ? std::wstring(kNoOrigin) : PrintableOrigin(event.origin);
    switch (event.kind) {
        case EndpointEvent::Kind::kConnected:
            ConsolePrint(kConnectedFormat, peer.c_str(), origin.c_str());
            break;
        case EndpointEvent::Kind::kRequest:
            ConsolePrint(kRequestFormat, peer.c_str(), origin.c_str(), event.result,
                         event.milliseconds);
            break;
        case EndpointEvent::Kind::kClosed:
            ConsolePrint(kClosedFormat, peer.c_str(), event.note);
            break;
        case EndpointEvent::Kind::kRefused:
            ConsolePrint(kRefusedFormat, peer.c_str(), event.note);
            break;
    }
}

}  // namespace

int RunInForeground() {
    // Before the service starts its threads, which inherit how the stop signals are taken.
    CatchStopRequests();
    // A console piped into a program that quits early (`| head -1`) must not end the
    // endpoint: its lines are then lost, and it serves on.
    MakeClosedPipeWritesFail();
    ConsoleServiceSink sink;
    CIdReaderService service;
    SetServiceInstance(&service);
    service.SetStatusSink(&sink);
    service.SetObserver(PrintEndpointEvent);
    service.HandleStart(0, nullptr);
    if (service.Status().current_state != kServiceRunning) {
        ConsolePrint(kStartFailed);
        SetServiceInstance(nullptr);
        return 1;
    }
    const BindSettings& bind = service.Bind();
    // Port 0 lets the system choose one: the console shows the port it chose.
    const std::uint16_t port = service.Server().Port();
    ConsolePrint(kServingFormat, AnsiToWide(bind.ip).c_str(),
                 static_cast<unsigned>(port != 0 ? port : bind.port));
    WaitForStopRequest();
    ConsolePrint(kStopping);
    service.HandleControl(kServiceControlStop);
    ConsolePrint(kStopped);
    SetServiceInstance(nullptr);
    return 0;
}

}  // namespace vorn
