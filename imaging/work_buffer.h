// The imaging context's one reusable output buffer for encoded pictures.
#pragma once

#include <cstddef>

// Grows only: a request for more than it holds replaces the block by one of exactly that
// size; any request leaves the whole block zero-filled. A small block is cleared in place
// and stays where it is; a large one may be handed out anew, already clear.
class WorkBuffer {
public:
    WorkBuffer() = default;
    ~WorkBuffer();
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;

    // Returns the block, or null (with the size 0) when memory cannot be obtained.
    unsigned char* Ensure(std::size_t capacity);
    std::size_t size() const { return size_; }

private:
    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};
