// Helpers of the script tests: expected byte code built item by item, and
// hex text for readable failures.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace script_test {

class Code {
  public:
    Code &U8(uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
    Code &U32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    Code &F32(float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        return U32(v);
    }
    Code &Text(std::string_view s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        bytes.push_back(0);
        return *this;
    }
    Code &Zeros(size_t n) {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }
    // Access bytes.
    Code &Access(uint8_t kind, bool safe = false) { return U8(safe ? 0x21 : 0x16).U8(kind); }
    // Literal items.
    Code &Int(uint32_t v) { return U32(11).U32(v); }
    Code &Real(float f) { return U32(11).F32(f); }
    Code &End() {
        for (char c : std::string_view("_End"))
            bytes.push_back(static_cast<uint8_t>(c));
        return *this;
    }

    std::vector<uint8_t> bytes;
};

inline std::string Hex(const uint8_t *data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        if (i > 0)
            out += ' ';
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}
inline std::string Hex(const std::vector<uint8_t> &bytes) {
    return Hex(bytes.data(), bytes.size());
}

} // namespace script_test
