// Which web pages may open the WebSocket endpoint, judged by the Origin header of the handshake.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

// The request header that names the page's origin.
constexpr std::string_view kOriginHeader = "Origin";

// The answer to a handshake from an origin that is not allowed. The CORS header lets a page's
// plain fetch of the endpoint see the status, so that a client can tell a refusal from a port
// where nothing listens.
constexpr const char* kOriginRefusedResponse =
    "HTTP/1.1 403 Forbidden\r\n"
    "Access-Control-Allow-Origin: *\r\n"
    "Content-Length: 0\r\n"
    "Connection: close\r\n\r\n";

// The list of allowed origins; an empty list lets every origin in.
class OriginPolicy {
public:
    // Every origin is accepted.
    OriginPolicy() = default;
    // From a comma-separated list such as "https://a.example, http://localhost:8080". Blanks
    // around entries are ignored; a list without entries accepts every origin.
    static OriginPolicy FromSetting(std::string_view setting);
    // No origin is accepted: what a list that could not be read whole leaves in force.
    static OriginPolicy RefusingEveryOrigin();

    bool AcceptsEveryOrigin() const { return allowed_.empty() && !refuses_every_origin_; }
    bool RefusesEveryOrigin() const { return refuses_every_origin_; }
    // The origins accepted, in the form they are compared in.
    const std::vector<std::string>& Allowed() const { return allowed_; }
    // Whether a page of this origin, as its browser sends it, may connect.
    bool Allows(std::string_view origin) const;
    // Whether a handshake with these Origin header values may go on. With a list set, a
    // request must carry exactly one Origin header, and that origin must be listed.
    bool AllowsOrigins(const std::vector<std::string>& origins) const;

private:
    std::vector<std::string> allowed_;
    bool refuses_every_origin_ = false;
};

// The Origin header values of the handshake request in the first `length` bytes; its text
// ends at the first NUL among them.
std::vector<std::string> RequestOrigins(const char* request, std::size_t length);

// The form in which two origins are compared: scheme and host in lower case, the scheme's
// default port and a trailing "/" dropped.
std::string NormaliseOrigin(std::string_view origin);

}  // namespace vorn
