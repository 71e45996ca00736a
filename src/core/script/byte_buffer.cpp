#include "core/script/byte_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

ByteBuffer::ByteBuffer(const ByteBuffer &other) { *this = other; }

ByteBuffer &ByteBuffer::operator=(const ByteBuffer &other) {
    if (this == &other) {
        return *this;
    }
    // A copy always owns its bytes, with the source's capacity.
    std::unique_ptr<uint8_t[]> block;
    if (other.capacity_ > 0) {
        block = std::make_unique<uint8_t[]>(other.capacity_);
        std::memcpy(block.get(), other.data_, other.position_);
    }
    heap_ = std::move(block);
    data_ = heap_.get();
    capacity_ = other.capacity_;
    position_ = other.position_;
    return *this;
}

ByteBuffer::ByteBuffer(ByteBuffer &&other) noexcept { *this = std::move(other); }

ByteBuffer &ByteBuffer::operator=(ByteBuffer &&other) noexcept {
    if (this != &other) {
        heap_ = std::move(other.heap_);
        data_ = other.data_;
        capacity_ = other.capacity_;
        position_ = other.position_;
        other.data_ = nullptr;
        other.capacity_ = 0;
        other.position_ = 0;
    }
    return *this;
}

size_t ByteBuffer::GrownCapacity(size_t p, size_t n, size_t c) {
    if (n > std::numeric_limits<size_t>::max() - p) {
        // No block can hold it; callers never get this far (sources and
        // argument blocks are bounded far below).
        std::abort();
    }
    size_t needed = p + n;
    if (needed <= c) {
        return c;
    }
    size_t step = std::min<size_t>(c, 1024);
    size_t grown = c > std::numeric_limits<size_t>::max() - step ? needed : c + step;
    return std::max({needed, grown, size_t{16}});
}

uint8_t *ByteBuffer::ExtendGrowing(size_t n) {
    size_t newCapacity = GrownCapacity(position_, n, capacity_);
    if (newCapacity != capacity_) {
        auto block = std::make_unique<uint8_t[]>(newCapacity);
        if (position_ > 0) {
            std::memcpy(block.get(), data_, position_);
        }
        heap_ = std::move(block); // frees an earlier own block, never a fixed area
        data_ = heap_.get();
        capacity_ = newCapacity;
    }
    uint8_t *at = data_ ? data_ + position_ : nullptr;
    position_ += n;
    return at;
}

void ByteBuffer::AppendZeros(size_t n) {
    uint8_t *at = Extend(n);
    if (n > 0) {
        std::memset(at, 0, n);
    }
}

void ByteBuffer::AppendU32(uint32_t value) {
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    Append(bytes, sizeof(bytes));
}

void ByteBuffer::AppendU64(uint64_t value) {
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    Append(bytes, sizeof(bytes));
}

void ByteBuffer::SetPosition(size_t position) { position_ = std::min(position, capacity_); }
