// Where the private temporary folders lie on Linux: the folder TMPDIR names, else the
// memory-backed /dev/shm, else /tmp.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/temp_directory.h"
#include "tests/scoped_variable_posix.h"
#include "tests/test_support.h"

using namespace vorn;

namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = "vorn-test-";

bool SharedLikeTmp(const char* folder) {
    struct stat status {};
    return stat(folder, &status) == 0 && S_ISDIR(status.st_mode) &&
           (status.st_mode & S_IWOTH) != 0 && (status.st_mode & S_ISVTX) != 0;
}

TEST(TemporaryDirectory, TmpdirWinsAndItsTrailingSlashesGo) {
    const fs::path chosen = TestProgramDirectory() / "temp_directory_chosen";
    fs::create_directories(chosen);
    ScopedVariable tmpdir("TMPDIR");
    tmpdir.Set(chosen.string() + "//");
    EXPECT_EQ(TemporaryDirectory::SystemFolder(), chosen);
    {
        const auto folder = TemporaryDirectory::Create(kPrefix);
        ASSERT_NE(folder, nullptr);
        EXPECT_EQ(folder->path().parent_path(), chosen);
        EXPECT_EQ(folder->narrow_prefix(), folder->path().string() + "/");
    }
    // A TMPDIR that names no folder leaves the request without one rather than choosing
    // another place behind the user's back.
    tmpdir.Set((chosen / "gone").string());
    EXPECT_EQ(TemporaryDirectory::Create(kPrefix), nullptr);
    fs::remove_all(chosen);
}

TEST(TemporaryDirectory, WithoutTmpdirThePhotoStaysInMemory) {
    ScopedVariable tmpdir("TMPDIR");
    for (const bool empty : {false, true}) {
        if (empty) {
            tmpdir.Set("");
        } else {
            tmpdir.Clear();
        }
        const fs::path expected = SharedLikeTmp("/dev/shm") ? "/dev/shm" : "/tmp";
        EXPECT_EQ(TemporaryDirectory::SystemFolder(), expected);
        const auto folder = TemporaryDirectory::Create(kPrefix);
        ASSERT_NE(folder, nullptr);
        EXPECT_EQ(folder->path().parent_path(), expected);
        EXPECT_EQ(fs::status(folder->path()).permissions(), fs::perms::owner_all);
    }
}

}  // namespace
