// Library headers read from bytes, whole or cut anywhere, and the sentence that names why a
// library did not load.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/binary_header.h"
#include "platform/load_failure.h"
#include "tests/test_support.h"

using namespace vorn;

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kPeX86 = 0x014C;
constexpr std::uint16_t kPeX64 = 0x8664;

void Put16(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<unsigned char>(value);
    bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

void Put32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value) {
    Put16(bytes, at, value);
    Put16(bytes, at + 2, value >> 16);
}

// A DLL as the linker lays it out: one section at 0x1000, kept at file offset 0x200, holding
// the import descriptors and, from 0x100 on, the names they point at.
std::vector<unsigned char> PeDll(std::uint16_t machine, const std::vector<std::string>& imports) {
    std::vector<unsigned char> dll(0x400);
    const bool wide = machine == kPeX64;
    dll[0] = 'M';
    dll[1] = 'Z';
    Put32(dll, 0x3C, 0x40);
    dll[0x40] = 'P';
    dll[0x41] = 'E';
    const std::size_t coff = 0x44;
    const std::size_t optional = coff + 20;
    const std::uint32_t optional_size = wide ? 240 : 224;
    Put16(dll, coff, machine);
    Put16(dll, coff + 2, 1);
    Put16(dll, coff + 16, optional_size);
    Put16(dll, optional, wide ? 0x20B : 0x10B);
    const std::size_t count = optional + (wide ? 108 : 92);
    Put32(dll, count, 16);
    Put32(dll, count + 4 + 8, 0x1000);
    Put32(dll, count + 4 + 12, 20 * static_cast<std::uint32_t>(imports.size() + 1));
    const std::size_t section = optional + optional_size;
    Put32(dll, section + 8, 0x200);
    Put32(dll, section + 12, 0x1000);
    Put32(dll, section + 16, 0x200);
    Put32(dll, section + 20, 0x200);
    for (std::size_t i = 0; i < imports.size(); ++i) {
        const std::uint32_t name = 0x100 + 0x20 * static_cast<std::uint32_t>(i);
        Put32(dll, 0x200 + 20 * i + 12, 0x1000 + name);
        Put32(dll, 0x200 + 20 * i + 16, 0x1180);
        std::copy(imports[i].begin(), imports[i].end(), dll.begin() + 0x200 + name);
    }
    return dll;
}

// The first 20 bytes of an ELF file: enough for its class, byte order and machine.
std::vector<unsigned char> ElfHeader(unsigned char elf_class, bool big_endian,
                                     std::uint16_t machine) {
    const unsigned char byte_order = big_endian ? 2 : 1;
    std::vector<unsigned char> elf = {0x7F, 'E', 'L', 'F', elf_class, byte_order};
    elf.resize(20);
    elf[big_endian ? 19 : 18] = static_cast<unsigned char>(machine);
    elf[big_endian ? 18 : 19] = static_cast<unsigned char>(machine >> 8);
    return elf;
}

BinaryHeader Read(const std::vector<unsigned char>& bytes) {
    return ReadBinaryHeader(bytes.data(), bytes.size());
}

TEST(BinaryHeader, ReadsPeAndElfHeadersWholeOrCutAnywhere) {
    const std::vector<unsigned char> dll = PeDll(kPeX86, {"gone.dll", "KERNEL32.dll"});
    BinaryHeader header = Read(dll);
    EXPECT_EQ(header.format, BinaryFormat::kPe);
    EXPECT_EQ(MachineName(header), L"x86");
    EXPECT_EQ(header.bits, 32);
    EXPECT_EQ(header.imports, (std::vector<std::string>{"gone.dll", "KERNEL32.dll"}));
    header = Read(PeDll(kPeX64, {"a.dll"}));
    EXPECT_EQ(MachineName(header), L"x64");
    EXPECT_EQ(header.bits, 64);
    EXPECT_EQ(header.imports, std::vector<std::string>{"a.dll"});

    // Each cut copy lies in a block of its own length, so that a read past it is caught.
    for (std::size_t size = 0; size < dll.size(); ++size) {
        const std::vector<unsigned char> cut(dll.begin(), dll.begin() + size);
        EXPECT_LE(Read(cut).imports.size(), 2u) << size;
    }
    // A name without its end, and an import table outside every section, list nothing.
    std::vector<unsigned char> broken = PeDll(kPeX86, {"gone.dll"});
    std::fill(broken.begin() + 0x300, broken.end(), 'x');
    EXPECT_TRUE(Read(broken).imports.empty());
    Put32(broken, 0x40 + 24 + 96 + 8, 0xFFFFFFF0);
    EXPECT_EQ(Read(broken).format, BinaryFormat::kPe);
    EXPECT_TRUE(Read(broken).imports.empty());

    header = Read(ElfHeader(1, false, 3));
    EXPECT_EQ(header.format, BinaryFormat::kElf);
    EXPECT_EQ(header.bits, 32);
    EXPECT_EQ(MachineName(header), L"x86");
    header = Read(ElfHeader(2, true, 22));
    EXPECT_EQ(header.bits, 64);
    EXPECT_EQ(MachineName(header), L"S/390");
    const std::vector<unsigned char> elf = ElfHeader(2, false, 0x1234);
    EXPECT_EQ(MachineName(Read(elf)), L"machine 0x1234");
    for (std::size_t size = 0; size < elf.size(); ++size) {
        const std::vector<unsigned char> cut(elf.begin(), elf.begin() + size);
        EXPECT_EQ(Read(cut).format, size < 4 ? BinaryFormat::kUnknown : BinaryFormat::kElf);
    }
    const std::string text = "[Reader]\n";
    EXPECT_EQ(
        ReadBinaryHeader(reinterpret_cast<const unsigned char*>(text.data()), text.size()).format,
        BinaryFormat::kUnknown);
}

class LoadFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("vorn-load-failure-" + std::to_string(std::random_device()()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // The sentence for a file of these bytes (none: no file) failing to load in this program.
    std::wstring Explain(const std::string& name, const std::vector<unsigned char>* bytes,
                         const BinaryHeader& program, LoadFailureFacts facts = {}) {
        const fs::path file = folder_ / name;
        if (bytes != nullptr) {
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes->data()),
                       static_cast<std::streamsize>(bytes->size()));
        }
        facts.file = file.wstring();
        return ExplainLoadFailure(facts, program);
    }
    std::wstring Folder() const { return (folder_ / "").wstring(); }

    fs::path folder_;
};

TEST_F(LoadFailureTest, NamesEachCauseInASentenceOfItsOwn) {
    const BinaryHeader windows_x64 = Read(PeDll(kPeX64, {}));
    const BinaryHeader linux_x64 = Read(ElfHeader(2, false, 62));
    const std::vector<unsigned char> x86_dll = PeDll(kPeX86, {});
    const std::vector<unsigned char> x64_dll = PeDll(kPeX64, {"gone.dll", "KERNEL32.dll"});
    const std::vector<unsigned char> elf_x86 = ElfHeader(1, false, 3);
    const std::vector<unsigned char> text = {'M', 'Z', '?'};

    EXPECT_EQ(Explain("sdtapi.dll", nullptr, windows_x64),
              L"sdtapi.dll is missing from " + Folder());
    EXPECT_EQ(Explain("sdtapi.dll", &x86_dll, windows_x64),
              L"sdtapi.dll in " + Folder() +
                  L" is a 32-bit x86 library; this program is 64-bit (x64): install the x86 "
                  L"package, or the maker's 64-bit library");
    EXPECT_EQ(Explain("libsdtapi.so", &elf_x86, linux_x64),
              L"libsdtapi.so in " + Folder() +
                  L" is a 32-bit x86 library; this program is 64-bit (x86-64): install the "
                  L"maker's 64-bit x86-64 library");
    EXPECT_NE(Explain("libsdtapi.so", &x64_dll, linux_x64)
                  .find(L"is a Windows library (64-bit x64); this program runs on Linux"),
              std::wstring::npos);
    EXPECT_NE(Explain("sdtapi.dll", &text, windows_x64).find(L" is no library ("),
              std::wstring::npos);

    // A library of the right kind: its missing DLLs, or else the loader's words or code.
    LoadFailureFacts facts;
    facts.error = 126;
    facts.dependency_found = [](const std::string& name) { return name != "gone.dll"; };
    EXPECT_EQ(Explain("sdtapi.dll", &x64_dll, windows_x64, facts),
              L"sdtapi.dll in " + Folder() +
                  L" needs gone.dll, found neither beside it nor on the system path");
    facts.dependency_found = [](const std::string&) { return true; };
    EXPECT_NE(Explain("sdtapi.dll", &x64_dll, windows_x64, facts)
                  .find(L"cannot be loaded (error 126): a DLL it needs"),
              std::wstring::npos);
    const std::vector<unsigned char> elf_x64 = ElfHeader(2, false, 62);
    facts = {};
    facts.loader_text = L"libgone.so: cannot open shared object file";
    EXPECT_EQ(Explain("libsdtapi.so", &elf_x64, linux_x64, facts),
              L"libsdtapi.so in " + Folder() +
                  L" cannot be loaded: libgone.so: cannot open shared object file");
}

}  // namespace
