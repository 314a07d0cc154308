// The reader service's start, worker and stop, with its WebSocket endpoint on loopback and
// the simulated reader behind it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "diagnostics/trace_log.h"
#include "host/reader_service.h"
#include "request/read_card.h"
#include "tests/simulated_reader.h"
#include "tests/test_support.h"
#include "tests/websocket/websocket_test_client.h"

using namespace vorn;

namespace {

using Clock = std::chrono::steady_clock;

class RecordingSink : public ServiceStatusSink {
public:
    void SetStatus(const ServiceStatus& status) override {
        std::lock_guard<std::mutex> guard(lock);
        states.push_back(status.current_state);
        largest_wait_hint = std::max(largest_wait_hint, status.wait_hint);
    }
    void WriteErrorEntry(const wchar_t* /*source*/, const wchar_t* message) override {
        std::lock_guard<std::mutex> guard(lock);
        entries.push_back(message);
    }
    void WriteInformationEntry(const wchar_t* /*source*/, const wchar_t* message) override {
        std::lock_guard<std::mutex> guard(lock);
        notices.push_back(message);
    }
    void DescribeState(const wchar_t* text) override {
        std::lock_guard<std::mutex> guard(lock);
        descriptions.push_back(text);
    }
    std::mutex lock;
    std::vector<std::uint32_t> states;
    std::uint32_t largest_wait_hint = 0;
    std::vector<std::wstring> entries;
    std::vector<std::wstring> notices;
    std::vector<std::wstring> descriptions;
};

// A pipeline for servers that only listen.
int NoPipeline(const char* /*command*/, char* /*reply*/, std::int32_t /*capacity*/) {
    return kExecuteUnknownCommand;
}

// A loopback port nobody listens on right now.
std::uint16_t FreePort() {
    WebSocketServer probe(TestHandler(NoPipeline));
    EXPECT_TRUE(probe.Open(kLoopback, 0));
    return probe.Port();
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class ReaderService : public ::testing::Test {
protected:
    void SetUp() override {
        port_ = FreePort();
        WriteTextFile(ConfigPath(), "[Bind]\nport=" + std::to_string(port_) + "\n");
        service_.SetStatusSink(&sink_);
    }
    void TearDown() override { std::filesystem::remove(ConfigPath()); }
    static std::filesystem::path ConfigPath() { return TestProgramDirectory() / "config.ini"; }

    // Stops the service and returns how long the stop took, in seconds.
    double Stop() {
        Clock::time_point start = Clock::now();
        service_.HandleControl(kServiceControlStop);
        return SecondsSince(start);
    }

    std::uint16_t port_ = 0;
    RecordingSink sink_;
    CIdReaderService service_;
};

// Support staff read which build wrote a trace from its first line; tracing is off again
// once the service runs, until a request switches it on.
TEST_F(ReaderService, TracedStartBeginsWithTheVersion) {
    std::filesystem::path traces = TestProgramDirectory() / "QD_LOG";
    std::filesystem::remove_all(traces);
    std::filesystem::create_directory(traces);
    WriteTextFile(ConfigPath(), "[Bind]\nport=" + std::to_string(port_) + "\nlog=1\n");
    service_.HandleStart(0, nullptr);
    EXPECT_EQ(ActiveTraceLog(), nullptr);
    Stop();
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(traces)) {
        files.push_back(entry.path());
    }
    ASSERT_EQ(files.size(), 1u);
    std::string text = Utf16LeToUtf8(ReadBinaryFile(files[0]));
    std::filesystem::remove_all(traces);
    std::regex first_line(
        "\n\\[[0-9:]+ [0-9]+\\] VornIdReader [0-9]+\\.[0-9]+\\.[0-9]+ service starting");
    EXPECT_TRUE(std::regex_search(text, first_line, std::regex_constants::match_continuous))
        << text;
}

TEST_F(ReaderService, ServesCardsUntilStopped) {
    SimulatedReader reader("resident_dated.ini");
    service_.HandleStart(0, nullptr);
    EXPECT_EQ(sink_.states, (std::vector<std::uint32_t>{kServiceStartPending, kServiceRunning}));
    TestClient client(port_);
    ASSERT_TRUE(client.connected());
    client.Handshake();
    for (int i = 0; i < 2; ++i) {
        client.SendText("readcard");
        std::string reply = client.ReceiveText();
        EXPECT_NE(reply.find("\"result\" : 0"), std::string::npos) << reply.substr(0, 200);
        EXPECT_NE(reply.find("450103199207152538"), std::string::npos);
    }
    client.SendText("readcard\n");
    EXPECT_TRUE(client.ClosedByServer());
    client.Disconnect();
    EXPECT_LT(Stop(), 1.0);
    EXPECT_EQ(sink_.states.back(), kServiceStopped);
    EXPECT_FALSE(service_.Server().IsOpen());
    EXPECT_TRUE(sink_.entries.empty());
}

// A client that neither sends nor leaves no longer holds anything: the stop is immediate and
// closes its connection.
TEST_F(ReaderService, StopWithAnIdleClientIsImmediate) {
    service_.HandleStart(0, nullptr);
    TestClient client(port_);
    client.Handshake();
    EXPECT_LT(Stop(), 1.0);
    EXPECT_TRUE(client.ClosedByServer());
    EXPECT_FALSE(service_.Server().IsOpen());
    EXPECT_EQ(sink_.states.back(), kServiceStopped);
}

// A reader driver that never returns: the stop leaves the read behind after its wait, keeps
// the service manager informed meanwhile, and reports stopped well within ten seconds.
TEST_F(ReaderService, StopWhileTheDriverNeverReturns) {
    // Long enough to outlast the stop's wait, short enough that the read left behind ends
    // within this test: it holds the libraries it loaded until then.
    SimulatedReader reader("resident_dated.ini", "find_delay = 8000\n");
    service_.HandleStart(0, nullptr);
    TestClient client(port_);
    client.Handshake();
    client.SendText("readcard");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    double took = Stop();
    EXPECT_GT(took, 4.0);
    EXPECT_LT(took, 8.0);
    EXPECT_EQ(sink_.states.back(), kServiceStopped);
    // Several stop-pending reports, each with a new checkpoint and a wait hint.
    EXPECT_GE(std::count(sink_.states.begin(), sink_.states.end(), kServiceStopPending), 4);
    EXPECT_GT(sink_.largest_wait_hint, 0u);
    ASSERT_EQ(sink_.entries.size(), 1u);
    EXPECT_NE(sink_.entries[0].find(L"left behind"), std::wstring::npos);
    EXPECT_TRUE(client.ClosedByServer());
    // Under Windows a library still loaded by that read would stand in for a missing one in
    // the tests that follow, so the test ends only after the read has.
    std::this_thread::sleep_for(std::chrono::seconds(4));
}

// An oversized reply is written to the service's own log, since a service has no desktop to
// show a box on; the client still learns that the read failed.
TEST_F(ReaderService, OversizedReplyIsWrittenToTheServiceLog) {
    SimulatedReader reader("resident_dated.ini");
    // Room for the short failure reply but not for the card's pictures.
    constexpr std::int32_t kCrampedReply = 4096;
    CIdReaderService service([](const char* command, char* reply, std::int32_t /*capacity*/,
                                const ReplyTooLargeNotifier& notify) {
        return ExecuteCommand(command, reply, kCrampedReply, notify);
    });
    service.SetStatusSink(&sink_);
    service.HandleStart(0, nullptr);
    TestClient client(port_);
    client.Handshake();
    client.SendText("readcard");
    const std::string reply = client.ReceiveText();
    EXPECT_NE(reply.find("\"result\" : -1"), std::string::npos) << reply;
    EXPECT_NE(reply.find("Send buffer is too small!"), std::string::npos) << reply;
    client.Disconnect();
    service.HandleControl(kServiceControlStop);
    ASSERT_EQ(sink_.entries.size(), 1u);
    EXPECT_EQ(sink_.entries[0], L"Qd Id Reader Service Error. Send buffer is too small!");
}

// A page turned away for its origin is written to the service's own log, where a deployer
// looks for why.
TEST_F(ReaderService, RefusedOriginIsWrittenToTheServiceLog) {
    WriteTextFile(ConfigPath(), "[Bind]\nport=" + std::to_string(port_) +
                                    "\n[Security]\nallowed_origins=https://counter.example.com\n");
    service_.HandleStart(0, nullptr);
    TestClient client(port_);
    EXPECT_EQ(client.Handshake().rfind("HTTP/1.1 403 ", 0), 0u);
    EXPECT_TRUE(client.ClosedByServer());
    EXPECT_LT(Stop(), 1.0);
    ASSERT_EQ(sink_.entries.size(), 1u);
    EXPECT_NE(sink_.entries[0].find(L"WebSocket handshake refused"), std::wstring::npos);
}

// A list of allowed origins that cannot be read whole leaves every page refused, and the
// service's log (the console of a foreground run) says why as the service starts.
TEST_F(ReaderService, AListNotReadWholeRefusesEveryOriginAndSaysWhy) {
    WriteTextFile(ConfigPath(), "[Bind]\nport=" + std::to_string(port_) +
                                    "\n[Security]\nallowed_origins=https://counter.example.com," +
                                    std::string(kAllowedOriginsTextLimit, ',') + "\n");
    service_.HandleStart(0, nullptr);
    ASSERT_EQ(sink_.entries.size(), 1u);
    EXPECT_NE(sink_.entries[0].find(L"Every web page is refused: [Security] allowed_origins"),
              std::wstring::npos);
    TestClient client(port_);
    EXPECT_EQ(client.Handshake().rfind("HTTP/1.1 403 ", 0), 0u);
    Stop();
}

// A read left behind in a hung driver may still report an oversized reply once the service
// is gone: nothing is written then, and nothing of the service is touched.
TEST_F(ReaderService, ReadLeftBehindWritesNothingOnceTheServiceIsGone) {
    struct Gate {
        std::mutex lock;
        std::condition_variable changed;
        bool entered = false;
        bool released = false;
        bool done = false;
    };
    auto gate = std::make_shared<Gate>();
    auto service = std::make_unique<CIdReaderService>([gate](const char* /*command*/, char* reply,
                                                             std::int32_t /*capacity*/,
                                                             const ReplyTooLargeNotifier& notify) {
        std::unique_lock<std::mutex> hold(gate->lock);
        gate->entered = true;
        gate->changed.notify_all();
        gate->changed.wait(hold, [&gate] { return gate->released; });
        notify("Send buffer is too small!", "late");
        reply[0] = '\0';
        gate->done = true;
        gate->changed.notify_all();
        return 0;
    });
    service->SetStatusSink(&sink_);
    service->HandleStart(0, nullptr);
    TestClient client(port_);
    client.Handshake();
    client.SendText("readcard");
    {
        std::unique_lock<std::mutex> hold(gate->lock);
        ASSERT_TRUE(gate->changed.wait_for(hold, std::chrono::seconds(5),
                                           [&gate] { return gate->entered; }));
    }
    service->HandleControl(kServiceControlStop);
    service.reset();
    const std::size_t written = sink_.entries.size();
    std::unique_lock<std::mutex> hold(gate->lock);
    gate->released = true;
    gate->changed.notify_all();
    ASSERT_TRUE(
        gate->changed.wait_for(hold, std::chrono::seconds(5), [&gate] { return gate->done; }));
    EXPECT_EQ(sink_.entries.size(), written);
}

// A port in use leaves the service running without a listener, says so once in the log and
// in its status, tries again, and says so again when it listens; it stops at once meanwhile.
TEST_F(ReaderService, PortInUseUntilItFrees) {
    auto holder = std::make_unique<WebSocketServer>(TestHandler(NoPipeline));
    ASSERT_TRUE(holder->Open(kLoopback, port_));
    service_.HandleStart(0, nullptr);
    EXPECT_EQ(service_.Status().current_state, kServiceRunning);
    ASSERT_EQ(sink_.entries.size(), 1u);
    EXPECT_NE(sink_.entries[0].find(L"Socket bind error("), std::wstring::npos);
    EXPECT_NE(sink_.entries[0].find(std::to_wstring(port_)), std::wstring::npos);
    ASSERT_EQ(sink_.descriptions.size(), 1u);
    EXPECT_NE(sink_.descriptions[0].find(L"not listening"), std::wstring::npos);
    holder.reset();
    Clock::time_point freed = Clock::now();
    bool listening = false;
    while (!listening && SecondsSince(freed) < 8.0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        TestClient probe(port_);
        listening = probe.connected();
    }
    ASSERT_TRUE(listening);
    TestClient client(port_);
    client.Handshake();
    client.SendText("readcard\n");
    EXPECT_TRUE(client.ClosedByServer());
    EXPECT_EQ(sink_.entries.size(), 1u);
    ASSERT_EQ(sink_.notices.size(), 1u);
    EXPECT_NE(sink_.notices[0].find(L"again"), std::wstring::npos);
    EXPECT_EQ(sink_.descriptions.back(), L"");
    EXPECT_LT(Stop(), 1.0);
    EXPECT_EQ(sink_.states.back(), kServiceStopped);
}

// Stopping while it cannot listen is immediate as well.
TEST_F(ReaderService, PortInUseStopsAtOnce) {
    WebSocketServer holder(TestHandler(NoPipeline));
    ASSERT_TRUE(holder.Open(kLoopback, port_));
    service_.HandleStart(0, nullptr);
    EXPECT_LT(Stop(), 1.0);
    EXPECT_EQ(sink_.states.back(), kServiceStopped);
}

// The system's shutdown stops the endpoint as a stop does, and the log says why the service
// ended.
TEST_F(ReaderService, ShutdownStopsTheEndpointAndSaysWhy) {
    service_.HandleStart(0, nullptr);
    service_.HandleControl(kServiceControlShutdown);
    EXPECT_FALSE(service_.Server().IsOpen());
    EXPECT_FALSE(TestClient(port_).connected());
    EXPECT_EQ(sink_.states.back(), kServiceStopped);
    ASSERT_EQ(sink_.notices.size(), 1u);
    EXPECT_NE(sink_.notices[0].find(L"shutting down"), std::wstring::npos);
    EXPECT_TRUE(sink_.entries.empty());
}

// An error that ends the worker is said in the log, and the service reports itself stopped
// with an error, so that the service manager's recovery starts it again.
TEST_F(ReaderService, WorkerFailureStopsTheServiceWithAnError) {
    service_.SetObserver([](const EndpointEvent& event) {
        if (event.kind == EndpointEvent::Kind::kConnected) {
            throw std::runtime_error("observer out of order");
        }
    });
    service_.HandleStart(0, nullptr);
    TestClient client(port_);
    client.Handshake();
    EXPECT_TRUE(client.ClosedByServer());
    Clock::time_point start = Clock::now();
    auto stopped = [this] {
        std::lock_guard<std::mutex> guard(sink_.lock);
        return sink_.states.back() == kServiceStopped;
    };
    while (!stopped() && SecondsSince(start) < 5.0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(stopped());
    EXPECT_EQ(service_.Status().win32_exit_code, kErrorExceptionInService);
    EXPECT_FALSE(TestClient(port_).connected());
    std::lock_guard<std::mutex> guard(sink_.lock);
    ASSERT_EQ(sink_.entries.size(), 1u);
    EXPECT_NE(sink_.entries[0].find(L"request worker ended"), std::wstring::npos);
    EXPECT_NE(sink_.entries[0].find(L"observer out of order"), std::wstring::npos);
}

// A service whose owner never stopped it is stopped when it is destroyed.
TEST_F(ReaderService, DestroyedWhileRunning) {
    auto other = std::make_unique<CIdReaderService>();
    other->SetStatusSink(&sink_);
    std::filesystem::remove(ConfigPath());
    WriteTextFile(ConfigPath(), "[Bind]\nport=" + std::to_string(FreePort()) + "\n");
    other->HandleStart(0, nullptr);
    Clock::time_point start = Clock::now();
    other.reset();
    EXPECT_LT(SecondsSince(start), 1.0);
}

}  // namespace
