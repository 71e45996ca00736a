#include "library/key_track.h"

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

void PositionKeysIo(RecordIo& io, std::vector<PositionKey>& keys) {
    auto count = static_cast<uint32_t>(keys.size());
    if (!io.Count(count, kPositionKeyBytes)) {
        return;
    }
    if (io.Writing()) {
        for (PositionKey& k : keys) {
            io.F32(k.time);
            io.F32(k.x);
            io.F32(k.y);
            io.F32(k.z);
        }
        return;
    }
    keys.reserve(keys.size() + count);
    for (uint32_t i = 0; i < count && io.Ok(); ++i) {
        PositionKey k;
        io.F32(k.time);
        io.F32(k.x);
        io.F32(k.y);
        io.F32(k.z);
        if (io.Ok()) {
            keys.push_back(k);
        }
    }
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

    auto count = static_cast<uint32_t>(rotationKeys.size());
    if (!io.Count(count, kRotationKeyBytes)) {
        return 0;
    }
    if (io.Writing()) {
        for (RotationKey& k : rotationKeys) {
            io.F32(k.time);
            io.F32(k.x);
            io.F32(k.y);
            io.F32(k.z);
            io.F32(k.w);
        }
    } else {
        rotationKeys.reserve(rotationKeys.size() + count);
        for (uint32_t i = 0; i < count && io.Ok(); ++i) {
            RotationKey k;
            io.F32(k.time);
            io.F32(k.x);
            io.F32(k.y);
            io.F32(k.z);
            io.F32(k.w);
            if (io.Ok()) {
                rotationKeys.push_back(k);
            }
        }
    }

    PositionKeysIo(io, positionKeys);
    PositionKeysIo(io, scaleKeys);

    count = static_cast<uint32_t>(matrixKeys.size());
    if (!io.Count(count, kMatrixKeyBytes)) {
        return 0;
    }
    if (io.Writing()) {
        for (MatrixKey& k : matrixKeys) {
            io.F32(k.time);
            io.F32s(k.m, 16);
        }
    } else {
        matrixKeys.reserve(matrixKeys.size() + count);
        for (uint32_t i = 0; i < count && io.Ok(); ++i) {
            MatrixKey k;
            io.F32(k.time);
            io.F32s(k.m, 16);
            if (io.Ok()) {
                matrixKeys.push_back(k);
            }
        }
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
