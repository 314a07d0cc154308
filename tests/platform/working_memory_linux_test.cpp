// The allocator set-up of the Linux program: memory that the wait prepares is the memory the
// read then draws in, so that drawing a canvas costs no page faults.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/encoding/image_encoding.h"
#include "imaging/encoding/work_buffer.h"
#include "platform/working_memory.h"

using namespace vorn;

namespace {

// A canvas of the faces is 856 x 540 pixels of four bytes.
constexpr std::size_t kCanvasBytes = 856u * 540u * 4u;
constexpr std::size_t kPage = 4096;

// The address sanitizer brings an allocator of its own, which the set-up does not reach.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizerAllocator = true;
#else
constexpr bool kSanitizerAllocator = false;
#endif

long PageFaultsSoFar() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The page faults that allocating, filling and freeing a canvas's worth of memory costs.
long FaultsOfOneCanvas() {
    const long before = PageFaultsSoFar();
    void* canvas = std::malloc(kCanvasBytes);
    EXPECT_NE(canvas, nullptr);
    std::memset(canvas, 0x5A, kCanvasBytes);
    const long faults = PageFaultsSoFar() - before;
    std::free(canvas);
    return faults;
}

// How many pages of the block are in memory.
std::size_t ResidentPages(const void* block, std::size_t bytes) {
    const auto start = reinterpret_cast<std::uintptr_t>(block) & ~(kPage - 1);
    const std::size_t length = reinterpret_cast<std::uintptr_t>(block) + bytes - start;
    std::vector<unsigned char> pages((length + kPage - 1) / kPage);
    EXPECT_EQ(mincore(reinterpret_cast<void*>(start), length, pages.data()), 0);
    std::size_t resident = 0;
    for (const unsigned char page : pages) {
        resident += page & 1u;
    }
    return resident;
}

TEST(WorkingMemory, PreparedMemoryIsWhereTheNextCanvasIsDrawn) {
    if (kSanitizerAllocator) {
        GTEST_SKIP() << "the sanitizer's allocator keeps no heap of the C library's";
    }
    KeepFreedMemoryForReuse();
    PrepareWorkingMemory(kReadWorkingMemory);
    // Without the preparation every page of the canvas faults in: more than 400 of them.
    EXPECT_LT(FaultsOfOneCanvas(), static_cast<long>(kCanvasBytes / kPage / 8));
    // Freed, the canvas's pages stay for the next one.
    EXPECT_LT(FaultsOfOneCanvas(), static_cast<long>(kCanvasBytes / kPage / 8));
}

TEST(WorkingMemory, PreparingMoreThanAllowedOrNothingIsHarmless) {
    KeepFreedMemoryForReuse();
    PrepareWorkingMemory(0);
    PrepareWorkingMemory(1);
    PrepareWorkingMemory(static_cast<std::size_t>(1) << 40);
    void* block = std::malloc(kCanvasBytes);
    EXPECT_NE(block, nullptr);
    std::free(block);
}

}  // namespace

TEST(WorkingMemory, TheEncodingBufferIsNotClearedOutOfThePreparedHeap) {
    if (kSanitizerAllocator) {
        GTEST_SKIP() << "the sanitizer's allocator keeps no heap of the C library's";
    }
    // The heap now has a free stretch larger than the buffer, faulted in; a zeroed block from
    // it would be cleared by writing every page. The buffer's pages are new and untouched.
    KeepFreedMemoryForReuse();
    PrepareWorkingMemory(kReadWorkingMemory);
    WorkBuffer buffer;
    unsigned char* block = buffer.Ensure(kFaceJpegCapacity);
    ASSERT_NE(block, nullptr);
    EXPECT_LT(ResidentPages(block, kFaceJpegCapacity), 4u);
    // What a picture wrote is cleared for the next one, and only that.
    std::memset(block + 100, 0xAB, 8000);
    buffer.MarkWritten(8100);
    ASSERT_EQ(buffer.Ensure(kFaceJpegCapacity), block);
    for (std::size_t i = 0; i < 8200; ++i) {
        ASSERT_EQ(block[i], 0) << i;
    }
    EXPECT_LT(ResidentPages(block, kFaceJpegCapacity), 8u);
}

TEST(WorkingMemory, ZeroedMemoryOfItsOwn) {
    EXPECT_EQ(ObtainZeroedMemory(0), nullptr);
    ReleaseZeroedMemory(nullptr, 0);
    EXPECT_EQ(ObtainZeroedMemory(static_cast<std::size_t>(1) << 60), nullptr);
    const std::size_t bytes = 3 * kPage + 5;
    auto* block = static_cast<unsigned char*>(ObtainZeroedMemory(bytes));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(ResidentPages(block, bytes), 0u);
    for (std::size_t i = 0; i < bytes; ++i) {
        ASSERT_EQ(block[i], 0) << i;
    }
    block[bytes - 1] = 1;
    ReleaseZeroedMemory(block, bytes);
}
