// Fuzz target: an opening request as the handshake receives it, in a buffer of its exact size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "websocket/frame.h"
#include "websocket/handshake.h"

using namespace vorn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One read takes at most a receive buffer's worth.
    std::size_t received = size < kReceiveBufferSize ? size : kReceiveBufferSize;
    std::vector<char> request(data, data + received);
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
