#include "imaging/work_buffer.h"

#include <cstring>
#include <new>

WorkBuffer::~WorkBuffer() {
    delete[] data_;
}

unsigned char* WorkBuffer::Ensure(std::size_t capacity) {
    if (size_ < capacity) {
        delete[] data_;
        data_ = nullptr;
        size_ = 0;
        data_ = new (std::nothrow) unsigned char[capacity];
        if (data_ == nullptr) {
            return nullptr;
        }
        size_ = capacity;
    }
    if (data_ != nullptr) {
        std::memset(data_, 0, size_);
    }
    return data_;
}
