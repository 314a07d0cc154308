// What a program or library file is built for, read from its header without loading it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vorn {

// The kind of file the first bytes show.
enum class BinaryFormat {
    kMissing,     // no such file
    kUnreadable,  // there, but it cannot be opened
    kUnknown,     // neither of the two formats below: no library at all
    kPe,          // a Windows program or DLL
    kElf,         // a Linux program or shared library
};

// The header's facts that decide whether this program can load the file.
struct BinaryHeader {
    BinaryFormat format = BinaryFormat::kUnknown;
    // PE: the COFF header's machine; ELF: e_machine.
    std::uint16_t machine = 0;
    // 32 or 64; 0 when the header does not tell.
    int bits = 0;
    // PE only: the DLL names of the import table, in its order.
    std::vector<std::string> imports;
};

// Reads the header of the bytes; anything short, cut off or out of range gives kUnknown, or
// the facts found before the fault (an import table that cannot be followed lists nothing).
BinaryHeader ReadBinaryHeader(const unsigned char* bytes, std::size_t size);
// The same for a file, of which only the first read_limit bytes are looked at: enough for the
// import table of any library a reader maker ships.
constexpr std::size_t kBinaryHeaderReadLimit = 64u << 20;
BinaryHeader ReadBinaryFileHeader(const std::filesystem::path& file,
                                  std::size_t read_limit = kBinaryHeaderReadLimit);

// The two formats' readers, used by ReadBinaryHeader.
bool ReadPeHeader(const unsigned char* bytes, std::size_t size, BinaryHeader* header);
bool ReadElfHeader(const unsigned char* bytes, std::size_t size, BinaryHeader* header);

// The processor's usual name ("x86", "x64", "AArch64"), or "machine 0x1234".
std::wstring MachineName(const BinaryHeader& header);

}  // namespace vorn
