#include "core/actors/param_block.h"

#include <algorithm>

#include "core/actors/command_registry.h"

namespace {

// Bytes up to and including the first NUL, or all of n when there is none.
size_t TerminatedSize(const uint8_t* p, size_t n) {
    const void* nul = p ? std::memchr(p, 0, n) : nullptr;
    return nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) + 1 : n;
}

// Bytes up to and including the first zero unit of width w, or all of n.
size_t UnitTerminatedSize(const uint8_t* p, size_t n, size_t w) {
    for (size_t off = 0; off + w <= n; off += w) {
        bool zero = true;
        for (size_t i = 0; i < w; ++i)
            zero = zero && p[off + i] == 0;
        if (zero)
            return off + w;
    }
    return n;
}

// Sum of the value sizes of a command's parameters at the start of p.
size_t ParamsSize(uint32_t commandId, const uint8_t* p, size_t n, ParamLayout layout, int depth) {
    if (commandId == kRecursiveCommandId)
        return n;
    const CommandInfo* info = FindCommandInfo(commandId);
    if (!info)
        return 0;
    size_t off = 0;
    for (uint32_t type : info->paramTypes) {
        off += ParamValueSize(type, p ? p + off : nullptr, n - off, layout, depth);
        if (off >= n)
            break;
    }
    return off;
}

} // namespace

bool IsPointerParamType(uint32_t type) {
    return type == ParamType::Pointer || type == ParamType::ActorPointer ||
           type == ParamType::ColObjPointer || type == ParamType::ScriptPointer ||
           type == ParamType::StringPtr;
}

size_t ParamFloatCount(uint32_t type) {
    switch (type) {
    case ParamType::Vector2:
        return 2;
    case ParamType::Vector3:
        return 3;
    case ParamType::Vector4:
    case ParamType::Quaternion:
    case ParamType::Plane:
    case ParamType::Color:
        return 4;
    case ParamType::Box:
        return 6;
    case ParamType::Matrix:
        return 16;
    default:
        return 0;
    }
}

size_t ParamFixedSize(uint32_t type, ParamLayout layout) {
    switch (type) {
    case ParamType::UInt32:
    case ParamType::Int32:
    case ParamType::Bool:
    case ParamType::Real:
    case ParamType::CommandID:
        return 4;
    case ParamType::String128:
        return 128;
    case ParamType::Pointer:
    case ParamType::ActorPointer:
    case ParamType::ColObjPointer:
    case ParamType::ScriptPointer:
    case ParamType::StringPtr:
        return layout == ParamLayout::Native ? sizeof(void*) : 4;
    case ParamType::Vector2:
        return 8;
    case ParamType::Vector3:
        return 12;
    case ParamType::Vector4:
    case ParamType::Quaternion:
    case ParamType::Plane:
    case ParamType::Color:
        return 16;
    case ParamType::Matrix:
        return 64;
    case ParamType::Box:
        return 24;
    default:
        return 0;
    }
}

ParamBlock ParamBlock::Sub(size_t offset) const {
    if (offset >= size_)
        return readOnly_ ? ReadOnly(nullptr, 0) : ParamBlock();
    ParamBlock b(data_ + offset, size_ - offset);
    b.readOnly_ = readOnly_;
    return b;
}

ParamBlock ParamBlock::Sub(size_t offset, size_t n) const {
    ParamBlock b = Sub(offset);
    b.size_ = std::min(b.size_, n);
    return b;
}

std::string_view ParamBlock::ReadString(size_t offset) const {
    if (offset >= size_)
        return {};
    const uint8_t* p = data_ + offset;
    size_t n = size_ - offset;
    const void* nul = std::memchr(p, 0, n);
    size_t len = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : n;
    return {reinterpret_cast<const char*>(p), len};
}

void ParamBlock::ReadBytes(size_t offset, void* out, size_t n) const {
    auto* dst = static_cast<uint8_t*>(out);
    size_t have = offset < size_ ? std::min(n, size_ - offset) : 0;
    if (have)
        std::memcpy(dst, data_ + offset, have);
    if (n > have)
        std::memset(dst + have, 0, n - have);
}

bool ParamBlock::WriteString(size_t offset, std::string_view text) const {
    if (readOnly_ || offset >= size_)
        return false;
    size_t room = size_ - offset;
    size_t len = std::min(text.size(), room - 1);
    if (len)
        std::memcpy(data_ + offset, text.data(), len);
    data_[offset + len] = 0;
    return len == text.size();
}

size_t ParamValueSize(uint32_t type, const uint8_t* value, size_t available, ParamLayout layout,
                      int depth) {
    if (!value)
        available = 0;
    const uint8_t* p = value;
    size_t n = available;
    switch (type) {
    case ParamType::ActorPointer:
        if (layout == ParamLayout::Portable)
            return TerminatedSize(p, n);
        return std::min(ParamFixedSize(type, layout), n);
    case ParamType::ActorPointerExt: {
        size_t head = layout == ParamLayout::Portable
                          ? TerminatedSize(p, n)
                          : std::min(ParamFixedSize(ParamType::Pointer, layout), n);
        return head + TerminatedSize(p ? p + head : nullptr, n - head);
    }
    case ParamType::Command: {
        if (n < 4)
            return n;
        uint32_t id;
        std::memcpy(&id, p, 4);
        if (id == kRecursiveCommandId || depth + 1 > kMaxParamNesting)
            return n;
        ParamLayout inner = layout == ParamLayout::Portable ? ParamLayout::Bit32 : layout;
        return 4 + ParamsSize(id, p + 4, n - 4, inner, depth + 1);
    }
    case ParamType::DataWithSizeheader: {
        if (n < 4)
            return n;
        uint32_t count;
        std::memcpy(&count, p, 4);
        uint64_t total = uint64_t{count} + 4;
        return total > n ? n : static_cast<size_t>(total);
    }
    case ParamType::String:
        return TerminatedSize(p, n);
    case ParamType::DataNullterminated16:
        return UnitTerminatedSize(p, n, 2);
    case ParamType::DataNullterminated32:
        return UnitTerminatedSize(p, n, 4);
    default:
        return std::min(ParamFixedSize(type, layout), n);
    }
}

size_t CommandParamSize(uint32_t commandId, ParamBlock block, ParamLayout layout) {
    return ParamsSize(commandId, block.data(), block.size(), layout, 0);
}

namespace {

// `unknownHolds`: a command the table does not register counts as holding
// one (its handler may read its block as it likes).
bool HoldsPointer(uint32_t commandId, const uint8_t* p, size_t n, int depth, bool unknownHolds) {
    if (commandId == kRecursiveCommandId || depth > kMaxParamNesting)
        return true;
    const CommandInfo* info = FindCommandInfo(commandId);
    if (!info || !info->registered())
        return unknownHolds && commandId != 0;
    // Every type counts, even past the end of a short block; a nested id
    // that is missing reads as 0, which has no parameters.
    size_t off = 0;
    for (uint32_t type : info->paramTypes) {
        if (IsPointerParamType(type) || type == ParamType::ActorPointerExt)
            return true;
        if (type == ParamType::Command && n - off >= 4) {
            uint32_t id;
            std::memcpy(&id, p + off, 4);
            if (HoldsPointer(id, p + off + 4, n - off - 4, depth + 1, unknownHolds))
                return true;
        }
        off += ParamValueSize(type, p ? p + off : nullptr, n - off, ParamLayout::Native, depth);
    }
    return false;
}

} // namespace

bool ParamBlockHoldsPointer(uint32_t commandId, ParamBlock block) {
    return HoldsPointer(commandId, block.data(), block.size(), 0, false);
}

bool ParamBlockMayHoldPointer(uint32_t commandId, ParamBlock block) {
    return HoldsPointer(commandId, block.data(), block.size(), 0, true);
}

ParamReader::ParamReader(uint32_t commandId, ParamBlock block) : block_(block) {
    const CommandInfo* info = FindCommandInfo(commandId);
    if (info && commandId != kRecursiveCommandId)
        types_ = info->paramTypes;
}

ParamBlock ParamReader::Next() {
    if (AtEnd())
        return ParamBlock::ReadOnly(nullptr, 0);
    uint32_t type = types_[index_++];
    ParamBlock rest = block_.Sub(offset_);
    size_t n = ParamValueSize(type, rest, ParamLayout::Native);
    offset_ += n;
    return rest.Sub(0, n);
}

ParamReader::ActorExt ParamReader::ActorPointerExt() {
    ParamBlock v = Next();
    return {v.ReadActor(0), v.ReadString(sizeof(Actor*))};
}

ParamReader::Nested ParamReader::Command() {
    ParamBlock v = Next();
    return {v.ReadU32(0), v.Sub(4)};
}
