// Fuzz target: a client frame as one read leaves it in the receive buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "websocket/frame.h"

using namespace vorn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t received = size < kReceiveBufferSize ? size : kReceiveBufferSize;
    // The buffer has its real size, so any access beyond it is caught.
    std::vector<std::uint8_t> buffer(kReceiveBufferSize, 0);
    if (received > 0) {
        std::memcpy(buffer.data(), data, received);
    }
    char* text = nullptr;
    FrameStatus status = UnwrapFrame(buffer.data(), received, buffer.size(), &text);
    if (status != FrameStatus::kMessage) {
        if (text != nullptr) {
            __builtin_trap();
        }
        return 0;
    }
    // The text lies inside what was received and ends inside the buffer.
    const char* begin = reinterpret_cast<const char*>(buffer.data());
    if (text < begin || text >= begin + buffer.size() ||
        std::memchr(text, 0, begin + buffer.size() - text) == nullptr) {
        __builtin_trap();
    }
    return 0;
}
