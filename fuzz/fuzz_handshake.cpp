// Fuzz target: an opening request as the handshake receives it, in a buffer of its exact size:
// its header block, its key and its origins.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "websocket/frame.h"
#include "websocket/handshake.h"
#include "websocket/http_headers.h"
#include "websocket/origin_policy.h"

using namespace vorn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One read takes at most a receive buffer's worth.
    std::size_t received = size < kReceiveBufferSize ? size : kReceiveBufferSize;
    std::vector<char> request(data, data + received);
    // Every value found lies inside the request and has no blank at either end.
    const std::string_view text(request.data(), request.size());
    for (std::string_view value : HeaderValues(text, kOriginHeader)) {
        if (value.data() < text.data() || value.data() + value.size() > text.data() + text.size() ||
            (!value.empty() && (value.front() == ' ' || value.back() == ' '))) {
            __builtin_trap();
        }
    }
    char key[kKeyTextLimit + 1];
    if (!ExtractKey(request.data(), request.size(), key)) {
        return 0;
    }
    if (std::strlen(key) > kKeyTextLimit) {
        __builtin_trap();
    }
    std::unique_ptr<char[]> accept = ComputeAcceptKey(key);
    if (!accept || std::strlen(accept.get()) != kAcceptKeyLength) {
        __builtin_trap();
    }
    char response[kHandshakeResponseSize];
    if (BuildHandshakeResponse(accept.get(), response, sizeof(response)) == 0) {
        __builtin_trap();
    }
    return 0;
}
