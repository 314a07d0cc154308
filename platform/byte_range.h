// Bounded reads of little- and big-endian numbers from a range of bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn {

// A range of bytes that answers false to any read reaching past its end.
class ByteRange {
public:
    ByteRange(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Size() const { return size_; }
    bool Holds(std::uint64_t offset, std::uint64_t length) const {
        return data_ != nullptr && offset <= size_ && length <= size_ - offset;
    }
    // The byte at the offset; the caller checks Holds first.
    unsigned char At(std::uint64_t offset) const { return data_[offset]; }

    bool U16(std::uint64_t offset, std::uint16_t* value, bool big_endian = false) const {
        std::uint64_t wide = 0;
        bool read = Number(offset, 2, big_endian, &wide);
        *value = static_cast<std::uint16_t>(wide);
        return read;
    }
    bool U32(std::uint64_t offset, std::uint32_t* value, bool big_endian = false) const {
        std::uint64_t wide = 0;
        bool read = Number(offset, 4, big_endian, &wide);
        *value = static_cast<std::uint32_t>(wide);
        return read;
    }

private:
    bool Number(std::uint64_t offset, unsigned length, bool big_endian,
                std::uint64_t* value) const {
        if (!Holds(offset, length)) {
            return false;
        }
        for (unsigned i = 0; i < length; ++i) {
            unsigned shift = 8 * (big_endian ? length - 1 - i : i);
            *value |= static_cast<std::uint64_t>(data_[offset + i]) << shift;
        }
        return true;
    }

    const unsigned char* data_;
    std::size_t size_;
};

}  // namespace vorn
