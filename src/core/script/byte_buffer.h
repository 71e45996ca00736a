// ByteBuffer: a growable byte buffer {capacity, data, position, owned}.
//
// It writes either into a block it owns or into a caller's fixed area (not
// owned). Appending n bytes at position p when p + n exceeds the capacity c
// moves the bytes written so far to a new owned block of
// max(p + n, c + min(c, 1024), 16) bytes; a fixed area is never freed or
// written past. Compiled scripts and the interpreter's argument blocks live
// in ByteBuffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

class ByteBuffer {
  public:
    ByteBuffer() = default;
    // Writes into area (capacity bytes) until it outgrows it.
    ByteBuffer(uint8_t *area, size_t capacity) : data_(area), capacity_(area ? capacity : 0) {}
    ByteBuffer(const ByteBuffer &other);
    ByteBuffer &operator=(const ByteBuffer &other);
    ByteBuffer(ByteBuffer &&other) noexcept;
    ByteBuffer &operator=(ByteBuffer &&other) noexcept;
    ~ByteBuffer() = default;

    // The capacity after appending n bytes at position p to a buffer of
    // capacity c (c itself when the bytes fit).
    static size_t GrownCapacity(size_t p, size_t n, size_t c);

    size_t capacity() const { return capacity_; }
    size_t position() const { return position_; }
    // True when the bytes are in a block of the buffer's own (also for an
    // empty buffer, which has no fixed area).
    bool owned() const { return data_ == nullptr || data_ == heap_.get(); }
    const uint8_t *data() const { return data_; }
    uint8_t *data() { return data_; }
    // The bytes written so far.
    std::span<const uint8_t> bytes() const { return {data_, position_}; }

    // Makes room for n bytes at the position, advances past them and
    // returns where they go (null for n = 0 on an empty buffer).
    uint8_t *Extend(size_t n) {
        // Bytes that fit take no call: the interpreter appends every
        // argument of every statement here.
        if (data_ != nullptr && n <= capacity_ - position_) {
            uint8_t *at = data_ + position_;
            position_ += n;
            return at;
        }
        return ExtendGrowing(n);
    }
    void Append(const void *bytes, size_t n) {
        uint8_t *at = Extend(n);
        if (n > 0) {
            std::memcpy(at, bytes, n);
        }
    }
    void AppendZeros(size_t n);
    void AppendByte(uint8_t value) { Append(&value, 1); }
    void AppendU32(uint32_t value); // little-endian
    void AppendU64(uint64_t value); // little-endian
    // Moves the position back (never beyond the capacity).
    void SetPosition(size_t position);

  private:
    uint8_t *ExtendGrowing(size_t n);

    uint8_t *data_ = nullptr;
    size_t capacity_ = 0;
    size_t position_ = 0;
    std::unique_ptr<uint8_t[]> heap_;
};
