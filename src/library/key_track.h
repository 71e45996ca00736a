// Key tracks: the timed rotation, position, scale and matrix keys of one
// animated bone. The bone name is interned in the process-wide NameTable.
#pragma once

#include <cstdint>
#include <vector>

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

    std::vector<RotationKey> rotationKeys;
    std::vector<PositionKey> positionKeys;
    std::vector<PositionKey> scaleKeys;
    std::vector<MatrixKey> matrixKeys;
    float length = 0.0f;
    uint32_t nameId = 0;
};
