#include "library/skeleton.h"

#include <cstring>

#include "library/key_track.h"
#include "library/library_item.h"
#include "library/motion.h"
#include "library/name_table.h"

namespace {

// The layer's rotation scaled by its weight: the rotation itself at full
// weight, else rebuilt from its axis and the weighted angle.
Quaternion WeightedRotation(const Quaternion& rotation, float weight) {
    if (weight == 1.0f) {
        return rotation;
    }
    Vector3 axis;
    float angle = 0.0f;
    QuaternionToAxisAngle(rotation, &axis, &angle);
    Quaternion r;
    QuaternionRotationAxis(&r, axis, angle * weight);
    return r;
}

void ApplyLayer(const BoneLayer& layer, Quaternion* q, Vector3* p) {
    const float w = layer.weight;
    const Vector3& lp = layer.position;
    switch (layer.mode) {
    case 0:
        QuaternionMultiply(q, WeightedRotation(layer.rotation, w), *q);
        *p = {p->x + w * lp.x, p->y + w * lp.y, p->z + w * lp.z};
        break;
    case 1:
        QuaternionSlerp(q, *q, layer.rotation, w);
        *p = {p->x + w * (lp.x - p->x), p->y + w * (lp.y - p->y), p->z + w * (lp.z - p->z)};
        break;
    case 2:
        QuaternionMultiply(q, *q, WeightedRotation(layer.rotation, w));
        *p = {p->x + w * lp.x, p->y + w * lp.y, p->z + w * lp.z};
        break;
    default:
        break;
    }
}

void ComposeLocal(Bone& bone, const KeyTrack* track, float time) {
    if (track == nullptr) {
        bone.local = kBoneIdentity;
        return;
    }
    Vector3 p = track->SamplePosition(time);
    Quaternion q = track->SampleRotation(time);
    for (uint32_t n = 0; n < kBoneLayerCount && (bone.activeLayers >> n) != 0; ++n) {
        if ((bone.activeLayers >> n) & 1u) {
            ApplyLayer(bone.layers[n], &q, &p);
        }
    }
    MatrixFromQuaternion(&bone.local, q);
    bone.local.m[3][0] = p.x;
    bone.local.m[3][1] = p.y;
    bone.local.m[3][2] = p.z;
}

} // namespace

Skeleton* CreateSkeleton(MeshItem* mesh) {
    if (mesh == nullptr) {
        return nullptr;
    }
    if (mesh->loaded == 0) {
        mesh->Load();
    }
    if (mesh->bones.empty()) {
        return nullptr;
    }
    auto* skeleton = new Skeleton;
    skeleton->bones.reserve(mesh->bones.size());
    for (const auto& source : mesh->bones) {
        auto bone = std::make_unique<Bone>();
        if (source != nullptr) {
            bone->parent = source->parent;
            bone->nameId = source->nameId;
            bone->local = source->local;
            bone->offset = source->offset;
            bone->world = source->world;
            bone->activeLayers = source->activeLayers;
            for (uint32_t n = 0; n < kBoneLayerCount; ++n) {
                bone->layers[n] = source->layers[n];
            }
        }
        skeleton->bones.push_back(std::move(bone));
    }
    const size_t count = skeleton->bones.size();
    for (auto& bone : skeleton->bones) {
        if (bone->parent >= 0 && static_cast<size_t>(bone->parent) < count) {
            skeleton->bones[static_cast<size_t>(bone->parent)]->children.push_back(bone.get());
        }
    }
    return skeleton;
}

void DestroySkeleton(Skeleton* skeleton) { delete skeleton; }

Bone* GetSkeletonBone(Skeleton* skeleton, uint32_t i) {
    if (skeleton == nullptr || i >= skeleton->bones.size()) {
        return nullptr;
    }
    return skeleton->bones[i].get();
}

uint32_t GetSkeletonBoneCount(const Skeleton* skeleton) {
    return skeleton != nullptr ? static_cast<uint32_t>(skeleton->bones.size()) : 0;
}

const char* GetBoneName(const Bone* bone) {
    return bone != nullptr ? GetNameTable().GetName(bone->nameId) : nullptr;
}

Bone* FindBoneByName(Skeleton* skeleton, const char* name) {
    if (skeleton == nullptr || name == nullptr) {
        return nullptr;
    }
    for (const auto& bone : skeleton->bones) {
        if (std::strcmp(GetNameTable().GetName(bone->nameId), name) == 0) {
            return bone.get();
        }
    }
    return nullptr;
}

int GetBoneMatrix(const Bone* bone, Matrix* out) {
    if (bone == nullptr) {
        return 0;
    }
    if (out != nullptr) {
        *out = bone->world;
    }
    return 1;
}

namespace {

// Layer n of the bone; null for no bone or a layer past the last.
BoneLayer* LayerOf(Bone* bone, uint32_t n) {
    return bone != nullptr && n < kBoneLayerCount ? &bone->layers[n] : nullptr;
}

} // namespace

int SetBoneLayerRotation(Bone* bone, const Quaternion* rotation, uint32_t n) {
    BoneLayer* layer = LayerOf(bone, n);
    if (layer != nullptr && rotation != nullptr) {
        layer->rotation = *rotation;
    }
    return layer != nullptr ? 1 : 0;
}

int SetBoneLayerPosition(Bone* bone, const Vector3* position, uint32_t n) {
    BoneLayer* layer = LayerOf(bone, n);
    if (layer != nullptr && position != nullptr) {
        layer->position = *position;
    }
    return layer != nullptr ? 1 : 0;
}

int SetBoneLayerMode(Bone* bone, uint32_t mode, uint32_t n) {
    BoneLayer* layer = LayerOf(bone, n);
    if (layer == nullptr) {
        return 0;
    }
    layer->mode = mode;
    return 1;
}

int SetBoneLayerWeight(Bone* bone, float weight, uint32_t n) {
    BoneLayer* layer = LayerOf(bone, n);
    if (layer == nullptr) {
        return 0;
    }
    layer->weight = weight;
    if (weight == 0.0f) {
        bone->activeLayers &= ~(1u << n);
    } else {
        bone->activeLayers |= 1u << n;
    }
    return 1;
}

BoneMatrices* AllocBoneMatrices(MeshItem* mesh) {
    if (mesh == nullptr) {
        return nullptr;
    }
    if (mesh->loaded == 0) {
        mesh->Load();
    }
    auto* out = new BoneMatrices;
    out->matrices.assign(mesh->bones.size(), kBoneIdentity);
    return out;
}

void FreeBoneMatrices(BoneMatrices* matrices) { delete matrices; }

void ComputeBonePose(Skeleton* skeleton, MotionItem* motion, BoneMatrices* out, float time) {
    if (skeleton == nullptr || motion == nullptr) {
        return;
    }
    if (motion->loaded == 0) {
        motion->Load();
    }
    if (out == nullptr) {
        return;
    }
    auto& bones = skeleton->bones;
    for (auto& bone : bones) {
        ComposeLocal(*bone, FindTrackById(*motion, bone->nameId), time);
    }
    const size_t count = bones.size();
    for (auto& bone : bones) {
        if (bone->parent < 0 || static_cast<size_t>(bone->parent) >= count) {
            bone->world = bone->local;
            continue;
        }
        // A parent listed after its child still holds last frame's world.
        const Matrix parentWorld = bones[static_cast<size_t>(bone->parent)]->world;
        MatrixMultiply(&bone->world, bone->local, parentWorld);
    }
    const size_t written = count < out->matrices.size() ? count : out->matrices.size();
    for (size_t i = 0; i < written; ++i) {
        MatrixMultiply(&out->matrices[i], bones[i]->offset, bones[i]->world);
    }
}
