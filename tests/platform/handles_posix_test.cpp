// The Linux handle owners close through the system's own call.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/handles_posix.h"

using namespace vorn;

namespace {

bool DescriptorIsOpen(int descriptor) {
    return fcntl(descriptor, F_GETFD) != -1 || errno != EBADF;
}

TEST(PosixHandles, DescriptorsCloseWithTheirOwner) {
    int ends[2] = {-1, -1};
    ASSERT_EQ(pipe(ends), 0);
    FileDescriptor read_end(ends[0]);
    {
        const FileDescriptor write_end(ends[1]);
        EXPECT_TRUE(DescriptorIsOpen(ends[1]));
    }
    EXPECT_FALSE(DescriptorIsOpen(ends[1]));
    // With the only write end closed, the read end sees the end of the stream.
    char byte = 0;
    EXPECT_EQ(read(read_end.get(), &byte, 1), 0);
    read_end.reset();
    EXPECT_FALSE(DescriptorIsOpen(ends[0]));
    EXPECT_FALSE(FileDescriptor(open("/nonexistent/vorn", O_RDONLY)));
}

}  // namespace
