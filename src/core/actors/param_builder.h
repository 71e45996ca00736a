// Typed building of native parameter blocks.
//
// For a command with parameter types each value must match its parameter's
// type and the count must match; otherwise Build refuses (no block). A
// command without parameter types (unregistered, or registered with none)
// takes the values in order at their natural sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/math.h"
#include "core/actors/param_block.h"

class Actor;

class ParamValue {
public:
    enum class Kind { U32, I32, F32, Bool, Pointer, Actor, Text, Floats, ActorExt, Bytes, Command };

    ParamValue(uint32_t v) : kind_(Kind::U32), u32_(v) {}
    ParamValue(int32_t v) : kind_(Kind::I32), u32_(static_cast<uint32_t>(v)) {}
    ParamValue(float v) : kind_(Kind::F32), f32_(v) {}
    // Beyond the float range a double becomes an infinity.
    ParamValue(double v);
    ParamValue(bool v) : kind_(Kind::Bool), u32_(v ? 1u : 0u) {}
    ParamValue(void* p) : kind_(Kind::Pointer), ptr_(p) {}
    ParamValue(std::nullptr_t) : kind_(Kind::Pointer), ptr_(nullptr) {}
    ParamValue(::Actor* a) : kind_(Kind::Actor), ptr_(a) {}
    ParamValue(const char* s) : kind_(Kind::Text), text_(s ? s : "") {}
    ParamValue(std::string_view s) : kind_(Kind::Text), text_(s) {}
    ParamValue(const std::string& s) : kind_(Kind::Text), text_(s) {}

    // Math values travel as their floats.
    ParamValue(const Vector2& v) : ParamValue(Floats({v.x, v.y})) {}
    ParamValue(const Vector3& v) : ParamValue(Floats({v.x, v.y, v.z})) {}
    ParamValue(const Vector4& v) : ParamValue(Floats({v.x, v.y, v.z, v.w})) {}
    ParamValue(const Quaternion& q) : ParamValue(Floats({q.x, q.y, q.z, q.w})) {}
    ParamValue(const Plane& p) : ParamValue(Floats({p.a, p.b, p.c, p.d})) {}
    ParamValue(const AABox& b)
        : ParamValue(Floats({b.min.x, b.min.y, b.min.z, b.max.x, b.max.y, b.max.z})) {}
    ParamValue(const Matrix& m);

    // Two to sixteen floats: "Vector2/3/4", "Quaternion", "Plane", "Color",
    // "Box" (6), "Matrix" (16).
    static ParamValue Floats(std::initializer_list<float> values);
    static ParamValue Floats(std::span<const float> values);
    // An "ActorPointerExt": actor and text.
    static ParamValue ActorExt(::Actor* actor, std::string_view text);
    // Raw data for the "Data ..." types (without header or terminator).
    static ParamValue Bytes(std::span<const uint8_t> bytes);
    // A nested command with its own values.
    static ParamValue Command(uint32_t id, std::initializer_list<ParamValue> values);
    static ParamValue Command(uint32_t id, std::vector<ParamValue> values);

    Kind kind() const { return kind_; }

private:
    friend class ParamBlockBuilder;
    explicit ParamValue(Kind k) : kind_(k) {}

    Kind kind_;
    uint32_t u32_ = 0;
    float f32_ = 0;
    void* ptr_ = nullptr;
    std::string text_;
    std::vector<float> floats_;
    std::vector<uint8_t> bytes_;
    uint32_t commandId_ = 0;
    std::vector<ParamValue> nested_;
};

// Owns a growable buffer; each Build starts it afresh.
class ParamBlockBuilder {
public:
    // Builds the block of commandId from values; false (and an empty block)
    // when the values do not fit the command's types or a nested command is
    // 97 or nested too deep.
    bool Build(uint32_t commandId, std::span<const ParamValue> values);
    bool Build(uint32_t commandId, std::initializer_list<ParamValue> values) {
        return Build(commandId, std::span<const ParamValue>(values.begin(), values.size()));
    }

    const uint8_t* data() const { return bytes_.data(); }
    uint8_t* data() { return bytes_.data(); }
    size_t size() const { return bytes_.size(); }
    ParamBlock block() { return ParamBlock(bytes_.data(), bytes_.size()); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    bool AppendCommand(uint32_t commandId, std::span<const ParamValue> values, int depth);
    bool AppendTyped(uint32_t type, const ParamValue& v, int depth);
    bool AppendNatural(const ParamValue& v, int depth);
    void AppendRaw(const void* p, size_t n);

    std::vector<uint8_t> bytes_;
};
