// Tells a file's format from its first bytes, and names the processors of both formats.
#include "platform/binary_header.h"

#include <fstream>
#include <system_error>

namespace vorn {

namespace {

struct MachineNameRow {
    BinaryFormat format;
    std::uint16_t machine;
    const wchar_t* name;
};

constexpr MachineNameRow kMachineNames[] = {
    {BinaryFormat::kPe, 0x014C, L"x86"},     {BinaryFormat::kPe, 0x8664, L"x64"},
    {BinaryFormat::kPe, 0xAA64, L"ARM64"},   {BinaryFormat::kPe, 0x01C4, L"ARM"},
    {BinaryFormat::kPe, 0x0200, L"Itanium"}, {BinaryFormat::kElf, 3, L"x86"},
    {BinaryFormat::kElf, 62, L"x86-64"},     {BinaryFormat::kElf, 183, L"AArch64"},
    {BinaryFormat::kElf, 40, L"ARM"},        {BinaryFormat::kElf, 243, L"RISC-V"},
    {BinaryFormat::kElf, 8, L"MIPS"},        {BinaryFormat::kElf, 20, L"PowerPC"},
    {BinaryFormat::kElf, 21, L"PowerPC 64"}, {BinaryFormat::kElf, 22, L"S/390"},
    {BinaryFormat::kElf, 258, L"LoongArch"},
};

}  // namespace

BinaryHeader ReadBinaryHeader(const unsigned char* bytes, std::size_t size) {
    BinaryHeader header;
    if (!ReadPeHeader(bytes, size, &header) && !ReadElfHeader(bytes, size, &header)) {
        header = BinaryHeader{};
    }
    return header;
}

BinaryHeader ReadBinaryFileHeader(const std::filesystem::path& file, std::size_t read_limit) {
    BinaryHeader header;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        header.format = error ? BinaryFormat::kUnreadable : BinaryFormat::kMissing;
        return header;
    }
    std::ifstream stream(file, std::ios::binary);
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!stream || error) {
        header.format = BinaryFormat::kUnreadable;
        return header;
    }
    std::vector<unsigned char> bytes(
        static_cast<std::size_t>(size < read_limit ? size : read_limit));
    stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    // A file that shrank while it was read gives only what was there.
    bytes.resize(static_cast<std::size_t>(stream.gcount()));
    return ReadBinaryHeader(bytes.data(), bytes.size());
}

std::wstring MachineName(const BinaryHeader& header) {
    for (const MachineNameRow& row : kMachineNames) {
        if (row.format == header.format && row.machine == header.machine) {
            return row.name;
        }
    }
    wchar_t hex[8] = {};
    const wchar_t* digits = L"0123456789ABCDEF";
    for (int i = 0; i < 4; ++i) {
        hex[i] = digits[(header.machine >> (12 - 4 * i)) & 0xF];
    }
    return std::wstring(L"machine 0x") + hex;
}

}  // namespace vorn
