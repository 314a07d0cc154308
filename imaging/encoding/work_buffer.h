// The imaging context's one reusable output buffer for encoded pictures.
#pragma once

#include <cstddef>

namespace vorn {

// Grows only: a request for more than it holds replaces the block by one of exactly that
// size; any request leaves the whole block zero-filled. A face asks for 4 MiB to encode some
// 50 KB: a user that says how much it wrote spares the next request clearing the rest.
class WorkBuffer {
public:
    WorkBuffer() = default;
    ~WorkBuffer();
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;

    // Returns the block, or null (with the size 0) when memory cannot be obtained.
    unsigned char* Ensure(std::size_t capacity);
    std::size_t size() const { return size_; }
    // Since the last Ensure, nothing was written past the first bytes of the block.
    void MarkWritten(std::size_t bytes);

private:
    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
    // The first bytes that may hold something other than zero.
    std::size_t dirty_ = 0;
};

}  // namespace vorn
