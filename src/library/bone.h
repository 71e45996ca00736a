// Bones of a skinned mesh. A MeshItem keeps its rest skeleton as a list of
// bones read from its ".qvm" file; skeletons of actors copy them. Each bone
// has four animation layers that pose code blends over the base motion.
#pragma once

#include <cstdint>
#include <vector>

#include "base/math.h"

// One animation layer of a bone. Mode 0 composes the layer's rotation before
// the pose so far, 1 blends toward the layer, 2 composes it after; other
// modes leave the layer out.
struct BoneLayer {
    Quaternion rotation = {0.0f, 0.0f, 0.0f, 1.0f};
    Vector3 position = {0.0f, 0.0f, 0.0f};
    float weight = 0.0f;
    uint32_t mode = 0;
};

inline constexpr uint32_t kBoneLayerCount = 4;

inline constexpr Matrix kBoneIdentity = {{{1.0f, 0.0f, 0.0f, 0.0f},
                                          {0.0f, 1.0f, 0.0f, 0.0f},
                                          {0.0f, 0.0f, 1.0f, 0.0f},
                                          {0.0f, 0.0f, 0.0f, 1.0f}}};

struct Bone {
    int32_t parent = -1;  // index in the same list; -1 for a root
    uint32_t nameId = 0;  // NameTable id; 0 is the empty name
    Matrix local = kBoneIdentity;  // relative to the parent, this frame
    Matrix offset = kBoneIdentity; // model space into the bone's space
    Matrix world = kBoneIdentity;  // local combined with every ancestor
    std::vector<Bone*> children;      // in bone order; not owned
    uint32_t activeLayers = 0;        // bit n: layer n has a weight other than 0
    BoneLayer layers[kBoneLayerCount];
};
