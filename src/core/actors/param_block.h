// Parameter blocks: the packed parameters of one command.
//
// Parameters sit back to back without padding, in the order of the command's
// parameter types. Three layouts exist:
//   Native   - in memory: pointer types take 8-byte slots.
//   Bit32    - the historical 32-bit layout: pointer types take 4 bytes.
//   Portable - what files and the command log hold: the Bit32 layout, except
//              that top-level actor pointers are path texts.
// A nested "Command" parameter (u32 id + that command's block) uses the
// Native layout in memory and the Bit32 layout in portable blocks.
//
// Offsets are unaligned, so every access goes through memcpy. Every walk is
// bounded by the block's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

class Actor;

enum class ParamLayout { Native, Bit32, Portable };

// Nesting deeper than this is refused by every walk.
inline constexpr int kMaxParamNesting = 64;
// "Recursive Command": its block is an in-memory struct {u32 id; pointer},
// which no walk, conversion or interpolation accepts.
inline constexpr uint32_t kRecursiveCommandId = 97;

class ParamBlock;

// The block of command 97, built by its senders: the command to run and a
// pointer to that command's block (null allowed).
struct RecursiveCommandParams {
    uint32_t commandId;
    const ParamBlock* block;
};

// A bounded view of a parameter block (pointer + size). Reads of a value
// that does not fit whole give zeros; writes that do not fit are dropped; a
// read-only view drops every write.
class ParamBlock {
public:
    ParamBlock() = default;
    ParamBlock(void* data, size_t size)
        : data_(static_cast<uint8_t*>(data)), size_(data ? size : 0) {}
    static ParamBlock ReadOnly(const void* data, size_t size) {
        ParamBlock b(const_cast<void*>(data), size);
        b.readOnly_ = true;
        return b;
    }

    const uint8_t* data() const { return data_; }
    // Null for a read-only view.
    uint8_t* mutableData() const { return readOnly_ ? nullptr : data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    bool readOnly() const { return readOnly_; }

    bool Fits(size_t offset, size_t n) const { return offset <= size_ && n <= size_ - offset; }

    // The part from offset on (empty past the end); keeps read-only-ness.
    ParamBlock Sub(size_t offset) const;
    ParamBlock Sub(size_t offset, size_t n) const;

    template <class T> T Read(size_t offset) const {
        static_assert(std::is_trivially_copyable_v<T>);
        T v{};
        if (Fits(offset, sizeof(T)))
            std::memcpy(&v, data_ + offset, sizeof(T));
        return v;
    }
    template <class T> bool Write(size_t offset, const T& v) const {
        static_assert(std::is_trivially_copyable_v<T>);
        if (readOnly_ || !Fits(offset, sizeof(T)))
            return false;
        std::memcpy(data_ + offset, &v, sizeof(T));
        return true;
    }

    uint32_t ReadU32(size_t offset) const { return Read<uint32_t>(offset); }
    int32_t ReadI32(size_t offset) const { return Read<int32_t>(offset); }
    float ReadF32(size_t offset) const { return Read<float>(offset); }
    void* ReadPointer(size_t offset) const { return Read<void*>(offset); }
    Actor* ReadActor(size_t offset) const { return Read<Actor*>(offset); }
    // The text from offset to its NUL or the end of the block.
    std::string_view ReadString(size_t offset) const;
    // Copies n bytes; what lies past the end reads as zeros.
    void ReadBytes(size_t offset, void* out, size_t n) const;

    bool WriteU32(size_t offset, uint32_t v) const { return Write(offset, v); }
    bool WriteI32(size_t offset, int32_t v) const { return Write(offset, v); }
    bool WriteF32(size_t offset, float v) const { return Write(offset, v); }
    bool WritePointer(size_t offset, void* v) const { return Write(offset, v); }
    bool WriteActor(size_t offset, Actor* v) const { return Write(offset, v); }
    // Writes text + NUL, cut to fit; the NUL is kept whenever at least one
    // byte fits. Returns false when the text had to be cut or nothing fits.
    bool WriteString(size_t offset, std::string_view text) const;

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool readOnly_ = false;
};

// A block over one plain value.
template <class T> ParamBlock BlockOf(T &value) { return ParamBlock(&value, sizeof(value)); }

// Bytes of a fixed-size type in a layout (pointer types: 8 native, 4
// otherwise); 0 for variable-size and unknown types.
size_t ParamFixedSize(uint32_t type, ParamLayout layout = ParamLayout::Native);
// "Pointer", "ActorPointer", "ColObjPointer", "ScriptPointer", "StringPtr".
bool IsPointerParamType(uint32_t type);
// Floats in one value of a vector-like type (Vector2 to Matrix, Quaternion,
// Plane, Color); 0 for every other type, Real included.
size_t ParamFloatCount(uint32_t type);

// Size of one value of a type at the start of value, never above available.
// Portable means a top-level value of a portable block (actor pointers as
// paths). A value without its terminator, or whose size header exceeds what
// is left, takes the rest; so does a nested command 97 or a nesting deeper
// than kMaxParamNesting. Types outside 1-25 take 0 bytes. depth is the
// number of "Command" values enclosing this one.
size_t ParamValueSize(uint32_t type, const uint8_t* value, size_t available,
                      ParamLayout layout = ParamLayout::Native, int depth = 0);
inline size_t ParamValueSize(uint32_t type, ParamBlock value,
                             ParamLayout layout = ParamLayout::Native) {
    return ParamValueSize(type, value.data(), value.size(), layout);
}

// Bytes the parameters of a command take at the start of block, walking its
// types in the given layout, never beyond block.size(). A command id beyond
// the table or unregistered has no parameters (0). Command 97, or nesting
// beyond kMaxParamNesting, takes the rest of the block.
size_t CommandParamSize(uint32_t commandId, ParamBlock block,
                        ParamLayout layout = ParamLayout::Native);

// Does a command's native block hold a pointer (including "StringPtr" and
// pointers inside nested commands, examined by their ids in the block)?
// Command 97 and over-deep nesting count as holding one.
bool ParamBlockHoldsPointer(uint32_t commandId, ParamBlock block);
// The same, except that a command the table does not register, at any
// depth (id 0 aside, which is no command), counts as holding one: what its
// handler reads from the block is not known.
bool ParamBlockMayHoldPointer(uint32_t commandId, ParamBlock block);

// The result of a conversion or interpolation: either the caller's own block
// (borrowed: valid while that block lives, never longer than it) or an owned
// buffer.
class ParamBlockResult {
public:
    const uint8_t* data() const { return borrowed_ ? borrowed_ : owned_.data(); }
    size_t size() const { return borrowed_ ? borrowedSize_ : owned_.size(); }
    bool borrowed() const { return borrowed_ != nullptr; }
    ParamBlock view() const { return ParamBlock::ReadOnly(data(), size()); }
    // The bytes as an owned copy (what a caller keeps).
    std::vector<uint8_t> ToVector() const { return {data(), data() + size()}; }

    void Borrow(const uint8_t* data, size_t size) {
        owned_.clear();
        borrowed_ = data;
        borrowedSize_ = data ? size : 0;
    }
    std::vector<uint8_t>& Own() {
        borrowed_ = nullptr;
        borrowedSize_ = 0;
        return owned_;
    }
    void Clear() {
        borrowed_ = nullptr;
        borrowedSize_ = 0;
        owned_.clear();
    }

private:
    const uint8_t* borrowed_ = nullptr;
    size_t borrowedSize_ = 0;
    std::vector<uint8_t> owned_;
};

// Sequential reading of a native block by its command's types. Each call
// reads the next parameter and moves past it by that value's own size;
// past the last parameter, or past the block's end, reads give zeros.
class ParamReader {
public:
    ParamReader(uint32_t commandId, ParamBlock block);

    bool AtEnd() const { return index_ >= types_.size(); }
    // Type of the next parameter; 0 when none is left.
    uint32_t NextType() const { return AtEnd() ? 0 : types_[index_]; }
    size_t offset() const { return offset_; }

    // The next value's bytes as a view, and move past it.
    ParamBlock Next();

    uint32_t U32() { return Next().ReadU32(0); }
    int32_t I32() { return Next().ReadI32(0); }
    float F32() { return Next().ReadF32(0); }
    bool Bool() { return Next().ReadU32(0) != 0; }
    void* Pointer() { return Next().ReadPointer(0); }
    Actor* ActorPtr() { return Next().ReadActor(0); }
    std::string_view String() { return Next().ReadString(0); }
    template <class T> T Value() { return Next().template Read<T>(0); }
    // "ActorPointerExt": the pointer and the text after it.
    struct ActorExt {
        Actor* actor;
        std::string_view text;
    };
    ActorExt ActorPointerExt();
    // "Command": the nested id and a view of the nested block.
    struct Nested {
        uint32_t id;
        ParamBlock block;
    };
    Nested Command();

private:
    std::span<const uint32_t> types_;
    ParamBlock block_;
    size_t index_ = 0;
    size_t offset_ = 0;
};
