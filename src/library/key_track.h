// Key tracks: the timed rotation, position, scale and matrix keys of one
// animated bone. The bone name is interned in the process-wide NameTable.
#pragma once

#include <cstdint>
#include <vector>

#include "base/math.h"

class Archive;

struct RotationKey {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;
    float time = 0.0f;
    uint32_t interpolate = 0; // 1 = blend toward the next key
};

struct PositionKey {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float time = 0.0f;
    uint32_t interpolate = 0;
};

struct MatrixKey {
    float m[16] = {}; // row-major 4 x 4, translation in the fourth row
    float time = 0.0f;
};

class KeyTrack {
public:
    // Smallest track record in a file: length, empty name, four counts.
    static constexpr uint64_t kMinRecordBytes = 24;

    // Reads or writes one track record (the archive's direction decides).
    // Reading interns the name, appends the keys in file order and ends with
    // MarkInterpolatedKeys; writing takes the name text from the name table.
    // Counts are checked against the bytes left before anything is stored.
    // Answers 1, or 0 when the record is short or corrupt. The version is not
    // consulted.
    int Load(Archive& archive, int mode, uint32_t version);

    // Sets the interpolate flags: when the track has rotation keys, each
    // rotation, position and scale key but the last of its kind gets 0 when
    // its value equals the next key's exactly (compared as floats), else 1;
    // the last gets 0. A track without rotation keys is left as it is (keys
    // are read with flag 0).
    void MarkInterpolatedKeys();

    // Empties the four key vectors.
    void Clear();

    // Append one key with interpolate flag 0.
    void AddRotationKey(float time, const Quaternion& rotation);
    void AddPositionKey(float time, const Vector3& position);
    void AddScaleKey(float time, const Vector3& scale);
    void AddMatrixKey(float time, const Matrix& matrix);

    // The track's value at a time. A time below 0 or not a number counts as
    // 0. The key used is the last one whose time is not later than the given
    // time (key 0 when the time lies before key 1); with its interpolate
    // flag set the result blends toward the next key (slerp for rotations,
    // lerp for positions and scales), which before key 0 extrapolates with a
    // negative factor. Equal key times give the earlier key's value. Without
    // keys: the identity rotation, position (0, 0, 0), scale (1, 1, 1).
    Quaternion SampleRotation(float time) const;
    Vector3 SamplePosition(float time) const;
    Vector3 SampleScale(float time) const;

    std::vector<RotationKey> rotationKeys;
    std::vector<PositionKey> positionKeys;
    std::vector<PositionKey> scaleKeys;
    std::vector<MatrixKey> matrixKeys;
    float length = 0.0f;
    uint32_t nameId = 0;
};

// The samplers with the result first. A null track gives the values of a
// track without keys; a null out is ignored.
void SampleTrackRotation(Quaternion* out, const KeyTrack* track, float time);
void SampleTrackPosition(Vector3* out, const KeyTrack* track, float time);
void SampleTrackScale(Vector3* out, const KeyTrack* track, float time);

// The name text of a track's name id; null for a null track.
const char* GetTrackName(const KeyTrack* track);
