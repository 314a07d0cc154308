// The allocator set-up of the Linux program: memory that the wait prepares is the memory the
// read then draws in, so that drawing a canvas costs no page faults.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>

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
