// Little-endian byte strings for hand-written actor files.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

class FileBytes {
  public:
    FileBytes &U8(uint8_t v) {
        bytes_.push_back(static_cast<char>(v));
        return *this;
    }
    FileBytes &U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
        return *this;
    }
    FileBytes &F32(float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        return U32(v);
    }
    FileBytes &Str(std::string_view s) {
        U32(static_cast<uint32_t>(s.size()));
        bytes_.append(s);
        return *this;
    }
    FileBytes &Raw(std::string_view s) {
        bytes_.append(s);
        return *this;
    }
    FileBytes &Zeros(size_t n) {
        bytes_.append(n, '\0');
        return *this;
    }
    FileBytes &Header(uint32_t version, uint32_t count, uint32_t first, uint32_t span) {
        return U32(version).U32(count).U32(first).U32(span);
    }

    const std::string &str() const { return bytes_; }
    size_t size() const { return bytes_.size(); }

  private:
    std::string bytes_;
};

// The base record of a default actor ("()" name unless given) at the current
// version, from the class id to the simulation style.
inline FileBytes &DefaultActorRecord(FileBytes &b, uint32_t classId, uint32_t id,
                                     uint32_t parentId, std::string_view name = "()") {
    b.U32(classId).U32(id).U32(parentId).Str(name);
    b.F32(0).F32(0).F32(0);         // position
    b.F32(1).F32(1).F32(1);         // scale
    b.F32(0).F32(0).F32(0).F32(1);  // rotation
    b.U32(0).U32(1).U32(0).U32(0);  // flag 18, collision, action flags, reserved
    b.U32(0);                       // reserved
    b.U32(0).U32(0);                // collision objects, scripts
    b.U32(3);                       // state
    for (int i = 0; i < 7; ++i) {
        b.F32(0);
    }
    b.U32(0).U32(0).U32(0);         // master, user word, reserved
    b.U32(0);                       // scheduled commands
    b.U32(0);                       // simulation style
    return b;
}
