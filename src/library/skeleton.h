// Skeletons: an actor's private, poseable copy of a skinned mesh's bones,
// the per-bone animation layers, and the bone matrices that skinning reads.
//
// Every frame an animating actor sets its layers (directly or through motion
// layers, library/motion_layer.h), composes the pose from its base motion
// with ComputeBonePose and skins its mesh with the resulting matrices
// (library/mesh_geometry.h). Null records get a neutral answer, never an
// error.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/math.h"
#include "library/bone.h"

class MeshItem;
class MotionItem;

// The bones in the mesh's order; every parent stands before its children.
struct Skeleton {
    std::vector<std::unique_ptr<Bone>> bones;
};

// One skinning matrix per bone, in bone order. The array knows its length:
// posing and skinning never reach past it.
struct BoneMatrices {
    std::vector<Matrix> matrices;
    uint32_t Count() const { return static_cast<uint32_t>(matrices.size()); }
};

// A copy of the mesh's bones (loading the mesh first when it is not
// loaded), children linked by parent index; null for a null mesh or one
// without bones.
Skeleton* CreateSkeleton(MeshItem* mesh);
// Deletes the skeleton and its bones; null is ignored.
void DestroySkeleton(Skeleton* skeleton);

// Bone i; null for a null skeleton or an index past the end.
Bone* GetSkeletonBone(Skeleton* skeleton, uint32_t i);
// 0 for null.
uint32_t GetSkeletonBoneCount(const Skeleton* skeleton);
// The name table's text of the bone's name; null for a null bone.
const char* GetBoneName(const Bone* bone);
// The first bone in list order whose name equals the text exactly; null
// when none or for null arguments.
Bone* FindBoneByName(Skeleton* skeleton, const char* name);
// Copies the bone's world matrix. 1, or 0 for a null bone.
int GetBoneMatrix(const Bone* bone, Matrix* out);

// Layer setters. The layer index n is 0..3; a larger one, like a null bone,
// answers 0 and changes nothing. Otherwise 1.
int SetBoneLayerRotation(Bone* bone, const Quaternion* rotation, uint32_t n);
int SetBoneLayerPosition(Bone* bone, const Vector3* position, uint32_t n);
int SetBoneLayerMode(Bone* bone, uint32_t mode, uint32_t n);
// Stores the weight and sets bit n of the active mask when it does not
// compare equal to 0.0 (NaN sets it, 0.0 and -0.0 clear it).
int SetBoneLayerWeight(Bone* bone, float weight, uint32_t n);

// One identity matrix per bone of the mesh (loading it first when needed);
// an empty array for a mesh without bones, null for a null mesh.
BoneMatrices* AllocBoneMatrices(MeshItem* mesh);
// Null is ignored.
void FreeBoneMatrices(BoneMatrices* matrices);

// Composes the pose at the motion time: each bone's local matrix from its
// base track (the motion's first track of the bone's name) with the active
// layers applied in the order 0..3, then the world matrices down the
// hierarchy, then out[i] = offset x world for as many bones as the array
// holds. A bone without a track stays at the identity under its parent. A
// null skeleton or motion does nothing; the motion is loaded when it is not;
// a null out array changes no matrix.
void ComputeBonePose(Skeleton* skeleton, MotionItem* motion, BoneMatrices* out, float time);
