// Many clients of the endpoint at once: none holds up another, requests are answered one at
// a time in arrival order, the byte stream may come in any pieces, and time limits end the
// clients that do not keep up.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "request/read_card.h"
#include "tests/websocket/websocket_test_client.h"

using namespace vorn;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What the counting pipeline saw: how many requests were inside it at once, and in which
// order they came. A request "hang" stays inside until released.
struct PipelineLog {
    std::mutex lock;
    std::condition_variable released_changed;
    bool released = false;
    std::vector<std::string> order;
    int inside = 0;
    int most_inside = 0;
};
PipelineLog* g_log = nullptr;

// "slow N" answers after N ms, "big N" with N bytes, "hang" when released; every other
// request is answered "re:" and its text.
int CountingPipeline(const char* command, char* reply, std::int32_t /*capacity*/) {
    std::string text(command);
    {
        std::lock_guard<std::mutex> guard(g_log->lock);
        g_log->order.push_back(text);
        g_log->most_inside = std::max(g_log->most_inside, ++g_log->inside);
    }
    std::string answer = "re:" + text;
    if (text.rfind("slow ", 0) == 0) {
        std::this_thread::sleep_for(milliseconds(std::stoi(text.substr(5))));
    } else if (text.rfind("big ", 0) == 0) {
        answer.assign(std::stoul(text.substr(4)), 'b');
    } else if (text == "hang") {
        std::unique_lock<std::mutex> guard(g_log->lock);
        g_log->released_changed.wait(guard, [] { return g_log->released; });
    }
    std::memcpy(reply, answer.c_str(), answer.size() + 1);
    std::lock_guard<std::mutex> guard(g_log->lock);
    --g_log->inside;
    return 0;
}

class Concurrency : public ::testing::Test {
protected:
    void SetUp() override { g_log = &log_; }
    void TearDown() override {
        Release();
        served_.reset();  // may have gone already
        g_log = nullptr;
    }
    void Release() {
        std::lock_guard<std::mutex> guard(log_.lock);
        log_.released = true;
        log_.released_changed.notify_all();
    }
    ServedServer& Serve() {
        served_->Start();
        return *served_;
    }

    PipelineLog log_;
    std::unique_ptr<ServedServer> served_ = std::make_unique<ServedServer>(CountingPipeline);
};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST_F(Concurrency, ThreeFramesInOneWriteGetThreeRepliesInOrder) {
    ServedServer& served = Serve();
    TestClient client(served.port);
    // The request and its first frames may even share one write.
    client.Send("GET / HTTP/1.1\r\nSec-WebSocket-Key: k\r\n\r\n" + TestClient::Frame("one") +
                TestClient::Frame("two") + TestClient::Frame("three"));
    EXPECT_EQ(client.Receive(129).substr(0, 12), "HTTP/1.1 101");
    EXPECT_EQ(client.ReceiveText(), "re:one");
    EXPECT_EQ(client.ReceiveText(), "re:two");
    EXPECT_EQ(client.ReceiveText(), "re:three");
}

TEST_F(Concurrency, HandshakeAndFrameWrittenOneByteAtATime) {
    ServedServer& served = Serve();
    TestClient client(served.port);
    const std::string bytes =
        "GET / HTTP/1.1\r\nHost: x\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n" +
        TestClient::Frame("piecemeal");
    for (char byte : bytes) {
        client.Send(std::string(1, byte));
        std::this_thread::sleep_for(milliseconds(1));
    }
    EXPECT_EQ(client.Receive(129),
              "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n");
    EXPECT_EQ(client.ReceiveText(), "re:piecemeal");
}

// 100 idle connections and one client that asks for large replies and never reads them do
// not delay a newcomer, whose reply comes as soon as the pipeline has made it.
TEST_F(Concurrency, IdleAndNeverReadingClientsHoldNobodyUp) {
    ServedServer& served = Serve();
    std::vector<std::unique_ptr<TestClient>> idle;
    for (int i = 0; i < 100; ++i) {
        idle.push_back(std::make_unique<TestClient>(served.port));
        idle.back()->Handshake();
    }
    TestClient stalled(served.port);
    stalled.Handshake();
    for (int i = 0; i < 8; ++i) {
        stalled.SendText("big 512000");
    }
    std::this_thread::sleep_for(milliseconds(300));
    Clock::time_point start = Clock::now();
    TestClient newcomer(served.port);
    newcomer.Handshake();
    newcomer.SendText("hello");
    EXPECT_EQ(newcomer.ReceiveText(), "re:hello");
    EXPECT_LT(SecondsSince(start), 5.0);
    idle.front()->SendText("still here");
    EXPECT_EQ(idle.front()->ReceiveText(), "re:still here");
}

// Requests from many clients never overlap inside the pipeline, and are taken in the order
// they arrived; every client gets its own complete reply.
TEST_F(Concurrency, ReadsOneAtATimeInArrivalOrder) {
    ServedServer& served = Serve();
    constexpr int kClients = 4;
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<TestClient>(served.port));
        clients.back()->Handshake();
    }
    std::vector<std::string> sent;
    for (int i = 0; i < kClients; ++i) {
        sent.push_back("slow " + std::to_string(40 + i));
        clients[i]->SendText(sent.back());
        std::this_thread::sleep_for(milliseconds(10));
    }
    for (int i = 0; i < kClients; ++i) {
        EXPECT_EQ(clients[i]->ReceiveText(), "re:" + sent[i]);
    }
    EXPECT_EQ(log_.order, sent);
    EXPECT_EQ(log_.most_inside, 1);
}

TEST_F(Concurrency, TwoClientsSendingAtTheSameMoment) {
    ServedServer& served = Serve();
    TestClient first(served.port);
    TestClient second(served.port);
    first.Handshake();
    second.Handshake();
    std::thread other([&] { second.SendText("big 300000"); });
    first.SendText("big 200000");
    other.join();
    EXPECT_EQ(first.ReceiveText(), std::string(200000, 'b'));
    EXPECT_EQ(second.ReceiveText(), std::string(300000, 'b'));
    EXPECT_EQ(log_.most_inside, 1);
}

// A handshake that does not finish, and replies that are not taken, end their connection
// when their time is up; nobody else is affected.
TEST_F(Concurrency, TimeLimitsEndOnlyTheSlowConnection) {
    served_->server.SetTimeLimits(milliseconds(300), milliseconds(300));
    std::vector<std::wstring> closed;
    std::mutex closed_lock;
    served_->server.SetObserver([&](const EndpointEvent& event) {
        if (event.kind == EndpointEvent::Kind::kClosed) {
            std::lock_guard<std::mutex> guard(closed_lock);
            closed.push_back(event.note);
        }
    });
    ServedServer& served = Serve();
    TestClient half(served.port);
    half.Send("GET / HTTP/1.1\r\nSec-WebSocket-Key: k\r\n");
    EXPECT_TRUE(half.ClosedByServer());

    TestClient stalled(served.port);
    stalled.Handshake();
    // More than the socket buffers of both ends hold (up to some 36 MB on Linux), so some
    // stays unsent.
    constexpr std::size_t kRequests = 100;
    for (std::size_t i = 0; i < kRequests; ++i) {
        stalled.SendText("big 512000");
    }
    TestClient other(served.port);
    other.Handshake();
    other.SendText("quick");
    EXPECT_EQ(other.ReceiveText(), "re:quick");
    // Whatever did reach the client is followed by the end of the connection.
    std::this_thread::sleep_for(milliseconds(1000));
    std::string got = stalled.Receive(kRequests * 512010u);
    EXPECT_LT(got.size(), kRequests * 512010u);
    other.SendText("after");
    EXPECT_EQ(other.ReceiveText(), "re:after");
    // The observer's records are this test's own: the server goes before they do.
    served_.reset();
    std::lock_guard<std::mutex> guard(closed_lock);
    EXPECT_NE(std::find(closed.begin(), closed.end(), L"Handshake not completed in time."),
              closed.end());
    EXPECT_NE(std::find(closed.begin(), closed.end(), L"Reply not taken in time."), closed.end());
}

// Control frames that come while a request is with the reader are answered after its reply,
// in the order they came, each frame whole; the client's close is answered last, and the end
// is told as the client's.
TEST_F(Concurrency, ControlFramesAreAnsweredInOrderBetweenReplies) {
    std::vector<std::wstring> closed;
    std::mutex closed_lock;
    served_->server.SetObserver([&](const EndpointEvent& event) {
        if (event.kind == EndpointEvent::Kind::kClosed) {
            std::lock_guard<std::mutex> guard(closed_lock);
            closed.push_back(event.note);
        }
    });
    ServedServer& served = Serve();
    TestClient client(served.port);
    client.Handshake();
    client.Send(TestClient::Frame("slow 300") + TestClient::Frame("p1", 0x89) +
                TestClient::Frame("ignored", 0x8A) + TestClient::Frame("", 0x89) +
                TestClient::Frame("two") + TestClient::Frame("\x03\xE8", 0x88));
    const std::vector<std::pair<int, std::string>> expected = {
        {0x81, "re:slow 300"}, {0x8A, "p1"}, {0x8A, ""}, {0x81, "re:two"}, {0x88, "\x03\xE8"}};
    for (const auto& [first, payload] : expected) {
        TestClient::Received frame = client.ReceiveFrame();
        EXPECT_EQ(frame.first, first) << payload;
        EXPECT_EQ(frame.payload, payload);
    }
    EXPECT_TRUE(client.ClosedByServer());
    client.Disconnect();
    EXPECT_EQ(log_.order, (std::vector<std::string>{"slow 300", "two"}));
    std::this_thread::sleep_for(milliseconds(200));
    std::lock_guard<std::mutex> guard(closed_lock);
    EXPECT_EQ(closed, (std::vector<std::wstring>{L"Client is close."}));
}

// No page locks the others out: an origin past its share closes its own idlest connection; a
// full table closes the idlest connection of the origin holding the most; a connection waiting
// for its reply is never closed; only when every connection waits is a newcomer answered 503.
TEST_F(Concurrency, AFullTableMakesRoomFromTheBusiestOrigin) {
    std::vector<std::wstring> traced;
    std::mutex traced_lock;
    served_->server.SetTrace([&](const wchar_t* line) {
        std::lock_guard<std::mutex> guard(traced_lock);
        traced.push_back(line);
    });
    ServedServer& served = Serve();
    auto open = [&](const std::string& origin) {
        auto client = std::make_unique<TestClient>(served.port);
        client->Send("GET / HTTP/1.1\r\n" + (origin.empty() ? "" : "Origin: " + origin + "\r\n") +
                     "Sec-WebSocket-Key: k\r\n\r\n");
        EXPECT_EQ(client->Receive(129).substr(0, 12), "HTTP/1.1 101") << origin;
        return client;
    };
    auto closed_to_make_room = [](TestClient& client) {
        TestClient::Received frame = client.ReceiveFrame();
        return frame.first == 0x88 && frame.payload == std::string("\x03\xE9", 2) &&
               client.ClosedByServer();
    };
    std::vector<std::unique_ptr<TestClient>> clients;
    // The oldest connection waits for its reply.
    clients.push_back(open("https://clerk.example"));
    clients.back()->SendText("hang");
    std::vector<std::unique_ptr<TestClient>> hostile;
    for (std::size_t i = 0; i < WebSocketServer::kMaxConnectionsPerOrigin; ++i) {
        hostile.push_back(open("https://hostile.example"));
    }
    clients.push_back(open("https://hostile.example"));
    EXPECT_TRUE(closed_to_make_room(*hostile[0]));
    for (const char* origin : {"https://a.example", "https://b.example", "https://c.example"}) {
        for (std::size_t i = 1; i < WebSocketServer::kMaxConnectionsPerOrigin; ++i) {
            clients.push_back(open(origin));
        }
    }
    while (clients.size() + hostile.size() - 1 < WebSocketServer::kMaxConnections) {
        clients.push_back(open(""));
    }
    // The table is full: the hostile origin holds the most, and gives up its idlest.
    clients.push_back(open("https://clerk.example"));
    EXPECT_TRUE(closed_to_make_room(*hostile[1]));
    clients.back()->SendText("clerk");
    {
        std::lock_guard<std::mutex> guard(traced_lock);
        ASSERT_FALSE(traced.empty());
        EXPECT_NE(traced.back().find(L"\"https://hostile.example\""), std::wstring::npos);
    }

    // Every connection waits for a reply: nothing can be closed, so a newcomer is refused.
    for (std::size_t i = 2; i < hostile.size(); ++i) {
        clients.push_back(std::move(hostile[i]));
    }
    for (std::size_t i = 1; i < clients.size(); ++i) {
        clients[i]->SendText("hang");
    }
    std::this_thread::sleep_for(milliseconds(300));
    TestClient extra(served.port);
    EXPECT_EQ(extra.Receive(1000).substr(0, 12), "HTTP/1.1 503");
    EXPECT_TRUE(extra.ClosedByServer());
    Release();
    EXPECT_EQ(clients[0]->ReceiveText(), "re:hang");
}

// A request that never returns does not keep the server from stopping; the reader is left
// in it, and ends on its own once the pipeline returns.
TEST_F(Concurrency, HungRequestDoesNotHoldTheStop) {
    ServedServer& served = Serve();
    TestClient client(served.port);
    client.Handshake();
    client.SendText("hang");
    TestClient queued(served.port);
    queued.Handshake();
    queued.SendText("never run");
    std::this_thread::sleep_for(milliseconds(100));
    Clock::time_point start = Clock::now();
    served.server.StopListening();
    ASSERT_EQ(served.served.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_FALSE(served.server.StopRequests(100));
    served.server.Close();
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_TRUE(client.ClosedByServer());
    Release();
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(log_.order, (std::vector<std::string>{"hang"}));
}

// What a foreground run prints comes from these events: the peer and origin of each
// connection, each request's result code and time, and why each connection ended.
TEST_F(Concurrency, EventsOfAConnection) {
    struct Seen {
        EndpointEvent::Kind kind;
        std::string origin;
        int result;
    };
    std::vector<Seen> seen;
    std::mutex seen_lock;
    served_->server.SetObserver([&](const EndpointEvent& event) {
        std::lock_guard<std::mutex> guard(seen_lock);
        seen.push_back(Seen{event.kind, std::string(event.origin), event.result});
        EXPECT_EQ(std::string(event.peer).rfind("127.0.0.1:", 0), 0u);
    });
    ServedServer& served = Serve();
    {
        TestClient client(served.port);
        client.Send(
            "GET / HTTP/1.1\r\nORIGIN:  https://counter.example.com \r\n"
            "Sec-WebSocket-Key: k\r\n\r\n");
        client.Receive(129);
        client.SendText("{\"result\" : -4}");
        client.ReceiveText();
    }
    std::this_thread::sleep_for(milliseconds(200));
    served_.reset();
    std::lock_guard<std::mutex> guard(seen_lock);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].kind, EndpointEvent::Kind::kConnected);
    EXPECT_EQ(seen[0].origin, "https://counter.example.com");
    EXPECT_EQ(seen[1].kind, EndpointEvent::Kind::kRequest);
    EXPECT_EQ(seen[1].result, -4);
    EXPECT_EQ(seen[2].kind, EndpointEvent::Kind::kClosed);
}

}  // namespace
