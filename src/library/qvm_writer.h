// Writes ".qvm" mesh files (format in library/mesh.h) field by field, as
// given: counts come from the records, nothing is checked, so tests can
// write broken files too. For tests, fuzz seeds and the sample generator;
// the engine itself never writes mesh files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/math.h"
#include "library/bone.h"
#include "library/mesh.h"
#include "library/mesh_subset.h"

struct QvmBoneRecord {
    std::string name;
    uint32_t parent = kQvmNoParent;
    Matrix offset = kBoneIdentity;
};

struct QvmSubsetRecord {
    std::string name = "Subset 1";
    uint32_t subsetWord = 0;
    uint32_t fvf = 0x112;
    uint32_t vertexSize = 32;
    uint32_t frameCount = 1;
    uint32_t vertexCount = 0;
    std::vector<uint16_t> indices;  // three per triangle; a partial triangle is not written
    std::vector<uint8_t> vertices;  // written whole when the vertex count is not 0
    std::vector<SkinVertex> skin;   // written whole (version 2 on, kind 1), or carried
};

class QvmWriter {
public:
    QvmWriter(uint32_t version = 2, uint32_t kind = 0) : version(version), kind(kind) {}

    // Appends one vertex of `vertexSize` bytes: the position at byte 0, the
    // normal at 12 and (u, v) at 24 when the size has room, zeros after.
    static void AppendVertex(std::vector<uint8_t>& out, uint32_t vertexSize,
                             const Vector3& position, const Vector3& normal = {0, 0, 0},
                             float u = 0.0f, float v = 0.0f);

    std::vector<uint8_t> WriteToMemory() const;
    // Written through the engine's file system; 1 or 0.
    int WriteFile(const char* path) const;

    uint32_t version;
    uint32_t kind;
    std::vector<QvmBoneRecord> bones;     // written for kind 1
    std::vector<QvmSubsetRecord> subsets;
    // Versions 0 and 1 of kind 1: write the first subset's skin records as
    // the vertex data of an extra second subset (named "Skin", FVF 0,
    // 56-byte vertices), after the first subset; the remaining subsets
    // follow it.
    bool carrySkin = true;
};
