#include "core/actors/param_builder.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/actors/command_registry.h"

namespace {

// Text up to its first NUL.
std::string_view CText(const std::string& s) { return std::string_view(s.c_str()); }

bool IsInteger(ParamValue::Kind k) {
    return k == ParamValue::Kind::U32 || k == ParamValue::Kind::I32 || k == ParamValue::Kind::Bool;
}

} // namespace

ParamValue::ParamValue(double v) : kind_(Kind::F32) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (v > kMax)
        f32_ = std::numeric_limits<float>::infinity();
    else if (v < -kMax)
        f32_ = -std::numeric_limits<float>::infinity();
    else
        f32_ = static_cast<float>(v); // NaN stays NaN
}

ParamValue::ParamValue(const Matrix& m) : kind_(Kind::Floats) {
    floats_.resize(16);
    std::memcpy(floats_.data(), &m, sizeof(float) * 16);
}

ParamValue ParamValue::Floats(std::initializer_list<float> values) {
    return Floats(std::span<const float>(values.begin(), values.size()));
}

ParamValue ParamValue::Floats(std::span<const float> values) {
    ParamValue v(Kind::Floats);
    v.floats_.assign(values.begin(), values.end());
    return v;
}

ParamValue ParamValue::ActorExt(::Actor* actor, std::string_view text) {
    ParamValue v(Kind::ActorExt);
    v.ptr_ = actor;
    v.text_ = std::string(text);
    return v;
}

ParamValue ParamValue::Bytes(std::span<const uint8_t> bytes) {
    ParamValue v(Kind::Bytes);
    v.bytes_.assign(bytes.begin(), bytes.end());
    return v;
}

ParamValue ParamValue::Command(uint32_t id, std::initializer_list<ParamValue> values) {
    return Command(id, std::vector<ParamValue>(values));
}

ParamValue ParamValue::Command(uint32_t id, std::vector<ParamValue> values) {
    ParamValue v(Kind::Command);
    v.commandId_ = id;
    v.nested_ = std::move(values);
    return v;
}

void ParamBlockBuilder::AppendRaw(const void* p, size_t n) {
    if (n)
        bytes_.insert(bytes_.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
}

bool ParamBlockBuilder::Build(uint32_t commandId, std::span<const ParamValue> values) {
    bytes_.clear();
    if (!AppendCommand(commandId, values, 0)) {
        bytes_.clear();
        return false;
    }
    return true;
}

bool ParamBlockBuilder::AppendCommand(uint32_t commandId, std::span<const ParamValue> values,
                                      int depth) {
    // The block of 97 is an in-memory struct its senders build themselves.
    if (commandId == kRecursiveCommandId || depth > kMaxParamNesting)
        return false;
    const CommandInfo* info = FindCommandInfo(commandId);
    if (!info || info->paramTypes.empty()) {
        for (const ParamValue& v : values) {
            if (!AppendNatural(v, depth))
                return false;
        }
        return true;
    }
    if (values.size() != info->paramTypes.size())
        return false;
    for (size_t i = 0; i < values.size(); ++i) {
        if (!AppendTyped(info->paramTypes[i], values[i], depth))
            return false;
    }
    return true;
}

bool ParamBlockBuilder::AppendTyped(uint32_t type, const ParamValue& v, int depth) {
    using K = ParamValue::Kind;
    switch (type) {
    case ParamType::UInt32:
    case ParamType::Int32:
    case ParamType::CommandID:
        if (!IsInteger(v.kind_))
            return false;
        AppendRaw(&v.u32_, 4);
        return true;
    case ParamType::Bool: {
        if (!IsInteger(v.kind_))
            return false;
        uint32_t b = v.u32_ != 0 ? 1 : 0;
        AppendRaw(&b, 4);
        return true;
    }
    case ParamType::Real:
        if (v.kind_ != K::F32)
            return false;
        AppendRaw(&v.f32_, 4);
        return true;
    case ParamType::String128: {
        if (v.kind_ != K::Text)
            return false;
        char field[128] = {};
        std::string_view text = CText(v.text_);
        std::memcpy(field, text.data(), std::min<size_t>(text.size(), 127));
        AppendRaw(field, sizeof field);
        return true;
    }
    case ParamType::String:
        if (v.kind_ != K::Text)
            return false;
        AppendRaw(v.text_.c_str(), CText(v.text_).size() + 1);
        return true;
    case ParamType::Pointer:
    case ParamType::ColObjPointer:
    case ParamType::ScriptPointer:
    case ParamType::StringPtr:
        if (v.kind_ != K::Pointer)
            return false;
        AppendRaw(&v.ptr_, sizeof v.ptr_);
        return true;
    case ParamType::ActorPointer:
        if (v.kind_ != K::Actor && !(v.kind_ == K::Pointer && v.ptr_ == nullptr))
            return false;
        AppendRaw(&v.ptr_, sizeof v.ptr_);
        return true;
    case ParamType::ActorPointerExt:
        if (v.kind_ != K::ActorExt)
            return false;
        AppendRaw(&v.ptr_, sizeof v.ptr_);
        AppendRaw(v.text_.c_str(), CText(v.text_).size() + 1);
        return true;
    case ParamType::Command:
        if (v.kind_ != K::Command)
            return false;
        AppendRaw(&v.commandId_, 4);
        return AppendCommand(v.commandId_, v.nested_, depth + 1);
    case ParamType::DataWithSizeheader: {
        if (v.kind_ != K::Bytes || v.bytes_.size() > UINT32_MAX)
            return false;
        auto n = static_cast<uint32_t>(v.bytes_.size());
        AppendRaw(&n, 4);
        AppendRaw(v.bytes_.data(), n);
        return true;
    }
    case ParamType::DataNullterminated16:
    case ParamType::DataNullterminated32: {
        if (v.kind_ != K::Bytes)
            return false;
        size_t w = type == ParamType::DataNullterminated16 ? 2 : 4;
        AppendRaw(v.bytes_.data(), v.bytes_.size());
        size_t pad = (w - v.bytes_.size() % w) % w;
        bytes_.insert(bytes_.end(), pad + w, 0);
        return true;
    }
    default: {
        size_t n = ParamFloatCount(type);
        if (n == 0 || v.kind_ != K::Floats || v.floats_.size() != n)
            return false;
        AppendRaw(v.floats_.data(), n * sizeof(float));
        return true;
    }
    }
}

bool ParamBlockBuilder::AppendNatural(const ParamValue& v, int depth) {
    using K = ParamValue::Kind;
    switch (v.kind_) {
    case K::U32:
    case K::I32:
    case K::Bool:
        AppendRaw(&v.u32_, 4);
        return true;
    case K::F32:
        AppendRaw(&v.f32_, 4);
        return true;
    case K::Pointer:
    case K::Actor:
        AppendRaw(&v.ptr_, sizeof v.ptr_);
        return true;
    case K::Text:
        AppendRaw(v.text_.c_str(), CText(v.text_).size() + 1);
        return true;
    case K::Floats:
        AppendRaw(v.floats_.data(), v.floats_.size() * sizeof(float));
        return true;
    case K::ActorExt:
        AppendRaw(&v.ptr_, sizeof v.ptr_);
        AppendRaw(v.text_.c_str(), CText(v.text_).size() + 1);
        return true;
    case K::Bytes:
        AppendRaw(v.bytes_.data(), v.bytes_.size());
        return true;
    case K::Command:
        AppendRaw(&v.commandId_, 4);
        return AppendCommand(v.commandId_, v.nested_, depth + 1);
    }
    return false;
}
