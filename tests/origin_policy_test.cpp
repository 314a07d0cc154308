// The allowed origins of the WebSocket endpoint: the setting, the match against a handshake,
// and the limit on how often a refusal reaches the system's log.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "websocket/origin_gate.h"
#include "websocket/origin_policy.h"
#include "websocket/report_limiter.h"

namespace {

using std::chrono::seconds;
using Time = std::chrono::steady_clock::time_point;

std::string Handshake(const std::string& headers) {
    return "GET / HTTP/1.1\r\nHost: 127.0.0.1:17171\r\nUpgrade: websocket\r\n" + headers +
           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
}

// Judged from a buffer of exactly the request's size, so that reading past its end shows
// under AddressSanitizer.
bool Admitted(const OriginPolicy& policy, const std::string& request) {
    std::vector<char> exact(request.begin(), request.end());
    return policy.AllowsRequest(exact.data(), exact.size());
}

TEST(OriginPolicy, EntriesAreComparedInTheFormBrowsersSend) {
    OriginPolicy policy = OriginPolicy::FromSetting(
        " HTTPS://Counter.Example.com/ ,http://localhost:8080,, https://desk.example:443 ");
    EXPECT_FALSE(policy.AcceptsEveryOrigin());
    EXPECT_TRUE(policy.Allows("https://counter.example.com"));
    EXPECT_TRUE(policy.Allows("https://COUNTER.example.com"));
    EXPECT_TRUE(policy.Allows("http://localhost:8080"));
    // A browser leaves out the scheme's default port.
    EXPECT_TRUE(policy.Allows("https://desk.example"));
    EXPECT_TRUE(OriginPolicy::FromSetting("http://desk.example").Allows("http://desk.example:80"));

    for (const char* other :
         {"http://counter.example.com", "https://counter.example.com:8443",
          "https://counter.example.com.evil.example", "https://evil.example", "http://localhost",
          "http://localhost:8081", "null", "", "counter.example.com"}) {
        EXPECT_FALSE(policy.Allows(other)) << other;
    }
}

TEST(OriginPolicy, AnEmptySettingAcceptsEveryone) {
    for (const char* setting : {"", "   ", " , ,"}) {
        OriginPolicy policy = OriginPolicy::FromSetting(setting);
        EXPECT_TRUE(policy.AcceptsEveryOrigin()) << '"' << setting << '"';
        EXPECT_TRUE(Admitted(policy, Handshake("Origin: https://evil.example\r\n")));
        EXPECT_TRUE(Admitted(policy, Handshake("")));
    }
    EXPECT_TRUE(OriginPolicy().AllowsRequest(nullptr, 0));
}

TEST(OriginPolicy, ARequestNeedsExactlyOneListedOrigin) {
    OriginPolicy policy = OriginPolicy::FromSetting("https://counter.example.com");
    EXPECT_TRUE(Admitted(policy, Handshake("Origin: https://counter.example.com\r\n")));
    // Header names are not case-sensitive, and the value may be padded.
    EXPECT_TRUE(Admitted(policy, Handshake("origin:\thttps://counter.example.com  \r\n")));
    // A request whose lines end at LF alone.
    EXPECT_TRUE(Admitted(policy, "GET / HTTP/1.1\nOrigin: https://counter.example.com\n\n"));

    EXPECT_FALSE(Admitted(policy, Handshake("")));
    EXPECT_FALSE(Admitted(policy, Handshake("Origin: https://evil.example\r\n")));
    EXPECT_FALSE(Admitted(policy, Handshake("Origin:\r\n")));
    EXPECT_FALSE(Admitted(policy, Handshake("Origin: https://counter.example.com\r\n"
                                            "Origin: https://evil.example\r\n")));
    // Neither a header that only ends in the name, nor one after the header block, counts.
    EXPECT_FALSE(Admitted(policy, Handshake("X-Origin: https://counter.example.com\r\n")));
    EXPECT_FALSE(Admitted(policy, Handshake("") + "Origin: https://counter.example.com\r\n\r\n"));
    // The request line is no header, and the text ends at a NUL byte.
    EXPECT_FALSE(Admitted(policy, "Origin: https://counter.example.com\r\n\r\n"));
    const char with_nul[] = "GET / HTTP/1.1\r\n\0Origin: https://counter.example.com\r\n\r\n";
    EXPECT_FALSE(Admitted(policy, std::string(with_nul, sizeof(with_nul) - 1)));
    EXPECT_FALSE(policy.AllowsRequest(nullptr, 10));
    // A request cut off inside the Origin line names another origin.
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
    EXPECT_FALSE(limiter.ShouldReport("b"));
}

std::vector<std::wstring> g_reports;

void Collect(const wchar_t* message) {
    g_reports.emplace_back(message);
}

TEST(OriginGate, RefusalsReachTheLogOncePerOriginAndMinute) {
    g_reports.clear();
    Time now{};
    OriginGate gate([&now] { return now; });
    auto admits = [&gate](const std::string& request) {
        return gate.Admits(request.data(), request.size());
    };
    // Until configured, every origin is let in and nothing is reported.
    EXPECT_TRUE(admits(Handshake("Origin: https://evil.example\r\n")));
    gate.Configure(OriginPolicy::FromSetting("https://counter.example.com"), Collect);

    for (int attempt = 0; attempt < 100; ++attempt) {
        EXPECT_FALSE(admits(Handshake("Origin: https://evil.example\r\n")));
        EXPECT_FALSE(admits(Handshake("")));
        EXPECT_TRUE(admits(Handshake("Origin: https://counter.example.com\r\n")));
    }
    ASSERT_EQ(g_reports.size(), 2u);
    EXPECT_NE(g_reports[0].find(L"\"https://evil.example\""), std::wstring::npos);
    EXPECT_NE(g_reports[1].find(L"no single origin"), std::wstring::npos);

    // Another origin is reported at once, shown with its control characters replaced and
    // cut to a bounded length.
    EXPECT_FALSE(admits(Handshake("Origin: https://x\x01y" + std::string(1000, 'z') + "\r\n")));
    ASSERT_EQ(g_reports.size(), 3u);
    EXPECT_NE(g_reports[2].find(L"https://x?yzz"), std::wstring::npos);
    EXPECT_LT(g_reports[2].size(), 300u);

    now += seconds(60);
    EXPECT_FALSE(admits(Handshake("Origin: https://evil.example\r\n")));
    EXPECT_EQ(g_reports.size(), 4u);
    g_reports.clear();
}

}  // namespace
