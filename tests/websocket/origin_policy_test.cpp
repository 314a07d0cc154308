// The allowed origins of the WebSocket endpoint: the setting, the match against a handshake,
// and the limit on how often a refusal reaches the system's log.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "websocket/origin_gate.h"
#include "websocket/origin_policy.h"
#include "websocket/report_limiter.h"

using namespace vorn;

namespace {

using std::chrono::seconds;
using Time = std::chrono::steady_clock::time_point;

std::string Handshake(const std::string& headers) {
    return "GET / HTTP/1.1\r\nHost: 127.0.0.1:17171\r\n" + headers +
           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
}

// Judged from a buffer of exactly the request's size, so that reading past its end shows
// under AddressSanitizer.
bool Admitted(const OriginPolicy& policy, const std::string& request) {
    std::vector<char> exact(request.begin(), request.end());
    return policy.AllowsOrigins(RequestOrigins(exact.data(), exact.size()));
}

TEST(OriginPolicy, EntriesAreComparedInTheFormBrowsersSend) {
    OriginPolicy policy = OriginPolicy::FromSetting(
        " HTTPS://Counter.Example.com/ ,http://localhost:8080,, https://desk.example:443 ");
    for (const char* listed :
         {"https://counter.example.com", "http://localhost:8080", "https://desk.example"}) {
        EXPECT_TRUE(policy.Allows(listed)) << listed;
    }
    for (const char* other :
         {"http://counter.example.com", "https://counter.example.com:8443",
          "https://counter.example.com.evil.example", "http://localhost", "null", ""}) {
        EXPECT_FALSE(policy.Allows(other)) << other;
    }
    // A list without entries lets every page in, with or without an origin.
    OriginPolicy open = OriginPolicy::FromSetting(" , ");
    EXPECT_TRUE(open.AcceptsEveryOrigin());
    EXPECT_TRUE(Admitted(open, Handshake("")));
}

TEST(OriginPolicy, ARequestNeedsExactlyOneListedOrigin) {
    OriginPolicy policy = OriginPolicy::FromSetting("https://counter.example.com");
    EXPECT_TRUE(Admitted(policy, Handshake("origin:\thttps://counter.example.com  \r\n")));
    EXPECT_TRUE(Admitted(policy, "GET / HTTP/1.1\nOrigin: https://counter.example.com\n\n"));

    EXPECT_FALSE(Admitted(policy, Handshake("")));
    EXPECT_FALSE(Admitted(policy, Handshake("Origin: https://evil.example\r\n")));
    EXPECT_FALSE(Admitted(policy, Handshake("Origin: https://counter.example.com\r\n"
                                            "Origin: https://evil.example\r\n")));
    EXPECT_FALSE(Admitted(policy, Handshake("X-Origin: https://counter.example.com\r\n")));
    // Text after the header block is no header.
    EXPECT_FALSE(Admitted(policy, Handshake("") + "Origin: https://counter.example.com\r\n\r\n"));
    EXPECT_FALSE(Admitted(policy, "GET / HTTP/1.1\r\nOrigin: https://counter.exa"));
}

TEST(ReportLimiter, EachKeyOncePerInterval) {
    Time now{};
    ReportLimiter limiter(seconds(60), 2, [&now] { return now; });
    EXPECT_TRUE(limiter.ShouldReport("a"));
    EXPECT_TRUE(limiter.ShouldReport("b"));
    now += seconds(59);
    EXPECT_FALSE(limiter.ShouldReport("a"));
    // Only two keys are remembered; a third waits until one of them has expired.
    EXPECT_FALSE(limiter.ShouldReport("c"));
    now += seconds(1);
    EXPECT_TRUE(limiter.ShouldReport("c"));
    EXPECT_TRUE(limiter.ShouldReport("a"));
    EXPECT_FALSE(limiter.ShouldReport("a"));
}

std::vector<std::wstring> g_reports;
std::vector<std::wstring> g_traces;

void Collect(const wchar_t* message) {
    g_reports.emplace_back(message);
}

void CollectTrace(const wchar_t* message) {
    g_traces.emplace_back(message);
}

TEST(OriginGate, RefusalsReachTheLogsOncePerOriginAndMinute) {
    g_reports.clear();
    g_traces.clear();
    Time now{};
    OriginGate gate([&now] { return now; });
    auto admits = [&gate](const std::string& origin_line) {
        std::string request = Handshake(origin_line);
        return gate.Admits(request.data(), request.size());
    };
    // Until configured, every origin is let in and nothing is reported.
    EXPECT_TRUE(admits("Origin: https://evil.example\r\n"));
    gate.Configure(OriginPolicy::FromSetting("https://counter.example.com"),
                   {CollectTrace, Collect});

    for (int attempt = 0; attempt < 100; ++attempt) {
        EXPECT_FALSE(admits("Origin: https://evil.example\r\n"));
        EXPECT_FALSE(admits(""));
        EXPECT_TRUE(admits("Origin: https://counter.example.com\r\n"));
    }
    ASSERT_EQ(g_reports.size(), 2u);
    EXPECT_NE(g_reports[0].find(L"\"https://evil.example\""), std::wstring::npos);

    // A log line shows an origin without its control characters, and cut short.
    EXPECT_FALSE(admits("Origin: https://x\x01y" + std::string(1000, 'z') + "\r\n"));
    ASSERT_EQ(g_reports.size(), 3u);
    EXPECT_NE(g_reports[2].find(L"https://x?yzz"), std::wstring::npos);
    EXPECT_LT(g_reports[2].size(), 300u);

    now += seconds(60);
    EXPECT_FALSE(admits("Origin: https://evil.example\r\n"));
    ASSERT_EQ(g_reports.size(), 4u);
    // The next line counts the refusals left out; the trace hears no more than the system's log.
    EXPECT_NE(g_reports[3].find(L" 99 more"), std::wstring::npos) << g_reports[3];
    EXPECT_EQ(g_traces, g_reports);

    // A list that could not be read whole leaves no origin admitted, not every origin.
    gate.Configure(OriginPolicy::RefusingEveryOrigin(), {nullptr, Collect});
    EXPECT_FALSE(admits("Origin: https://counter.example.com\r\n"));
    EXPECT_FALSE(admits(""));
    ASSERT_EQ(g_reports.size(), 6u);
    EXPECT_NE(g_reports[4].find(L"could not be read whole"), std::wstring::npos);
}

}  // namespace
