// Parsing the list of allowed origins and matching a handshake's Origin header against it.
#include "websocket/origin_policy.h"

#include <cstring>

namespace vorn {

namespace {

constexpr std::string_view kOriginHeader = "Origin";
constexpr std::string_view kSchemeEnd = "://";
// A browser leaves these ports out of the origins it sends; a listed origin may carry them.
constexpr std::string_view kDefaultPorts[][2] = {{"http", ":80"}, {"https", ":443"}};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

std::string NormaliseOrigin(std::string_view origin) {
    origin = Trim(origin);
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
        text[i] = AsciiLower(text[i]);
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
        std::string_view entry = Trim(setting.substr(0, comma));
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

bool OriginPolicy::AllowsRequest(const char* request, std::size_t length) const {
    return AcceptsEveryOrigin() || AllowsOrigins(RequestOrigins(request, length));
}

std::vector<std::string> RequestOrigins(const char* request, std::size_t length) {
    if (request == nullptr) {
        return {};
    }
    const void* end = std::memchr(request, 0, length);
    return HeaderValues(
        std::string_view(request,
                         end == nullptr ? length : static_cast<const char*>(end) - request),
        kOriginHeader);
}

std::vector<std::string> HeaderValues(std::string_view request, std::string_view name) {
    std::vector<std::string> values;
    // The first line is the request line; the header block ends at the first empty line.
    std::size_t start = request.find('\n');
    while (start != std::string_view::npos && start + 1 < request.size()) {
        ++start;
        std::size_t end = request.find('\n', start);
        std::string_view line =
            request.substr(start, end == std::string_view::npos ? end : end - start);
        if (line.empty() || line == "\r") {
            break;
        }
        std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && SameWord(line.substr(0, colon), name)) {
            values.emplace_back(Trim(line.substr(colon + 1)));
        }
        start = end;
    }
    return values;
}

}  // namespace vorn
