// The C library's allocator on Linux: large blocks come from the heap, and the heap is not
// trimmed, so a read's pictures are drawn in pages that earlier reads already faulted in.
#include "platform/working_memory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace vorn {

namespace {

// Blocks up to this size (a canvas takes 1.8 MiB) come from the heap and the pages it
// already has. Larger ones, such as the 4 MiB encoding buffer of which a picture fills a few
// dozen kilobytes, are mapped afresh: already zero, they cost a fault only where written.
constexpr int kMappedBlockThreshold = 3 * 1024 * 1024;
// A heap that never shrinks below the working memory of a read plus its own bookkeeping.
constexpr int kTrimThreshold = 64 * 1024 * 1024;
// One write per page is enough to fault it in; smaller than any page the system uses.
constexpr std::uintptr_t kPageStep = 4096;
constexpr std::size_t kPreparedBlock = 1024 * 1024;
constexpr std::size_t kMostPreparedBlocks = 32;
// The allocator's bookkeeping in front of each block.
constexpr std::size_t kBlockHeader = 2 * sizeof(std::size_t);

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
    while (count * kPreparedBlock < bytes && count < kMostPreparedBlocks) {
        blocks[count] = std::malloc(kPreparedBlock);
        if (blocks[count] == nullptr) {
            break;
        }
        ++count;
    }
    // Blocks taken one after the other from the heap's end lie side by side; the stretch is
    // faulted in by the system in one call where it can, rather than one trap per page.
    bool populated = false;
    if (count > 0) {
        const auto begin = reinterpret_cast<std::uintptr_t>(blocks[0]);
        const auto end = reinterpret_cast<std::uintptr_t>(blocks[count - 1]) + kPreparedBlock;
        const std::uintptr_t first_page = (begin + kPageStep - 1) & ~(kPageStep - 1);
        const std::uintptr_t last_page = end & ~(kPageStep - 1);
        if (end > begin && end - begin == count * (kPreparedBlock + kBlockHeader) - kBlockHeader &&
            last_page > first_page) {
            populated = madvise(reinterpret_cast<void*>(first_page), last_page - first_page,
                                MADV_POPULATE_WRITE) == 0;
        }
    }
    for (std::size_t index = 0; index < count && !populated; ++index) {
        // Written through a volatile pointer: the compiler would drop stores to a block that
        // is freed right after.
        auto* block = static_cast<volatile unsigned char*>(blocks[index]);
        for (std::size_t offset = 0; offset < kPreparedBlock; offset += kPageStep) {
            block[offset] = 0;
        }
    }
    while (count > 0) {
        std::free(blocks[--count]);
    }
}

void* ObtainZeroedMemory(std::size_t bytes) {
    if (bytes == 0) {
        return nullptr;
    }
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void ReleaseZeroedMemory(void* block, std::size_t bytes) {
    if (block != nullptr) {
        munmap(block, bytes);
    }
}

}  // namespace vorn
