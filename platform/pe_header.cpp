// The header of a Windows program or DLL: the COFF machine, the optional header's kind and the
// DLL names of the import table.
#include <cstdint>

#include "platform/binary_header.h"
#include "platform/byte_range.h"

namespace vorn {

namespace {

constexpr std::uint64_t kNewHeaderPointer = 0x3C;
constexpr unsigned char kSignature[] = {'P', 'E', 0, 0};
constexpr std::uint64_t kCoffHeaderSize = 20;
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint64_t kImportDescriptorSize = 20;
constexpr std::uint16_t kOptionalMagic32 = 0x10B;
constexpr std::uint16_t kOptionalMagic64 = 0x20B;
// Where each optional header keeps its count of data directories and the directories.
constexpr std::uint64_t kDirectoryCount32 = 92;
constexpr std::uint64_t kDirectoryCount64 = 108;
constexpr std::uint32_t kImportDirectory = 1;
constexpr std::uint64_t kDirectoryEntrySize = 8;
// Bounds that no real DLL comes near; they keep a crafted file from making the walk long.
constexpr std::uint16_t kMostSections = 96;
constexpr int kMostImports = 512;
constexpr std::uint64_t kLongestImportName = 255;

struct Section {
    std::uint32_t address = 0;
    std::uint32_t raw_size = 0;
    std::uint32_t raw_offset = 0;
};

// The file offset of an address of the loaded image, when a section's bytes in the file hold it.
bool FileOffset(const std::vector<Section>& sections, std::uint32_t address,
                std::uint64_t* offset) {
    for (const Section& section : sections) {
        if (address >= section.address &&
            std::uint64_t{address} < std::uint64_t{section.address} + section.raw_size) {
            *offset = std::uint64_t{section.raw_offset} + (address - section.address);
            return true;
        }
    }
    return false;
}

// A name of printable ASCII, ended by a NUL within the file and the length limit.
bool ReadName(const ByteRange& bytes, std::uint64_t offset, std::string* name) {
    for (std::uint64_t i = 0; i <= kLongestImportName && bytes.Holds(offset + i, 1); ++i) {
        unsigned char c = bytes.At(offset + i);
        if (c == 0) {
            return !name->empty();
        }
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
        name->push_back(static_cast<char>(c));
    }
    return false;
}

void ReadImports(const ByteRange& bytes, const std::vector<Section>& sections,
                 std::uint32_t table_address, std::vector<std::string>* imports) {
    std::uint64_t offset = 0;
    if (table_address == 0 || !FileOffset(sections, table_address, &offset)) {
        return;
    }
    for (int i = 0; i < kMostImports; ++i, offset += kImportDescriptorSize) {
        std::uint32_t lookup = 0;
        std::uint32_t name_address = 0;
        std::uint32_t thunks = 0;
        if (!bytes.U32(offset, &lookup) || !bytes.U32(offset + 12, &name_address) ||
            !bytes.U32(offset + 16, &thunks)) {
            return;
        }
        // The table ends with a descriptor of zeros.
        if (lookup == 0 && name_address == 0 && thunks == 0) {
            return;
        }
        std::uint64_t name_offset = 0;
        std::string name;
        if (FileOffset(sections, name_address, &name_offset) &&
            ReadName(bytes, name_offset, &name)) {
            imports->push_back(name);
        }
    }
}

}  // namespace

bool ReadPeHeader(const unsigned char* data, std::size_t size, BinaryHeader* header) {
    const ByteRange bytes(data, size);
    std::uint32_t pe_offset = 0;
    if (!bytes.Holds(0, 2) || bytes.At(0) != 'M' || bytes.At(1) != 'Z' ||
        !bytes.U32(kNewHeaderPointer, &pe_offset) || !bytes.Holds(pe_offset, sizeof(kSignature))) {
        return false;
    }
    for (std::size_t i = 0; i < sizeof(kSignature); ++i) {
        if (bytes.At(pe_offset + i) != kSignature[i]) {
            return false;
        }
    }
    const std::uint64_t coff = std::uint64_t{pe_offset} + sizeof(kSignature);
    std::uint16_t section_count = 0;
    std::uint16_t optional_size = 0;
    if (!bytes.U16(coff, &header->machine) || !bytes.U16(coff + 2, &section_count) ||
        !bytes.U16(coff + 16, &optional_size)) {
        return false;
    }
    header->format = BinaryFormat::kPe;
    const std::uint64_t optional = coff + kCoffHeaderSize;
    std::uint16_t magic = 0;
    if (optional_size < 2 || !bytes.U16(optional, &magic)) {
        return true;
    }
    const bool wide = magic == kOptionalMagic64;
    if (!wide && magic != kOptionalMagic32) {
        return true;
    }
    header->bits = wide ? 64 : 32;

    std::vector<Section> sections;
    const std::uint64_t section_table = optional + optional_size;
    for (std::uint16_t i = 0; i < section_count && i < kMostSections; ++i) {
        const std::uint64_t entry = section_table + i * kSectionHeaderSize;
        Section section;
        if (!bytes.U32(entry + 12, &section.address) || !bytes.U32(entry + 16, &section.raw_size) ||
            !bytes.U32(entry + 20, &section.raw_offset)) {
            break;
        }
        sections.push_back(section);
    }
    const std::uint64_t count_at = optional + (wide ? kDirectoryCount64 : kDirectoryCount32);
    const std::uint64_t import_entry = count_at + 4 + kImportDirectory * kDirectoryEntrySize;
    std::uint32_t directory_count = 0;
    std::uint32_t import_table = 0;
    if (bytes.U32(count_at, &directory_count) && directory_count > kImportDirectory &&
        import_entry + kDirectoryEntrySize <= optional + optional_size &&
        bytes.U32(import_entry, &import_table)) {
        ReadImports(bytes, sections, import_table, &header->imports);
    }
    return true;
}

}  // namespace vorn
