// The one owner of every handle kind: each handle is closed exactly once, by whoever owns it
// last, and never a handle that means "none".
#include <gtest/gtest.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/file_stream.h"
#include "platform/shared_library.h"
#include "platform/unique_handle.h"
#include "tests/test_support.h"

using namespace vorn;

namespace {

// Handles are small numbers; -1 means none, as for file descriptors, so that a kind whose
// "none" is not zero is what the owner is checked with. Every close is recorded.
std::vector<int> g_closed;

struct CountedKind {
    using Handle = int;
    static constexpr Handle Invalid() noexcept { return -1; }
    static void Close(Handle handle) noexcept { g_closed.push_back(handle); }
};
using Counted = UniqueHandle<CountedKind>;

class UniqueHandleTest : public ::testing::Test {
protected:
    void SetUp() override { g_closed.clear(); }
    void TearDown() override { g_closed.clear(); }
};

TEST_F(UniqueHandleTest, ClosesOnceWhenTheOwnerGoesAndNeverTheNoneValue) {
    {
        const Counted none;
        EXPECT_FALSE(none);
        EXPECT_EQ(none.get(), -1);
        const Counted zero(0);  // zero is a handle like any other for this kind
        EXPECT_TRUE(zero);
        const Counted seven(7);
    }
    EXPECT_EQ(g_closed, (std::vector<int>{7, 0}));
}

TEST_F(UniqueHandleTest, MovesHandOverWithoutClosing) {
    Counted first(3);
    Counted second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get(), 3);
    EXPECT_TRUE(g_closed.empty());

    // Taking another handle closes the one held before, and only that one.
    Counted third(4);
    third = std::move(second);
    EXPECT_EQ(g_closed, (std::vector<int>{4}));
    EXPECT_EQ(third.get(), 3);
    EXPECT_FALSE(second);

    // A move into itself keeps the handle open.
    Counted& same = third;
    third = std::move(same);
    EXPECT_EQ(third.get(), 3);
    EXPECT_EQ(g_closed, (std::vector<int>{4}));
}

TEST_F(UniqueHandleTest, ReleaseGivesUpAndResetCloses) {
    Counted owner(5);
    EXPECT_EQ(owner.release(), 5);
    EXPECT_FALSE(owner);
    owner.reset(6);
    owner.reset(8);
    owner.reset();
    owner.reset();
    EXPECT_EQ(g_closed, (std::vector<int>{6, 8}));
}

// A close that reaches the owner again, as a callback may, finds the new handle in place.
struct ReentrantKind {
    using Handle = int;
    static constexpr Handle Invalid() noexcept { return -1; }
    static void Close(Handle handle) noexcept;
};
UniqueHandle<ReentrantKind>* g_reentered = nullptr;
int g_seen_while_closing = -2;
void ReentrantKind::Close(Handle) noexcept {
    g_seen_while_closing = g_reentered->get();
}

TEST_F(UniqueHandleTest, ResetStoresTheNewHandleBeforeClosingTheOld) {
    UniqueHandle<ReentrantKind> owner(1);
    g_reentered = &owner;
    owner.reset(2);
    EXPECT_EQ(g_seen_while_closing, 2);
    owner.release();
    g_reentered = nullptr;
}

TEST(OwnedHandles, StreamAndLibraryOwnersCloseWhatTheyHold) {
    const auto path = TestProgramDirectory() / "owned_stream.txt";
    {
        FileStream out(std::fopen(path.string().c_str(), "wb"));
        ASSERT_TRUE(out);
        std::fputs("written", out.get());
    }
    // The stream was flushed and closed when its owner went, so the text is on disk.
    EXPECT_EQ(ReadBinaryFile(path), "written");
    std::filesystem::remove(path);
    EXPECT_FALSE(FileStream(std::fopen(path.string().c_str(), "rb")));

    // The driver stand-in lies beside the test program; a missing library gives no owner.
    const std::wstring folder = TestProgramDirectory().wstring() +
                                static_cast<wchar_t>(std::filesystem::path::preferred_separator);
    std::uint32_t error = 0;
    SharedLibrary driver = LoadSharedLibrary(folder + L"sdtapi", &error);
    ASSERT_TRUE(driver) << error;
    EXPECT_NE(FindLibraryExport(driver.get(), "SDT_OpenPort", nullptr), nullptr);
    const SharedLibrary moved = std::move(driver);
    EXPECT_FALSE(driver);
    EXPECT_TRUE(moved);
    EXPECT_FALSE(LoadSharedLibrary(folder + L"no_such_library", &error));
    EXPECT_NE(error, 0u);
}

}  // namespace
