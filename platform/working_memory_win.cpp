// The Windows heap hands blocks of more than about half a megabyte straight to the virtual
// memory manager and back on release, whatever the process asks, so there is nothing to
// keep or prepare ahead of a read.
#include "platform/working_memory.h"

namespace vorn {

void KeepFreedMemoryForReuse() {}

void PrepareWorkingMemory(std::size_t) {}

}  // namespace vorn
