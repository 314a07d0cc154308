// The reader service's start, worker and stop, with its WebSocket endpoint on loopback and
// the simulated reader behind it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "diagnostics/trace_log.h"
#include "host/reader_service.h"
#include "tests/simulated_reader.h"
#include "tests/test_support.h"
#include "tests/websocket_test_client.h"

namespace {

using Clock = std::chrono::steady_clock;

class RecordingSink : public ServiceStatusSink {
public:
    void SetStatus(const ServiceStatus& status) override { states.push_back(status.current_state); }
    void WriteErrorEntry(const wchar_t* /*source*/, const wchar_t* message) override {
        entries.push_back(message);
    }
    std::vector<std::uint32_t> states;
    std::vector<std::wstring> entries;
};

// A loopback port nobody listens on right now.
std::uint16_t FreePort() {
    WebSocketServer probe;
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

// A client that neither sends nor leaves holds the worker: the stop waits for it as long as
// it is given, then cuts the connection and releases the server only after the worker left.
TEST_F(ReaderService, StopWithAnIdleClientCutsItAfterTheWait) {
    service_.HandleStart(0, nullptr);
    TestClient client(port_);
    client.Handshake();
    double took = Stop();
    EXPECT_GE(took, 4.9);
    EXPECT_LT(took, 7.0);
    EXPECT_TRUE(client.ClosedByServer());
    EXPECT_FALSE(service_.Server().IsOpen());
    EXPECT_EQ(sink_.states.back(), kServiceStopped);
}

// A port in use leaves the service running without a listener, says so in the log, and the
// service still stops at once.
TEST_F(ReaderService, PortInUse) {
    WebSocketServer holder;
    ASSERT_TRUE(holder.Open(kLoopback, port_));
    service_.HandleStart(0, nullptr);
    EXPECT_EQ(service_.Status().current_state, kServiceRunning);
    ASSERT_EQ(sink_.entries.size(), 1u);
    EXPECT_NE(sink_.entries[0].find(L"Socket bind error("), std::wstring::npos);
    EXPECT_NE(sink_.entries[0].find(std::to_wstring(port_)), std::wstring::npos);
    EXPECT_LT(Stop(), 1.0);
    EXPECT_EQ(sink_.states.back(), kServiceStopped);
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
