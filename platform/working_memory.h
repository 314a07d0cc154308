// How the process's allocator keeps and readies the memory that a read works in.
#pragma once

#include <cstddef>

namespace vorn {

// The heap memory one read draws its pictures in, with room to spare: a canvas, a template,
// a face, the photo, the reply and their texts.
constexpr std::size_t kReadWorkingMemory = 12u * 1024u * 1024u;

// Called once at start, before any thread: memory that a read frees stays with the process
// for the next read, rather than going back to the system and coming back as new pages
// that fault in one by one, which cost more than drawing the pictures.
void KeepFreedMemoryForReuse();

// Obtains the bytes, writes to every page and frees them again, so that the allocations
// of the read that follows find pages that are already there. Meant for a thread that would
// otherwise wait; the read still allocates and frees everything it uses.
void PrepareWorkingMemory(std::size_t bytes);

// Zero-filled memory of its own, not taken from the heap that reads reuse: the heap would
// have to clear a block it had used before, writing every page of it, where fresh pages
// from the system cost nothing until written. Null when it cannot be had; give it back with
// ReleaseZeroedMemory and the same size.
void* ObtainZeroedMemory(std::size_t bytes);
void ReleaseZeroedMemory(void* block, std::size_t bytes);

}  // namespace vorn
