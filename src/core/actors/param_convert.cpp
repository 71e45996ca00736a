#include "core/actors/param_convert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/math.h"
#include "core/actors/command_registry.h"

namespace {

const ActorPathResolver* gResolver = nullptr;

constexpr size_t kNativePointer = sizeof(void*);
constexpr size_t kFilePointer = 4;
// Written for a null actor; resolves to the parent of the actor system,
// which is null.
constexpr std::string_view kNullActorPath = "/..";

// A bounded read cursor over a source block.
struct Cursor {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;

    size_t left() const { return size - pos; }
    const uint8_t* here() const { return data + pos; }
    void Skip(size_t n) { pos += std::min(n, left()); }
    // Reads n bytes, zero-filling what is missing; returns whether all were there.
    bool Take(void* out, size_t n) {
        size_t have = std::min(n, left());
        if (have)
            std::memcpy(out, here(), have);
        if (have < n)
            std::memset(static_cast<uint8_t*>(out) + have, 0, n - have);
        pos += have;
        return have == n;
    }
    template <class T> T Get() {
        T v{};
        Take(&v, sizeof v);
        return v;
    }
};

void Append(std::vector<uint8_t>& out, const void* p, size_t n) {
    if (n)
        out.insert(out.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
}

void AppendZeros(std::vector<uint8_t>& out, size_t n) { out.insert(out.end(), n, 0); }

// Hands each parameter type of a command to step until one fails. The
// recursive command and a nesting deeper than allowed fail; an unknown
// command has no parameters.
template <class Step> bool ForEachParamType(uint32_t commandId, int depth, Step step) {
    if (commandId == kRecursiveCommandId || depth > kMaxParamNesting)
        return false;
    const CommandInfo* info = FindCommandInfo(commandId);
    if (!info)
        return true;
    for (uint32_t type : info->paramTypes) {
        if (!step(type))
            return false;
    }
    return true;
}

class Converter {
public:
    Converter(ParamDirection dir, Actor* context, ParamBlock block, std::vector<uint8_t>& out)
        : dir_(dir), context_(context), out_(out) {
        src_.data = block.data();
        src_.size = block.data() ? block.size() : 0;
    }

    bool Params(uint32_t commandId, bool top, int depth) {
        return ForEachParamType(commandId, depth,
                                [&](uint32_t type) { return Param(type, top, depth); });
    }

    bool changed() const { return changed_; }
    size_t consumed() const { return src_.pos; }

private:
    bool writing() const { return dir_ == ParamDirection::ToPortable; }

    // A pointer slot that never travels: 8 bytes in memory, 4 zero bytes in files.
    void DropPointer() {
        src_.Skip(writing() ? kNativePointer : kFilePointer);
        AppendZeros(out_, writing() ? kFilePointer : kNativePointer);
        changed_ = true;
    }

    // A top-level actor pointer: a pointer in memory, a path in files.
    void ActorPath() {
        changed_ = true;
        if (writing()) {
            auto* actor = src_.Get<Actor*>();
            std::string path;
            if (actor && gResolver)
                path = gResolver->ActorRelativePath(actor, context_);
            else
                path = kNullActorPath;
            // A path is one text: never let an embedded NUL split it.
            path.resize(std::strlen(path.c_str()));
            Append(out_, path.data(), path.size() + 1);
            return;
        }
        size_t n = ParamValueSize(ParamType::String, src_.here(), src_.left());
        Actor* actor = nullptr;
        if (n > 0 && src_.here()[n - 1] == 0 && gResolver) {
            std::string_view path(reinterpret_cast<const char*>(src_.here()), n - 1);
            actor = gResolver->FindActorByPath(path, context_);
        }
        src_.Skip(n);
        Append(out_, &actor, sizeof actor);
    }

    // A NUL-terminated text, terminated in the output even when the source
    // ran out first.
    void Text() {
        size_t n = ParamValueSize(ParamType::String, src_.here(), src_.left());
        Append(out_, src_.here(), n);
        src_.Skip(n);
        if (n == 0 || out_.back() != 0) {
            out_.push_back(0);
            changed_ = true;
        }
    }

    // Data ending with a zero unit of width w; a missing terminator (or a
    // partial last unit) is completed with zeros.
    void UnitText(size_t w) {
        size_t n = src_.left();
        size_t found = n;
        for (size_t off = 0; off + w <= n; off += w) {
            if (std::all_of(src_.here() + off, src_.here() + off + w, [](uint8_t b) { return b == 0; })) {
                found = off + w;
                break;
            }
        }
        size_t start = out_.size();
        Append(out_, src_.here(), found);
        src_.Skip(found);
        if (found == n) {
            size_t partial = found % w;
            if (partial) {
                AppendZeros(out_, w - partial);
                changed_ = true;
            }
            size_t len = out_.size() - start;
            bool terminated = len >= w && std::all_of(out_.end() - static_cast<std::ptrdiff_t>(w), out_.end(),
                                                      [](uint8_t b) { return b == 0; });
            if (!terminated) {
                AppendZeros(out_, w);
                changed_ = true;
            }
        }
    }

    void SizedData() {
        uint32_t count = 0;
        if (!src_.Take(&count, 4))
            changed_ = true;
        if (count > src_.left()) {
            count = static_cast<uint32_t>(src_.left());
            changed_ = true;
        }
        Append(out_, &count, 4);
        Append(out_, src_.here(), count);
        src_.Skip(count);
    }

    void Fixed(size_t n) {
        size_t have = std::min(n, src_.left());
        Append(out_, src_.here(), have);
        src_.Skip(have);
        if (have < n) {
            AppendZeros(out_, n - have);
            changed_ = true;
        }
    }

    bool Param(uint32_t type, bool top, int depth) {
        switch (type) {
        case ParamType::ActorPointer:
            if (top)
                ActorPath();
            else
                DropPointer();
            return true;
        case ParamType::ActorPointerExt:
            if (top)
                ActorPath();
            else
                DropPointer();
            Text();
            return true;
        case ParamType::Pointer:
        case ParamType::ColObjPointer:
        case ParamType::ScriptPointer:
        case ParamType::StringPtr:
            DropPointer();
            return true;
        case ParamType::Command: {
            uint32_t id = 0;
            if (!src_.Take(&id, 4))
                changed_ = true;
            Append(out_, &id, 4);
            return Params(id, false, depth + 1);
        }
        case ParamType::DataWithSizeheader:
            SizedData();
            return true;
        case ParamType::String:
            Text();
            return true;
        case ParamType::DataNullterminated16:
            UnitText(2);
            return true;
        case ParamType::DataNullterminated32:
            UnitText(4);
            return true;
        default:
            Fixed(ParamFixedSize(type));
            return true;
        }
    }

    ParamDirection dir_;
    Actor* context_;
    Cursor src_;
    std::vector<uint8_t>& out_;
    bool changed_ = false;
};

// f + (g - f) * t for 32-bit integers: the difference is taken as signed
// 32-bit, the sum in double, truncated toward zero, saturated to 64 bits and
// wrapped to 32. A NaN result keeps f.
template <class T> uint32_t LerpInt(T f, T g, float t) {
    auto d = static_cast<int32_t>(static_cast<uint32_t>(g) - static_cast<uint32_t>(f));
    double r = static_cast<double>(f) + static_cast<double>(d) * static_cast<double>(t);
    if (std::isnan(r))
        return static_cast<uint32_t>(f);
    r = std::trunc(r);
    int64_t wide;
    if (r >= 9223372036854775808.0)
        wide = std::numeric_limits<int64_t>::max();
    else if (r < -9223372036854775808.0)
        wide = std::numeric_limits<int64_t>::min();
    else
        wide = static_cast<int64_t>(r);
    return static_cast<uint32_t>(static_cast<uint64_t>(wide));
}

class Interpolator {
public:
    Interpolator(float t, ParamBlock from, ParamBlock to, std::vector<uint8_t>& out)
        : t_(t), out_(out) {
        f_.data = from.data();
        f_.size = from.data() ? from.size() : 0;
        g_.data = to.data();
        g_.size = to.data() ? to.size() : 0;
    }

    bool Params(uint32_t commandId, int depth) {
        return ForEachParamType(commandId, depth,
                                [&](uint32_t type) { return Param(type, depth); });
    }

private:
    void Real() {
        float f = f_.Get<float>();
        float g = g_.Get<float>();
        float r = (g - f) * t_ + f;
        Append(out_, &r, 4);
    }

    void Reals(size_t n) {
        for (size_t i = 0; i < n; ++i)
            Real();
    }

    // Takes the "to" value (n bytes, or its own walk when variable); "from"
    // moves past its own value.
    void TakeTo(uint32_t type) {
        size_t fixed = ParamFixedSize(type, ParamLayout::Native);
        if (fixed) {
            uint8_t buf[128];
            g_.Take(buf, fixed);
            Append(out_, buf, fixed);
            f_.Skip(fixed);
            return;
        }
        size_t gn = ParamValueSize(type, g_.here(), g_.left(), ParamLayout::Native);
        size_t fn = ParamValueSize(type, f_.here(), f_.left(), ParamLayout::Native);
        Append(out_, g_.here(), gn);
        g_.Skip(gn);
        f_.Skip(fn);
    }

    bool Param(uint32_t type, int depth) {
        switch (type) {
        case ParamType::UInt32:
        case ParamType::CommandID: {
            uint32_t r = LerpInt(f_.Get<uint32_t>(), g_.Get<uint32_t>(), t_);
            Append(out_, &r, 4);
            return true;
        }
        case ParamType::Int32: {
            uint32_t r = LerpInt(f_.Get<int32_t>(), g_.Get<int32_t>(), t_);
            Append(out_, &r, 4);
            return true;
        }
        case ParamType::Real:
            Real();
            return true;
        case ParamType::Quaternion: {
            auto a = f_.Get<Quaternion>();
            auto b = g_.Get<Quaternion>();
            Quaternion r;
            QuaternionSlerp(&r, a, b, t_);
            Append(out_, &r, sizeof r);
            return true;
        }
        case ParamType::ActorPointerExt:
            TakeTo(ParamType::ActorPointer);
            TakeTo(ParamType::String);
            return true;
        case ParamType::Command: {
            uint32_t idF = f_.Get<uint32_t>();
            uint32_t idG = g_.Get<uint32_t>();
            if (idF == kRecursiveCommandId || idG == kRecursiveCommandId ||
                depth + 1 > kMaxParamNesting)
                return false;
            Append(out_, &idF, 4);
            if (idF == idG)
                return Params(idF, depth + 1);
            // Different commands: keep the "from" command whole.
            size_t fn = CommandParamSize(idF, ParamBlock::ReadOnly(f_.here(), f_.left()));
            size_t gn = CommandParamSize(idG, ParamBlock::ReadOnly(g_.here(), g_.left()));
            Append(out_, f_.here(), fn);
            f_.Skip(fn);
            g_.Skip(gn);
            return true;
        }
        default:
            // Vectors, planes, colours, boxes and matrices float by float
            // (a quaternion is slerped above).
            if (size_t floats = ParamFloatCount(type))
                Reals(floats);
            else
                TakeTo(type);
            return true;
        }
    }

    float t_;
    Cursor f_;
    Cursor g_;
    std::vector<uint8_t>& out_;
};

} // namespace

const ActorPathResolver* InstallActorPathResolver(const ActorPathResolver* resolver) {
    const ActorPathResolver* previous = gResolver;
    gResolver = resolver;
    return previous;
}

const ActorPathResolver* GetActorPathResolver() { return gResolver; }

bool ConvertParamBlock(ParamDirection direction, Actor* context, ParamBlockResult* result,
                       uint32_t commandId, ParamBlock block) {
    std::vector<uint8_t>& out = result->Own();
    out.clear();
    Converter conv(direction, context, block, out);
    if (!conv.Params(commandId, true, 0)) {
        result->Clear();
        return false;
    }
    if (!conv.changed())
        result->Borrow(block.data(), conv.consumed());
    return true;
}

bool InterpolateCommandParams(ParamBlockResult* result, float t, uint32_t commandId,
                              ParamBlock from, ParamBlock to) {
    std::vector<uint8_t>& out = result->Own();
    out.clear();
    Interpolator interp(t, from, to, out);
    if (!interp.Params(commandId, 0)) {
        result->Clear();
        return false;
    }
    return true;
}
