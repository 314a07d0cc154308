// Parsing the list of allowed origins and matching a handshake's Origin header against it.
#include "websocket/origin_policy.h"

#include "platform/ascii_text.h"
#include "websocket/http_headers.h"

namespace vorn {

namespace {

constexpr std::string_view kSchemeEnd = "://";
// A browser leaves these ports out of the origins it sends; a listed origin may carry them.
constexpr std::string_view kDefaultPorts[][2] = {{"http", ":80"}, {"https", ":443"}};

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

std::string NormaliseOrigin(std::string_view origin) {
    origin = TrimBlanks(origin);
    if (EndsWith(origin, "/")) {
        origin.remove_suffix(1);
    }
    std::string text(origin);
    std::size_t scheme_end = text.find(kSchemeEnd);
    std::size_t host_end = scheme_end == std::string::npos
                               ? text.size()
                               : text.find('/', scheme_end + kSchemeEnd.size());
    if (host_end == std::string::npos) {
        host_end = text.size();
    }
    for (std::size_t i = 0; i < host_end; ++i) {
        text[i] = FoldAsciiCase(text[i]);
    }
    if (scheme_end != std::string::npos && host_end == text.size()) {
        std::string_view scheme(text.data(), scheme_end);
        for (const auto& entry : kDefaultPorts) {
            if (scheme == entry[0] && EndsWith(text, entry[1])) {
                text.erase(text.size() - entry[1].size());
                break;
            }
        }
    }
    return text;
}

OriginPolicy OriginPolicy::FromSetting(std::string_view setting) {
    OriginPolicy policy;
    while (!setting.empty()) {
        std::size_t comma = setting.find(',');
        std::string_view entry = TrimBlanks(setting.substr(0, comma));
        if (!entry.empty()) {
            policy.allowed_.push_back(NormaliseOrigin(entry));
        }
        setting = comma == std::string_view::npos ? std::string_view() : setting.substr(comma + 1);
    }
    return policy;
}

OriginPolicy OriginPolicy::RefusingEveryOrigin() {
    OriginPolicy policy;
    policy.refuses_every_origin_ = true;
    return policy;
}

bool OriginPolicy::Allows(std::string_view origin) const {
    if (AcceptsEveryOrigin()) {
        return true;
    }
    std::string wanted = NormaliseOrigin(origin);
    if (wanted.empty()) {
        return false;
    }
    for (const std::string& allowed : allowed_) {
        if (allowed == wanted) {
            return true;
        }
    }
    return false;
}

bool OriginPolicy::AllowsOrigins(const std::vector<std::string>& origins) const {
    // Two Origin headers are no browser's doing: neither is trusted.
    return AcceptsEveryOrigin() || (origins.size() == 1 && Allows(origins.front()));
}

std::vector<std::string> RequestOrigins(const char* request, std::size_t length) {
    if (request == nullptr) {
        return {};
    }
    std::vector<std::string> origins;
    for (std::string_view value : HeaderValues(std::string_view(request, length), kOriginHeader)) {
        origins.emplace_back(value);
    }
    return origins;
}

}  // namespace vorn
