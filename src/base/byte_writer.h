// Appends little-endian fields to a byte vector, one field at a time, for
// the writers of the file formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

    void U16(uint16_t v) {
        out_.push_back(static_cast<uint8_t>(v & 0xFF));
        out_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    void F32(float f) {
        uint32_t bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        U32(bits);
    }
    void Raw(const void* data, size_t size) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), bytes, bytes + size);
    }
    void Raw(const std::vector<uint8_t>& bytes) { Raw(bytes.data(), bytes.size()); }
    // A 32-bit length and the characters, no terminator.
    void Text(const std::string& s) {
        U32(static_cast<uint32_t>(s.size()));
        Raw(s.data(), s.size());
    }

private:
    std::vector<uint8_t>& out_;
};
