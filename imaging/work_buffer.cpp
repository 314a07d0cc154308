#include "imaging/work_buffer.h"

#include <cstdlib>
#include <cstring>

namespace {

// From this size on, a block is cleared by taking a new one from the allocator: large blocks
// come as fresh pages that are zero already and cost nothing until written, where clearing
// in place would touch every page of the 4 MiB a face asks for to encode about 50 KB.
constexpr std::size_t kFreshBlockFrom = 256u * 1024u;

}  // namespace

WorkBuffer::~WorkBuffer() {
    std::free(data_);
}

unsigned char* WorkBuffer::Ensure(std::size_t capacity) {
    if (size_ < capacity || (size_ >= kFreshBlockFrom && data_ != nullptr)) {
        const std::size_t size = size_ < capacity ? capacity : size_;
        std::free(data_);
        size_ = 0;
        data_ = static_cast<unsigned char*>(std::calloc(size, 1));
        if (data_ == nullptr) {
            return nullptr;
        }
        size_ = size;
        return data_;
    }
    if (data_ != nullptr) {
        std::memset(data_, 0, size_);
    }
    return data_;
}
