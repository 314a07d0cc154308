#include "host/selftest/browser_policy.h"

#include <json/reader.h>
#include <json/value.h>

#include <memory>
#include <string_view>

#include "platform/ascii_text.h"
#include "platform/text_conversion.h"
#include "websocket/origin_policy.h"

namespace vorn {

namespace {

constexpr const wchar_t* kSubject = L"browser policy";
constexpr const wchar_t* kFix =
    L" lets it reach this computer: the browser blocks the page until the user allows it. Grant "
    L"it with the policy LoopbackNetworkAllowedForUrls (see docs/deploying-web-apps.md)";

// An origin or a pattern taken apart; an empty scheme or port means "any".
struct Address {
    std::string scheme;
    std::string host;
    std::string port;
};

Address Split(const std::string& text) {
    Address address;
    std::string rest = FoldAsciiCase(text);
    const std::size_t separator = rest.find("://");
    if (separator != std::string::npos) {
        address.scheme = rest.substr(0, separator);
        rest.erase(0, separator + 3);
    }
    rest = rest.substr(0, rest.find_first_of("/?#"));
    // A bracketed IPv6 host holds colons of its own.
    const std::size_t host_end = rest.compare(0, 1, "[") == 0 && rest.compare(0, 4, "[*.]") != 0
                                     ? rest.find(']')
                                     : std::string::npos;
    const std::size_t colon = rest.find(':', host_end == std::string::npos ? 0 : host_end);
    address.host = rest.substr(0, colon);
    if (colon != std::string::npos) {
        address.port = rest.substr(colon + 1);
    }
    return address;
}

std::string PortOf(const Address& origin) {
    if (!origin.port.empty()) {
        return origin.port;
    }
    return origin.scheme == "https" ? "443" : origin.scheme == "http" ? "80" : "";
}

bool IsLoopbackHost(const std::string& host) {
    if (host == "localhost" || host == "[::1]" ||
        (host.size() > 10 && host.compare(host.size() - 10, 10, ".localhost") == 0)) {
        return true;
    }
    return host.compare(0, 4, "127.") == 0;
}

std::vector<std::string> SplitOrigins(const std::string& setting) {
    std::vector<std::string> origins;
    std::size_t start = 0;
    while (start <= setting.size()) {
        std::size_t comma = setting.find(',', start);
        if (comma == std::string::npos) {
            comma = setting.size();
        }
        std::string origin(Trim(std::string_view(setting).substr(start, comma - start)));
        if (!origin.empty()) {
            origins.push_back(NormaliseOrigin(origin));
        }
        start = comma + 1;
    }
    return origins;
}

}  // namespace

void AddGrantsFromPolicyJson(const std::string& text, std::vector<std::string>* patterns) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, nullptr) ||
        !root.isObject()) {
        return;
    }
    for (const char* policy : {kLoopbackPolicy, kLocalNetworkPolicy}) {
        const Json::Value& list = root[policy];
        if (!list.isArray()) {
            continue;
        }
        for (const Json::Value& entry : list) {
            if (entry.isString()) {
                patterns->push_back(entry.asString());
            }
        }
    }
}

bool PatternGrantsOrigin(const std::string& pattern, const std::string& origin) {
    const std::string trimmed(Trim(pattern));
    if (trimmed == "*") {
        return true;
    }
    const Address wanted = Split(trimmed);
    const Address page = Split(NormaliseOrigin(origin));
    if (!wanted.scheme.empty() && wanted.scheme != "*" && wanted.scheme != page.scheme) {
        return false;
    }
    if (!wanted.port.empty() && wanted.port != "*" && wanted.port != PortOf(page)) {
        return false;
    }
    if (wanted.host == "*") {
        return true;
    }
    if (wanted.host.compare(0, 4, "[*.]") == 0) {
        const std::string domain = wanted.host.substr(4);
        return page.host == domain || (page.host.size() > domain.size() &&
                                       page.host.compare(page.host.size() - domain.size() - 1,
                                                         std::string::npos, "." + domain) == 0);
    }
    return !wanted.host.empty() && wanted.host == page.host;
}

CheckLine CheckBrowserPolicies(const std::string& allowed_origins,
                               const std::vector<LoopbackGrants>& grants) {
    std::wstring ungranted;
    std::wstring granted;
    for (const std::string& origin : SplitOrigins(allowed_origins)) {
        if (IsLoopbackHost(Split(origin).host)) {
            continue;
        }
        std::wstring by;
        for (const LoopbackGrants& browser : grants) {
            for (const std::string& pattern : browser.patterns) {
                if (PatternGrantsOrigin(pattern, origin)) {
                    by += (by.empty() ? L"" : L", ") + browser.browser;
                    break;
                }
            }
        }
        const std::wstring wide = Utf8ToWide(origin);
        if (by.empty()) {
            ungranted += (ungranted.empty() ? L"" : L", ") + wide;
        } else {
            granted += (granted.empty() ? L"" : L"; ") + wide + L" granted by " + by;
        }
    }
    if (!ungranted.empty()) {
        return {Verdict::kWarn, kSubject, L"no browser policy for " + ungranted + kFix, 0};
    }
    if (granted.empty()) {
        return {Verdict::kOk, kSubject,
                L"the allowed origins are on this computer: no grant needed", 0};
    }
    return {Verdict::kOk, kSubject, granted, 0};
}

}  // namespace vorn
