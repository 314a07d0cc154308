// Fuzz target: whatever a browser, or anything else, writes to the host's standard input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "host/native_messaging.h"
#include "platform/file_stream.h"

using namespace vorn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A stream over a copy of the input (a memory stream cannot be empty).
    if (size == 0) {
        return 0;
    }
    std::vector<std::uint8_t> copy(data, data + size);
    const FileStream in(fmemopen(copy.data(), copy.size(), "rb"));
    if (!in) {
        return 0;
    }
    std::unique_ptr<char[]> body = ReadFrame(in.get());
    return 0;
}
