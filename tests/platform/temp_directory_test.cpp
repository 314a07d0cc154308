// The private temporary folders the photo decoder works in.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/module_path.h"
#include "platform/temp_directory.h"
#include "tests/test_support.h"

using namespace vorn;

namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = "vorn-test-";

TEST(TemporaryDirectory, NewPrivateFolderUnderTheSystemTemporaryFolder) {
    const auto first = TemporaryDirectory::Create(kPrefix);
    const auto second = TemporaryDirectory::Create(kPrefix);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->path(), second->path());
    for (const TemporaryDirectory* folder : {first.get(), second.get()}) {
        EXPECT_TRUE(fs::is_directory(folder->path()));
        EXPECT_TRUE(fs::is_empty(folder->path()));
        EXPECT_TRUE(SameFolder(folder->path().parent_path(), TemporaryDirectory::SystemFolder()))
            << folder->path() << " " << TemporaryDirectory::SystemFolder();
        EXPECT_EQ(folder->path().filename().string().rfind(kPrefix, 0), 0u);
        // The narrow name is the same folder, ready for a file name to be appended.
        const std::string& narrow = folder->narrow_prefix();
        ASSERT_FALSE(narrow.empty());
        EXPECT_EQ(narrow.back(), kPathSeparator);
        EXPECT_TRUE(SameFolder(narrow, folder->path()));
    }
    // Windows keeps access rights in the folder's DACL, which the permission bits do not show.
    if (kPathSeparator == '/') {
        EXPECT_EQ(fs::status(first->path()).permissions(), fs::perms::owner_all);
    }
}

TEST(TemporaryDirectory, GoesWithEverythingInsideButNothingOutside) {
    const fs::path outside = TestProgramDirectory() / "temp_directory_outside.txt";
    WriteTextFile(outside, "outside");
    fs::path path;
    {
        const auto folder = TemporaryDirectory::Create(kPrefix);
        ASSERT_NE(folder, nullptr);
        path = folder->path();
        WriteTextFile(path / "photo.wlt", "record");
        fs::create_directory(path / "inner");
        WriteTextFile(path / "inner" / "photo.bmp", "bitmap");
        // A link inside is removed as a link; what it points at stays.
        std::error_code no_links;
        fs::create_symlink(outside, path / "link", no_links);
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(ReadBinaryFile(outside), "outside");
    fs::remove(outside);
}

}  // namespace
