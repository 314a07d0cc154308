#include "imaging/encoding/work_buffer.h"

#include <cstdlib>
#include <cstring>

namespace vorn {

WorkBuffer::~WorkBuffer() {
    std::free(data_);
}

unsigned char* WorkBuffer::Ensure(std::size_t capacity) {
    if (size_ < capacity) {
        std::free(data_);
        size_ = 0;
        dirty_ = 0;
        // Fresh from the allocator and already zero: a large block is new pages that cost
        // nothing until written.
        data_ = static_cast<unsigned char*>(std::calloc(capacity, 1));
        if (data_ == nullptr) {
            return nullptr;
        }
        size_ = capacity;
    } else if (data_ != nullptr) {
        std::memset(data_, 0, dirty_);
    }
    dirty_ = size_;
    return data_;
}

void WorkBuffer::MarkWritten(std::size_t bytes) {
    if (bytes < dirty_) {
        dirty_ = bytes;
    }
}

}  // namespace vorn
