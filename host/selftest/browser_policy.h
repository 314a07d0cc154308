// Which web applications the installed browsers let reach this computer's loopback address
// without asking, as their managed policies say; read by the self-test, never changed.
#pragma once

#include <string>
#include <vector>

#include "host/selftest/self_test_checks.h"

namespace vorn {

// The policies that grant a site access to the loopback address: the current one, and the
// older one that also covers the private network.
constexpr const char* kLoopbackPolicy = "LoopbackNetworkAllowedForUrls";
constexpr const char* kLocalNetworkPolicy = "LocalNetworkAccessAllowedForUrls";

// The URL patterns one browser's policies grant.
struct LoopbackGrants {
    std::wstring browser;
    std::vector<std::string> patterns;
};

// The grants of Chrome, Chromium and Edge as managed on this computer; a browser without
// such a policy is left out.
std::vector<LoopbackGrants> ReadLoopbackGrants();

// Adds the patterns of both policies in the text of a managed policy file (JSON); text that is
// not a JSON object, and values that are not lists of strings, add nothing.
void AddGrantsFromPolicyJson(const std::string& text, std::vector<std::string>* patterns);

// Whether a URL pattern of the browsers' policy format ("https://a.example", "[*.]example.com",
// "a.example:8443", "*") covers a page of that origin.
bool PatternGrantsOrigin(const std::string& pattern, const std::string& origin);

// The self-test's line: warns for each origin of the allowed_origins setting that no browser
// policy lets reach the loopback address, and names the fix. Origins on the computer itself
// need no grant.
CheckLine CheckBrowserPolicies(const std::string& allowed_origins,
                               const std::vector<LoopbackGrants>& grants);

}  // namespace vorn
