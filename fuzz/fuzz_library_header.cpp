// Fuzz target: the first bytes of a file that a reader maker's library should be.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/binary_header.h"

using namespace vorn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A block of exactly the input's length, so that any read beyond it is caught.
    const std::vector<unsigned char> bytes(data, data + size);
    const BinaryHeader header = ReadBinaryHeader(bytes.data(), bytes.size());
    if (header.format != BinaryFormat::kPe && !header.imports.empty()) {
        __builtin_trap();
    }
    for (const std::string& name : header.imports) {
        if (name.empty() || name.size() > 255) {
            __builtin_trap();
        }
    }
    MachineName(header);
    return 0;
}
