// The Windows heap hands blocks of more than about half a megabyte straight to the virtual
// memory manager and back on release, whatever the process asks, so there is nothing to
// keep or prepare ahead of a read.
#include "platform/working_memory.h"

#include <cstdlib>

namespace vorn {

void KeepFreedMemoryForReuse() {}

void PrepareWorkingMemory(std::size_t) {}

// A large block comes from the virtual memory manager, already zero, so calloc clears nothing.
void* ObtainZeroedMemory(std::size_t bytes) {
    return std::calloc(bytes, 1);
}

void ReleaseZeroedMemory(void* block, std::size_t) {
    std::free(block);
}

}  // namespace vorn
