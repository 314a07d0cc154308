// Loading a stand-in library afresh for every request, as the program does, must not use up
// what the process has only a fixed number of.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "imaging/imaging_context.h"
#include "imaging/photo/photo_decoder_api.h"
#include "platform/shared_library.h"
#include "platform/temp_directory.h"
#include "simulator/photo_record.h"
#include "tests/test_support.h"

using namespace vorn;

namespace {

// Far fewer than the slots a process has (about a thousand), so that a leak shows as a
// growing slot number instead of aborting the test program.
constexpr int kReloads = 200;
// Other code of the process may take a few slots of its own while the reloads run.
constexpr DWORD kSlack = 8;

// The lowest free thread-local slot: it climbs by one for each slot left taken.
DWORD LowestFreeSlot() {
    const DWORD slot = TlsAlloc();
    if (slot != TLS_OUT_OF_INDEXES) {
        TlsFree(slot);
    }
    return slot;
}

// Loads the decoder, has it decode one photo record, and unloads it, as one request does.
void DecodeInFreshLibrary(const std::wstring& library_path, const std::string& record_path) {
    const SharedLibrary library = LoadSharedLibrary(library_path, nullptr);
    ASSERT_TRUE(library);
    auto decode =
        reinterpret_cast<GetBmpFn>(FindLibraryExport(library.get(), kGetBmpExport, nullptr));
    ASSERT_NE(decode, nullptr);
    std::string argument = record_path;
    EXPECT_EQ(decode(argument.data(), kGetBmpMode), kGetBmpWritten);
}

}  // namespace

TEST(LibraryReload, DecoderReloadsGiveTheirThreadSlotsBack) {
    const std::unique_ptr<TemporaryDirectory> folder = TemporaryDirectory::Create("reload");
    ASSERT_NE(folder, nullptr);
    const vorn::sim::PhotoRecord photo = vorn::sim::EncodePhotoRecord({});
    WriteTextFile(folder->path() / "photo.wlt", std::string(photo.begin(), photo.end()));
    const std::string record = folder->narrow_prefix() + "photo.wlt";
    const std::wstring library = (TestProgramDirectory() / kPhotoDecoderLibrary).wstring();

    // The first round may take what stays for the life of the process.
    DecodeInFreshLibrary(library, record);
    const DWORD before = LowestFreeSlot();
    ASSERT_NE(before, TLS_OUT_OF_INDEXES);
    for (int round = 0; round < kReloads && !testing::Test::HasFailure(); ++round) {
        DecodeInFreshLibrary(library, record);
    }
    const DWORD after = LowestFreeSlot();
    ASSERT_NE(after, TLS_OUT_OF_INDEXES);
    EXPECT_LE(after, before + kSlack)
        << "thread-local slots left taken by " << kReloads << " loads of the decoder";
}
