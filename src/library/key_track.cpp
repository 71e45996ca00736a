#include "library/key_track.h"

#include <cmath>
#include <string>

#include "library/name_table.h"
#include "library/record_io.h"

namespace {

// Bytes per key in a track record.
constexpr uint64_t kRotationKeyBytes = 20;
constexpr uint64_t kPositionKeyBytes = 16;
constexpr uint64_t kMatrixKeyBytes = 68;

// Floats compare as floats: -0 equals 0 and NaN differs from itself.
bool SameValue(const RotationKey& a, const RotationKey& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

bool SameValue(const PositionKey& a, const PositionKey& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

template <typename Key>
void MarkKeys(std::vector<Key>& keys) {
    for (size_t i = 0; i < keys.size(); ++i) {
        bool last = i + 1 == keys.size();
        keys[i].interpolate = (!last && !SameValue(keys[i], keys[i + 1])) ? 1u : 0u;
    }
}

// A list of keys in a track record: the count, then each key's values as
// fields reads or writes them. Read keys are appended, except one cut short
// by the end of the record. False when the count does not fit the record.
template <typename Key, typename Fields>
bool KeysIo(RecordIo& io, std::vector<Key>& keys, uint64_t keyBytes, Fields fields) {
    auto count = static_cast<uint32_t>(keys.size());
    if (!io.Count(count, keyBytes)) {
        return false;
    }
    if (io.Writing()) {
        for (Key& k : keys) {
            fields(k);
        }
        return true;
    }
    keys.reserve(keys.size() + count);
    for (uint32_t i = 0; i < count && io.Ok(); ++i) {
        Key k;
        fields(k);
        if (io.Ok()) {
            keys.push_back(k);
        }
    }
    return true;
}

void PositionKeysIo(RecordIo& io, std::vector<PositionKey>& keys) {
    KeysIo(io, keys, kPositionKeyBytes, [&io](PositionKey& k) {
        io.F32(k.time);
        io.F32(k.x);
        io.F32(k.y);
        io.F32(k.z);
    });
}

// Index of the key a sample starts from: the last key whose time is not
// later than the given time, or 0 when the time lies before key 1. The
// vector holds at least one key.
template <typename Key>
size_t FindKey(const std::vector<Key>& keys, float time) {
    size_t i = 0;
    while (i + 1 < keys.size() && keys[i + 1].time <= time) {
        ++i;
    }
    return i;
}

// A negative time and NaN sample as 0.
float SampleTime(float time) { return (std::isnan(time) || time < 0.0f) ? 0.0f : time; }

// The blend factor from key i toward key i + 1, or a negative answer when
// key i's value stands alone: flag 0, the last key, or equal key times
// (which only a time before key 1 reaches).
template <typename Key>
bool BlendFactor(const std::vector<Key>& keys, size_t i, float time, float* s) {
    if (keys[i].interpolate == 0 || i + 1 >= keys.size()) {
        return false;
    }
    float span = keys[i + 1].time - keys[i].time;
    if (span == 0.0f) {
        return false;
    }
    *s = (time - keys[i].time) / span;
    return true;
}

Vector3 SampleVector(const std::vector<PositionKey>& keys, float time, const Vector3& none) {
    if (keys.empty()) {
        return none;
    }
    time = SampleTime(time);
    size_t i = FindKey(keys, time);
    const PositionKey& a = keys[i];
    Vector3 out{a.x, a.y, a.z};
    float s = 0.0f;
    if (BlendFactor(keys, i, time, &s)) {
        const PositionKey& b = keys[i + 1];
        Vec3Lerp(&out, out, Vector3{b.x, b.y, b.z}, s);
    }
    return out;
}

} // namespace

int KeyTrack::Load(Archive& archive, int /*mode*/, uint32_t /*version*/) {
    RecordIo io(archive);
    io.F32(length);

    std::string name;
    if (io.Writing()) {
        name = GetNameTable().GetName(nameId);
    }
    io.Text(name);
    if (!io.Ok()) {
        return 0;
    }
    if (io.Reading()) {
        nameId = GetNameTable().FindOrAdd(name);
    }

    if (!KeysIo(io, rotationKeys, kRotationKeyBytes, [&io](RotationKey& k) {
            io.F32(k.time);
            io.F32(k.x);
            io.F32(k.y);
            io.F32(k.z);
            io.F32(k.w);
        })) {
        return 0;
    }

    PositionKeysIo(io, positionKeys);
    PositionKeysIo(io, scaleKeys);

    if (!KeysIo(io, matrixKeys, kMatrixKeyBytes, [&io](MatrixKey& k) {
            io.F32(k.time);
            io.F32s(k.m, 16);
        })) {
        return 0;
    }
    if (!io.Ok()) {
        return 0;
    }
    if (io.Reading()) {
        MarkInterpolatedKeys();
    }
    return 1;
}

void KeyTrack::MarkInterpolatedKeys() {
    if (rotationKeys.empty()) {
        return;
    }
    MarkKeys(rotationKeys);
    MarkKeys(positionKeys);
    MarkKeys(scaleKeys);
}

void KeyTrack::Clear() {
    rotationKeys.clear();
    rotationKeys.shrink_to_fit();
    positionKeys.clear();
    positionKeys.shrink_to_fit();
    scaleKeys.clear();
    scaleKeys.shrink_to_fit();
    matrixKeys.clear();
    matrixKeys.shrink_to_fit();
}

void KeyTrack::AddRotationKey(float time, const Quaternion& rotation) {
    rotationKeys.push_back({rotation.x, rotation.y, rotation.z, rotation.w, time, 0});
}

void KeyTrack::AddPositionKey(float time, const Vector3& position) {
    positionKeys.push_back({position.x, position.y, position.z, time, 0});
}

void KeyTrack::AddScaleKey(float time, const Vector3& scale) {
    scaleKeys.push_back({scale.x, scale.y, scale.z, time, 0});
}

void KeyTrack::AddMatrixKey(float time, const Matrix& matrix) {
    MatrixKey key;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            key.m[r * 4 + c] = matrix.m[r][c];
        }
    }
    key.time = time;
    matrixKeys.push_back(key);
}

Quaternion KeyTrack::SampleRotation(float time) const {
    if (rotationKeys.empty()) {
        return Quaternion{0.0f, 0.0f, 0.0f, 1.0f};
    }
    time = SampleTime(time);
    size_t i = FindKey(rotationKeys, time);
    const RotationKey& a = rotationKeys[i];
    Quaternion out{a.x, a.y, a.z, a.w};
    float s = 0.0f;
    if (BlendFactor(rotationKeys, i, time, &s)) {
        const RotationKey& b = rotationKeys[i + 1];
        QuaternionSlerp(&out, out, Quaternion{b.x, b.y, b.z, b.w}, s);
    }
    return out;
}

Vector3 KeyTrack::SamplePosition(float time) const {
    return SampleVector(positionKeys, time, Vector3{0.0f, 0.0f, 0.0f});
}

Vector3 KeyTrack::SampleScale(float time) const {
    return SampleVector(scaleKeys, time, Vector3{1.0f, 1.0f, 1.0f});
}

void SampleTrackRotation(Quaternion* out, const KeyTrack* track, float time) {
    if (out != nullptr) {
        *out = track ? track->SampleRotation(time) : Quaternion{0.0f, 0.0f, 0.0f, 1.0f};
    }
}

void SampleTrackPosition(Vector3* out, const KeyTrack* track, float time) {
    if (out != nullptr) {
        *out = track ? track->SamplePosition(time) : Vector3{0.0f, 0.0f, 0.0f};
    }
}

void SampleTrackScale(Vector3* out, const KeyTrack* track, float time) {
    if (out != nullptr) {
        *out = track ? track->SampleScale(time) : Vector3{1.0f, 1.0f, 1.0f};
    }
}

const char* GetTrackName(const KeyTrack* track) {
    return track ? GetNameTable().GetName(track->nameId) : nullptr;
}
