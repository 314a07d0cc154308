// The C library's allocator on Linux: large blocks come from the heap, and the heap is not
// trimmed, so a read's pictures are drawn in pages that earlier reads already faulted in.
#include "platform/working_memory.h"

#include <malloc.h>

#include <cstdlib>

namespace {

// Blocks up to this size (a canvas takes 1.8 MiB) come from the heap and the pages it
// already has. Larger ones, such as the 4 MiB encoding buffer of which a picture fills a few
// dozen kilobytes, are mapped afresh: already zero, they cost a fault only where written.
constexpr int kMappedBlockThreshold = 3 * 1024 * 1024;
// A heap that never shrinks below the working memory of a read plus its own bookkeeping.
constexpr int kTrimThreshold = 64 * 1024 * 1024;
// One write per page is enough to fault it in; smaller than any page the system uses.
constexpr std::size_t kPageStep = 4096;
constexpr std::size_t kPreparedBlock = 1024 * 1024;
constexpr std::size_t kMostPreparedBlocks = 32;

}  // namespace

void KeepFreedMemoryForReuse() {
    mallopt(M_MMAP_THRESHOLD, kMappedBlockThreshold);
    mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
    // One heap for every thread: the pages that the preparing thread faults in are the ones
    // the reading thread then allocates from.
    mallopt(M_ARENA_MAX, 1);
}

void PrepareWorkingMemory(std::size_t bytes) {
    // In blocks below the mapping threshold, so that they come from the heap and go back to
    // it as one free stretch when released.
    void* blocks[kMostPreparedBlocks] = {};
    std::size_t count = 0;
    for (std::size_t done = 0; done < bytes && count < kMostPreparedBlocks;
         done += kPreparedBlock) {
        blocks[count] = std::malloc(kPreparedBlock);
        if (blocks[count] == nullptr) {
            break;
        }
        // Written through a volatile pointer: the compiler would drop stores to a block that
        // is freed right after.
        auto* block = static_cast<volatile unsigned char*>(blocks[count]);
        for (std::size_t offset = 0; offset < kPreparedBlock; offset += kPageStep) {
            block[offset] = 0;
        }
        ++count;
    }
    while (count > 0) {
        std::free(blocks[--count]);
    }
}
