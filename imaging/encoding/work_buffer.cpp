#include "imaging/encoding/work_buffer.h"

#include <cstring>

#include "platform/working_memory.h"

namespace vorn {

WorkBuffer::~WorkBuffer() {
    ReleaseZeroedMemory(data_, size_);
}

unsigned char* WorkBuffer::Ensure(std::size_t capacity) {
    if (size_ < capacity) {
        ReleaseZeroedMemory(data_, size_);
        size_ = 0;
        dirty_ = 0;
        // Fresh from the system and already zero: new pages that cost nothing until written.
        data_ = static_cast<unsigned char*>(ObtainZeroedMemory(capacity));
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
