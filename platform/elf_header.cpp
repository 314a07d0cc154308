// The header of a Linux program or shared library: its class and machine.
#include <cstdint>

#include "platform/binary_header.h"
#include "platform/byte_range.h"

namespace vorn {

namespace {

constexpr unsigned char kMagic[] = {0x7F, 'E', 'L', 'F'};
constexpr std::uint64_t kClassByte = 4;
constexpr std::uint64_t kDataByte = 5;
constexpr std::uint64_t kMachineField = 18;
constexpr unsigned char kClass32 = 1;
constexpr unsigned char kClass64 = 2;
constexpr unsigned char kBigEndian = 2;

}  // namespace

bool ReadElfHeader(const unsigned char* data, std::size_t size, BinaryHeader* header) {
    const ByteRange bytes(data, size);
    if (!bytes.Holds(0, sizeof(kMagic))) {
        return false;
    }
    for (std::size_t i = 0; i < sizeof(kMagic); ++i) {
        if (bytes.At(i) != kMagic[i]) {
            return false;
        }
    }
    header->format = BinaryFormat::kElf;
    if (bytes.Holds(kClassByte, 1)) {
        const unsigned char elf_class = bytes.At(kClassByte);
        header->bits = elf_class == kClass32 ? 32 : elf_class == kClass64 ? 64 : 0;
    }
    const bool big_endian = bytes.Holds(kDataByte, 1) && bytes.At(kDataByte) == kBigEndian;
    bytes.U16(kMachineField, &header->machine, big_endian);
    return true;
}

}  // namespace vorn
