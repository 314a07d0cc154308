// The Windows handle owners close through the call of their kind, and know which value of
// their kind means "none".
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/handles_win.h"
#include "tests/test_support.h"

using namespace vorn;

namespace {

bool HandleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(WindowsHandles, KernelObjectsAndFilesCloseWithTheirOwner) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    {
        const KernelHandle owner(event);
        EXPECT_TRUE(HandleIsOpen(event));
    }
    EXPECT_FALSE(HandleIsOpen(event));

    // A file that cannot be opened is INVALID_HANDLE_VALUE, which is not a handle to close.
    const FileHandle missing(CreateFileW(L"Z:\\no\\such\\vorn.txt", GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(missing);
    const auto path = (TestProgramDirectory() / "owned_file.txt").wstring();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    {
        const FileHandle owner(file);
        EXPECT_TRUE(owner);
    }
    // Opened without sharing: only a closed file can be deleted at once.
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

}  // namespace
