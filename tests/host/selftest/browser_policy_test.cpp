// The browser policies the self-test reads: which URL patterns cover an origin, what a
// policy file adds, and the line that names the origins left without a grant.
#include "host/selftest/browser_policy.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

TEST(BrowserPolicy, PatternsCoverOriginsAsTheBrowsersMatchThem) {
    struct Case {
        const char* pattern;
        const char* origin;
        bool grants;
    };
    const Case cases[] = {
        {"https://counter.example.com", "https://COUNTER.example.com:443/", true},
        {"https://counter.example.com", "http://counter.example.com", false},
        // A pattern without a port covers every port.
        {"https://counter.example.com", "https://counter.example.com:8443", true},
        {"https://counter.example.com:443", "https://counter.example.com:8443", false},
        {"counter.example.com", "http://counter.example.com:8080", true},
        {"counter.example.com:8080", "http://counter.example.com:8080", true},
        {"counter.example.com:8080", "http://counter.example.com", false},
        {"[*.]example.com", "https://a.b.example.com", true},
        {"[*.]example.com", "https://example.com", true},
        {"[*.]example.com", "https://badexample.com", false},
        {"counter.example.com", "https://counter.example.com.evil.net", false},
        {"https://counter.example.com/app/", "https://counter.example.com", true},
        {" * ", "https://anything.example", true},
        {"", "https://counter.example.com", false},
        {"https://", "https://counter.example.com", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PatternGrantsOrigin(c.pattern, c.origin), c.grants)
            << c.pattern << " for " << c.origin;
    }
}

TEST(BrowserPolicy, WarnsForEachAllowedOriginNoPolicyGrants) {
    std::vector<std::string> chromium;
    AddGrantsFromPolicyJson(R"({"LoopbackNetworkAllowedForUrls": ["https://counter.example.com"],
                               "LocalNetworkAccessAllowedForUrls": ["[*.]bank.example", 7]})",
                            &chromium);
    // Files that are not policy lists add nothing, and break nothing.
    for (const char* text : {"", "[1,2]", "{\"LoopbackNetworkAllowedForUrls\": \"x\"}", "{\"L"}) {
        AddGrantsFromPolicyJson(text, &chromium);
    }
    ASSERT_EQ(chromium.size(), 2u);
    const std::vector<LoopbackGrants> grants = {{L"Chromium", chromium}};

    CheckLine line = CheckBrowserPolicies(
        "https://counter.example.com, https://teller.bank.example, http://localhost:8080, "
        "https://hotel.example",
        grants);
    EXPECT_EQ(line.verdict, Verdict::kWarn);
    EXPECT_EQ(line.failure_bit, 0);
    EXPECT_NE(line.detail.find(L"https://hotel.example"), std::wstring::npos) << line.detail;
    EXPECT_EQ(line.detail.find(L"counter"), std::wstring::npos) << line.detail;
    EXPECT_EQ(line.detail.find(L"localhost"), std::wstring::npos) << line.detail;
    EXPECT_NE(line.detail.find(L"LoopbackNetworkAllowedForUrls"), std::wstring::npos);

    line = CheckBrowserPolicies("https://counter.example.com", grants);
    EXPECT_EQ(line.verdict, Verdict::kOk);
    EXPECT_NE(line.detail.find(L"Chromium"), std::wstring::npos) << line.detail;
    EXPECT_EQ(CheckBrowserPolicies("https://counter.example.com", {}).verdict, Verdict::kWarn);
}

}  // namespace
}  // namespace vorn
