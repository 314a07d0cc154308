// The parts of the opening handshake that need no socket: key, accept value and response.
#include "websocket/handshake.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "codec/base64.h"
#include "websocket/http_headers.h"
#include "websocket/sha1.h"

namespace vorn {

namespace {

constexpr const char* kResponseLines[] = {
    "HTTP/1.1 101 Switching Protocols\r\n",
    "Upgrade: websocket\r\n",
    "Connection: Upgrade\r\n",
    "Sec-WebSocket-Accept: ",
};
constexpr const char* kResponseEnd = "\r\n\r\n";

}  // namespace

bool ExtractKey(const char* request, std::size_t received, char (&key)[kKeyTextLimit + 1]) {
    std::memset(key, 0, sizeof(key));
    if (request == nullptr) {
        return false;
    }
    const std::optional<std::string_view> value =
        HeaderValue(std::string_view(request, received), kKeyHeader);
    if (!value) {
        return false;
    }
    // An empty value may have no bytes behind it at all: copy() takes that, memcpy would not.
    value->copy(key, value->size() < kKeyTextLimit ? value->size() : kKeyTextLimit);
    return true;
}

std::unique_ptr<char[]> ComputeAcceptKey(const char* key) {
    char keyed[kKeyTextLimit + kWebSocketGuidLength + 1] = {};
    std::strncpy(keyed, key, kKeyTextLimit);
    std::strcat(keyed, kWebSocketGuid);

    std::uint32_t words[kSha1HashWords] = {};
    Sha1Digest(keyed, words);
    std::uint8_t digest[kSha1HashBytes];
    for (int w = 0; w < kSha1HashWords; ++w) {
        for (int b = 0; b < 4; ++b) {
            digest[4 * w + b] = static_cast<std::uint8_t>(words[w] >> (24 - 8 * b));
        }
    }
    return Base64Digest(digest);
}

std::size_t BuildHandshakeResponse(const char* accept, char* out, std::size_t size) {
    std::size_t needed = std::strlen(accept) + std::strlen(kResponseEnd) + 1;
    for (const char* line : kResponseLines) {
        needed += std::strlen(line);
    }
    if (out == nullptr || needed > size) {
        return 0;
    }
    std::memset(out, 0, size);
    for (const char* line : kResponseLines) {
        std::strcat(out, line);
    }
    std::strcat(out, accept);
    std::strcat(out, kResponseEnd);
    return needed - 1;
}

}  // namespace vorn
