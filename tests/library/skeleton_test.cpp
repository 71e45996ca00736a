#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#include "library/key_track.h"
#include "library/library_item.h"
#include "library/motion_layer.h"
#include "library/name_table.h"
#include "library/resource_library.h"
#include "library/skeleton.h"

namespace {

uint32_t Name(const char* text) { return GetNameTable().FindOrAdd(text); }

struct BoneSpec {
    const char* name;
    int32_t parent;
};

// A loaded mesh item carrying only bones.
std::unique_ptr<MeshItem> BonedMesh(std::initializer_list<BoneSpec> specs) {
    auto mesh = std::make_unique<MeshItem>();
    mesh->loaded = 1;
    mesh->meshKind = 1;
    for (const BoneSpec& spec : specs) {
        auto bone = std::make_unique<Bone>();
        bone->parent = spec.parent;
        bone->nameId = Name(spec.name);
        mesh->bones.push_back(std::move(bone));
    }
    return mesh;
}

struct TrackSpec {
    const char* name;
    Quaternion rotation;
    Vector3 position;
};

// A loaded motion with one constant key per track.
std::unique_ptr<MotionItem> Motion(std::initializer_list<TrackSpec> specs) {
    auto motion = std::make_unique<MotionItem>();
    motion->loaded = 1;
    for (const TrackSpec& spec : specs) {
        auto track = std::make_unique<KeyTrack>();
        track->nameId = Name(spec.name);
        track->AddRotationKey(0.0f, spec.rotation);
        track->AddPositionKey(0.0f, spec.position);
        motion->tracks.push_back(std::move(track));
    }
    return motion;
}

Quaternion AxisRotation(Vector3 axis, float angle) {
    Quaternion q;
    QuaternionRotationAxis(&q, axis, angle);
    return q;
}

Quaternion Mul(const Quaternion& a, const Quaternion& b) {
    Quaternion q;
    QuaternionMultiply(&q, a, b);
    return q;
}

Matrix Local(const Quaternion& q, const Vector3& p) {
    Matrix m;
    MatrixFromQuaternion(&m, q);
    m.m[3][0] = p.x;
    m.m[3][1] = p.y;
    m.m[3][2] = p.z;
    return m;
}

void ExpectMatrixNear(const Matrix& a, const Matrix& b, float tol = 1e-5f) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << "at " << r << "," << c;
        }
    }
}

bool SameMatrix(const Matrix& a, const Matrix& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

const Quaternion kTurnY = AxisRotation({0, 1, 0}, 0.7f);
const Quaternion kTurnX = AxisRotation({1, 0, 0}, 0.4f);
const Quaternion kTurnZ = AxisRotation({0, 0, 1}, -0.9f);
const Vector3 kBasePos = {1.0f, 2.0f, 3.0f};

// One bone "Solo" posed by a base track (kTurnY, kBasePos).
struct OneBone {
    OneBone() : mesh(BonedMesh({{"Solo", -1}})), motion(Motion({{"Solo", kTurnY, kBasePos}})) {
        skeleton = CreateSkeleton(mesh.get());
        matrices = AllocBoneMatrices(mesh.get());
        bone = GetSkeletonBone(skeleton, 0);
    }
    ~OneBone() {
        FreeBoneMatrices(matrices);
        DestroySkeleton(skeleton);
    }
    void SetLayer(uint32_t n, Quaternion q, Vector3 p, float w, uint32_t mode) {
        SetBoneLayerRotation(bone, &q, n);
        SetBoneLayerPosition(bone, &p, n);
        SetBoneLayerMode(bone, mode, n);
        SetBoneLayerWeight(bone, w, n);
    }
    Matrix Pose() {
        ComputeBonePose(skeleton, motion.get(), matrices, 0.0f);
        return bone->local;
    }
    std::unique_ptr<MeshItem> mesh;
    std::unique_ptr<MotionItem> motion;
    Skeleton* skeleton = nullptr;
    BoneMatrices* matrices = nullptr;
    Bone* bone = nullptr;
};

TEST(BonePoseTest, WeightZeroContributesNothingInAnyModeAndNegativeWeightsCount) {
    const Matrix base = Local(kTurnY, kBasePos);
    for (uint32_t mode : {0u, 1u, 2u}) {
        OneBone s;
        s.SetLayer(0, kTurnX, {5, 5, 5}, 0.0f, mode);
        EXPECT_EQ(s.bone->activeLayers, 0u);
        ExpectMatrixNear(s.Pose(), base, 0.0f);
    }
    OneBone s;
    s.SetLayer(0, kTurnX, {5, 0, 0}, -0.5f, 0);
    const Matrix posed = s.Pose();
    EXPECT_FALSE(SameMatrix(posed, base));
    EXPECT_FLOAT_EQ(posed.m[3][0], 1.0f - 2.5f);
    ExpectMatrixNear(posed, Local(Mul(AxisRotation({1, 0, 0}, -0.2f), kTurnY),
                                  {-1.5f, 2.0f, 3.0f}));
}

TEST(BonePoseTest, ActiveLayersApplyInOrderAndUnknownModesAreSkipped) {
    OneBone s;
    s.SetLayer(1, kTurnX, {1, 0, 0}, 1.0f, 0);
    s.SetLayer(3, kTurnZ, {0, 1, 0}, 1.0f, 0);
    s.SetLayer(2, kTurnY, {0, 0, 9}, 1.0f, 7); // active, but mode 7 takes no part
    EXPECT_EQ(s.bone->activeLayers, 0b1110u);
    const Matrix posed = s.Pose();
    ExpectMatrixNear(posed, Local(Mul(kTurnZ, Mul(kTurnX, kTurnY)), {2.0f, 3.0f, 3.0f}));
    // The other order gives another rotation.
    EXPECT_GT(std::fabs(posed.m[0][1] - Local(Mul(kTurnX, Mul(kTurnZ, kTurnY)), {}).m[0][1]),
              1e-3f);
}

TEST(BonePoseTest, FullWeightUsesTheLayerRotationAsItIsAndOtherWeightsRebuildIt) {
    // A layer rotation that is not unit length shows which path ran.
    const Quaternion scaled = {0.0f, 0.0f, 0.0f, 2.0f};
    OneBone full;
    full.SetLayer(0, scaled, {}, 1.0f, 0);
    ExpectMatrixNear(full.Pose(), Local(Mul(scaled, kTurnY), kBasePos), 0.0f);

    OneBone near;
    near.SetLayer(0, kTurnX, {}, 0.999f, 0);
    const Matrix rebuilt = near.Pose();
    ExpectMatrixNear(rebuilt, Local(Mul(AxisRotation({1, 0, 0}, 0.4f * 0.999f), kTurnY), kBasePos));
    OneBone exact;
    exact.SetLayer(0, kTurnX, {}, 1.0f, 0);
    EXPECT_FALSE(SameMatrix(exact.Pose(), rebuilt));
}

TEST(BonePoseTest, ComposeAfterBlendsOnTheOtherSideAndBlendPullsTowardTheLayer) {
    OneBone after;
    after.SetLayer(0, kTurnX, {0, 0, 1}, 1.0f, 2);
    ExpectMatrixNear(after.Pose(), Local(Mul(kTurnY, kTurnX), {1.0f, 2.0f, 4.0f}));

    OneBone blend;
    blend.SetLayer(0, kTurnX, {3, 2, 1}, 0.5f, 1);
    Quaternion half;
    QuaternionSlerp(&half, kTurnY, kTurnX, 0.5f);
    ExpectMatrixNear(blend.Pose(), Local(half, {2.0f, 2.0f, 2.0f}));

    // A blend layer after a compose layer pulls the accumulated pose.
    OneBone both;
    both.SetLayer(0, kTurnZ, {10, 0, 0}, 1.0f, 0);
    both.SetLayer(1, kTurnX, {0, 0, 0}, 1.0f, 1);
    ExpectMatrixNear(both.Pose(), Local(kTurnX, {0, 0, 0}));
}

TEST(BonePoseTest, HierarchyOffsetsAndBonesWithoutTracks) {
    auto mesh = BonedMesh({{"Root", -1}, {"Ghost", 0}, {"Leaf", 1}});
    mesh->bones[2]->offset.m[3][0] = -1.0f;
    auto motion = Motion({{"Leaf", {0, 0, 0, 1}, {0, 1, 0}}, {"Root", kTurnY, kBasePos}});
    Skeleton* skeleton = CreateSkeleton(mesh.get());
    ASSERT_NE(skeleton, nullptr);
    ASSERT_EQ(GetSkeletonBoneCount(skeleton), 3u);
    Bone* root = GetSkeletonBone(skeleton, 0);
    Bone* ghost = GetSkeletonBone(skeleton, 1);
    Bone* leaf = GetSkeletonBone(skeleton, 2);
    ASSERT_EQ(root->children.size(), 1u);
    EXPECT_EQ(root->children[0], ghost);
    EXPECT_EQ(ghost->children[0], leaf);

    // Ghost has no track: identity under its parent even with a layer on.
    SetBoneLayerRotation(ghost, &kTurnX, 0);
    SetBoneLayerWeight(ghost, 1.0f, 0);
    BoneMatrices* out = AllocBoneMatrices(mesh.get());
    ComputeBonePose(skeleton, motion.get(), out, 0.0f);
    ExpectMatrixNear(ghost->local, kBoneIdentity, 0.0f);
    ExpectMatrixNear(ghost->world, root->world, 0.0f);
    Matrix expectedLeaf;
    MatrixMultiply(&expectedLeaf, Local({0, 0, 0, 1}, {0, 1, 0}), root->world);
    ExpectMatrixNear(leaf->world, expectedLeaf);
    EXPECT_NEAR(leaf->world.m[3][1], 3.0f, 1e-5f);

    // out[i] = offset x world.
    Matrix expectedOut;
    MatrixMultiply(&expectedOut, leaf->offset, leaf->world);
    ExpectMatrixNear(out->matrices[2], expectedOut, 0.0f);
    Matrix world;
    EXPECT_EQ(GetBoneMatrix(leaf, &world), 1);
    ExpectMatrixNear(world, leaf->world, 0.0f);

    // A null out array changes no matrix.
    const Matrix before = root->world;
    const Matrix beforeLocal = root->local;
    ComputeBonePose(skeleton, Motion({{"Root", kTurnX, {9, 9, 9}}}).get(), nullptr, 0.0f);
    EXPECT_TRUE(SameMatrix(root->world, before));
    EXPECT_TRUE(SameMatrix(root->local, beforeLocal));

    FreeBoneMatrices(out);
    DestroySkeleton(skeleton);
}

TEST(BonePoseTest, NewMatricesAreIdentityAndAParentAfterItsChildHandsOverLastFrame) {
    // Bone 0's parent is bone 1, listed after it.
    auto mesh = BonedMesh({{"Child", 1}, {"Parent", -1}});
    BoneMatrices* out = AllocBoneMatrices(mesh.get());
    ASSERT_EQ(out->Count(), 2u);
    for (const Matrix& m : out->matrices) {
        ExpectMatrixNear(m, kBoneIdentity, 0.0f);
    }
    Skeleton* skeleton = CreateSkeleton(mesh.get());
    auto motion = Motion({{"Parent", {0, 0, 0, 1}, {5, 0, 0}}, {"Child", {0, 0, 0, 1}, {0, 1, 0}}});
    ComputeBonePose(skeleton, motion.get(), out, 0.0f);
    // First frame: the parent's world was still the identity.
    EXPECT_FLOAT_EQ(skeleton->bones[0]->world.m[3][0], 0.0f);
    ComputeBonePose(skeleton, motion.get(), out, 0.0f);
    EXPECT_FLOAT_EQ(skeleton->bones[0]->world.m[3][0], 5.0f);
    FreeBoneMatrices(out);
    DestroySkeleton(skeleton);
}

TEST(BonePoseTest, PosingMoreBonesThanTheMatricesHoldWritesOnlyWhatFits) {
    auto big = BonedMesh({{"B0", -1}, {"B1", 0}, {"B2", 1}, {"B3", 2}, {"B4", 3},
                          {"B5", 4}, {"B6", 5}, {"B7", 6}, {"B8", 7}, {"B9", 8}});
    auto small = BonedMesh({{"B0", -1}, {"B1", 0}, {"B2", 1}, {"B3", 2}, {"B4", 3}});
    auto motion = Motion({{"B0", {0, 0, 0, 1}, {1, 0, 0}}});
    Skeleton* skeleton = CreateSkeleton(big.get());
    BoneMatrices* out = AllocBoneMatrices(small.get());
    ASSERT_EQ(out->Count(), 5u);
    ComputeBonePose(skeleton, motion.get(), out, 0.0f);
    EXPECT_FLOAT_EQ(out->matrices[4].m[3][0], 1.0f);
    EXPECT_FLOAT_EQ(skeleton->bones[9]->world.m[3][0], 1.0f);
    FreeBoneMatrices(out);
    DestroySkeleton(skeleton);
}

TEST(SkeletonTest, LookUpsAndNullArguments) {
    auto mesh = BonedMesh({{"Twin", -1}, {"Twin", 0}, {"Other", 0}});
    Skeleton* skeleton = CreateSkeleton(mesh.get());
    EXPECT_EQ(std::vector<Bone*>({FindBoneByName(skeleton, "Twin"),
                                  FindBoneByName(skeleton, "twin"),
                                  FindBoneByName(skeleton, "Other"), GetSkeletonBone(skeleton, 3)}),
              std::vector<Bone*>(
                  {GetSkeletonBone(skeleton, 0), nullptr, GetSkeletonBone(skeleton, 2), nullptr}));
    EXPECT_STREQ(GetBoneName(GetSkeletonBone(skeleton, 2)), "Other");
    // The skeleton is a copy: posing it leaves the mesh's bones alone.
    SetBoneLayerWeight(GetSkeletonBone(skeleton, 0), 1.0f, 0);
    EXPECT_EQ(mesh->bones[0]->activeLayers, 0u);
    DestroySkeleton(skeleton);

    auto boneless = BonedMesh({});
    EXPECT_EQ(std::vector<const void*>({CreateSkeleton(boneless.get()), CreateSkeleton(nullptr),
                                        AllocBoneMatrices(nullptr), GetSkeletonBone(nullptr, 0),
                                        GetBoneName(nullptr)}),
              std::vector<const void*>(5, nullptr));
    BoneMatrices* empty = AllocBoneMatrices(boneless.get());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->Count(), 0u);
    FreeBoneMatrices(empty);
    EXPECT_EQ(std::vector<int>({int(GetSkeletonBoneCount(nullptr)), GetBoneMatrix(nullptr, nullptr),
                                SetBoneLayerWeight(nullptr, 1.0f, 0)}),
              std::vector<int>({0, 0, 0}));
    ComputeBonePose(nullptr, nullptr, nullptr, 0.0f);
    DestroySkeleton(nullptr);
    FreeBoneMatrices(nullptr);
}

TEST(SkeletonTest, LayerWeightBitsAndLayerIndexesPastThree) {
    Bone bone;
    EXPECT_EQ(SetBoneLayerWeight(&bone, std::numeric_limits<float>::quiet_NaN(), 2), 1);
    EXPECT_EQ(bone.activeLayers, 0b100u);
    EXPECT_EQ(SetBoneLayerWeight(&bone, -0.0f, 2), 1);
    EXPECT_EQ(bone.activeLayers, 0u);
    EXPECT_TRUE(std::signbit(bone.layers[2].weight));

    // Layer 4 and beyond: refused, nothing changes.
    const Quaternion q = {1, 0, 0, 0};
    const Vector3 p = {1, 1, 1};
    for (uint32_t n : {4u, 31u, 0xFFFFFFFFu}) {
        EXPECT_EQ(SetBoneLayerWeight(&bone, 1.0f, n) + SetBoneLayerRotation(&bone, &q, n) +
                      SetBoneLayerPosition(&bone, &p, n) + SetBoneLayerMode(&bone, 1, n),
                  0)
            << n;
    }
    EXPECT_EQ(bone.activeLayers, 0u);
    const Bone fresh;
    for (uint32_t n = 0; n < kBoneLayerCount; ++n) {
        EXPECT_EQ(bone.layers[n].mode, fresh.layers[n].mode);
        EXPECT_EQ(std::memcmp(&bone.layers[n].rotation, &fresh.layers[n].rotation,
                              sizeof(Quaternion)),
                  0);
    }
}

// --- motion layers ---------------------------------------------------------

static_assert(!std::is_invocable_v<decltype(&CreateMotionLayer), Skeleton*, uint32_t, uint32_t,
                                   uint32_t>);
static_assert(std::is_invocable_v<decltype(&CreateMotionLayer), Skeleton*, BoneGroup, LayerIndex,
                                  LayerMode>);
static_assert(!std::is_invocable_v<decltype(&CreateMotionLayer), Skeleton*, BoneGroup, LayerMode,
                                   LayerIndex>);
static_assert(!std::is_invocable_v<decltype(&ResourceLibrary::FindItemsByPrefix),
                                   ResourceLibrary&, const char*, int, uint32_t>);
static_assert(std::is_invocable_v<decltype(&ResourceLibrary::FindItemsByPrefix),
                                  ResourceLibrary&, const char*, uint32_t, ItemClass>);

MotionLayer* Layer(Skeleton* s, uint32_t group, uint32_t layer = 1, uint32_t mode = 0) {
    return CreateMotionLayer(s, BoneGroup(group), LayerIndex(layer), LayerMode(mode));
}

class MotionLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        mesh_ = BonedMesh({{"Pelvis", -1}, {"Spine1", 0}, {"Head", 1}, {"R_Hand", 1},
                           {"Spine1", 0}});
        skeleton_ = CreateSkeleton(mesh_.get());
    }
    void TearDown() override { DestroySkeleton(skeleton_); }
    Bone* B(uint32_t i) { return GetSkeletonBone(skeleton_, i); }

    std::unique_ptr<MeshItem> mesh_;
    Skeleton* skeleton_ = nullptr;
};

TEST_F(MotionLayerTest, GroupsPickTheFoundBonesInGroupOrder) {
    MotionLayer* upper = Layer(skeleton_, 1);
    ASSERT_NE(upper, nullptr);
    ASSERT_EQ(upper->EntryCount(), 3u);
    EXPECT_TRUE(upper->entries[0].bone == B(1) && upper->entries[1].bone == B(2) &&
                upper->entries[2].bone == B(3));
    EXPECT_EQ(upper->entries[2].boneName, "R_Hand");
    EXPECT_FLOAT_EQ(upper->entries[2].factor, 1.0f);
    FreeMotionLayer(upper);

    MotionLayer* every = Layer(skeleton_, 255);
    ASSERT_EQ(every->EntryCount(), 5u);
    EXPECT_EQ(every->entries[1].bone, B(1));
    EXPECT_EQ(every->entries[4].bone, B(1)); // the first bone of that name
    FreeMotionLayer(every);

    MotionLayer* tails = Layer(skeleton_, 6);
    ASSERT_NE(tails, nullptr);
    EXPECT_EQ(tails->EntryCount(), 0u);
    SetMotionLayerWeight(tails, 1.0f);
    SetMotionLayerMode(tails, 2);
    ApplyMotionToLayer(tails, Motion({{"Head", kTurnX, {}}}).get(), 0.0f);
    for (uint32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(B(i)->activeLayers, 0u);
        EXPECT_EQ(B(i)->layers[1].mode, 0u);
    }
    FreeMotionLayer(tails);

    MotionLayer* empty = Layer(skeleton_, 9);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->EntryCount(), 0u);
    FreeMotionLayer(empty);
    for (uint32_t group : {10u, 0u, 254u}) {
        EXPECT_EQ(Layer(skeleton_, group), nullptr) << group;
    }
    EXPECT_EQ(Layer(nullptr, 1), nullptr);
}

TEST_F(MotionLayerTest, WeightModeAndFree) {
    MotionLayer* layer = Layer(skeleton_, 2, 3, 1);
    ASSERT_EQ(layer->EntryCount(), 2u); // Spine1 and Head
    SetMotionLayerWeight(layer, 0.3f);
    EXPECT_EQ(B(1)->layers[3].weight, static_cast<float>(0.3f * 1.0));
    EXPECT_EQ(std::vector<uint32_t>({B(1)->activeLayers, B(2)->layers[3].mode, B(3)->activeLayers}),
              std::vector<uint32_t>({0b1000, 1, 0}));

    SetMotionLayerMode(layer, 2);
    EXPECT_EQ(B(2)->layers[3].mode * 10 + layer->mode, 22u);

    SetMotionLayerMode(layer, 1);
    SetMotionLayerWeight(layer, 0.0f);
    EXPECT_EQ(std::vector<uint32_t>({B(1)->activeLayers, B(2)->activeLayers, B(2)->layers[3].mode}),
              std::vector<uint32_t>({0, 0, 1}));

    // Freeing switches the layer off and keeps rotation, position and mode.
    SetMotionLayerWeight(layer, 1.0f);
    SetBoneLayerRotation(B(2), &kTurnZ, 3);
    FreeMotionLayer(layer);
    EXPECT_EQ(B(2)->activeLayers * 10 + B(2)->layers[3].mode, 1u);
    EXPECT_EQ(B(2)->layers[3].weight, 0.0f);
    EXPECT_FLOAT_EQ(B(2)->layers[3].rotation.z, kTurnZ.z);

    // No bone layer: freeing leaves the bones alone.
    MotionLayer* none = Layer(skeleton_, 2, LayerIndex::kNone, 0);
    SetBoneLayerWeight(B(1), 0.5f, 0);
    FreeMotionLayer(none);
    EXPECT_EQ(B(1)->activeLayers, 1u);
    FreeMotionLayer(nullptr);

    // A bone layer past 3: nothing reaches the bones.
    MotionLayer* wild = Layer(skeleton_, 2, 7, 1);
    SetMotionLayerWeight(wild, 1.0f);
    EXPECT_EQ(B(2)->activeLayers, 0u);
    FreeMotionLayer(wild);
}

TEST_F(MotionLayerTest, ApplyingAMotionSamplesTrackedBonesOnly) {
    MotionLayer* layer = Layer(skeleton_, 255, 0, 1);
    const Quaternion kept = kTurnZ;
    const Vector3 keptPosition = {7, 8, 9};
    SetBoneLayerRotation(B(3), &kept, 0);
    SetBoneLayerPosition(B(3), &keptPosition, 0);
    auto motion = Motion({{"Head", kTurnX, {0, 4, 0}}, {"Spine1", kTurnY, {1, 0, 0}}});
    ApplyMotionToLayer(layer, motion.get(), 0.0f);
    EXPECT_EQ(std::vector<float>({B(2)->layers[0].rotation.x, B(2)->layers[0].position.y,
                                  B(1)->layers[0].rotation.y, B(3)->layers[0].rotation.z,
                                  B(3)->layers[0].position.x}),
              std::vector<float>({kTurnX.x, 4, kTurnY.y, kept.z, 7}));
    ApplyMotionToLayer(layer, nullptr, 0.0f);

    // At full weight in blend mode the layer's motion replaces the base.
    SetMotionLayerWeight(layer, 1.0f);
    BoneMatrices* out = AllocBoneMatrices(mesh_.get());
    auto base = Motion({{"Pelvis", {0, 0, 0, 1}, {0, 0, 0}},
                        {"Spine1", {0, 0, 0, 1}, {0, 0, 0}},
                        {"Head", {0, 0, 0, 1}, {0, 0, 0}}});
    ComputeBonePose(skeleton_, base.get(), out, 0.0f);
    ExpectMatrixNear(B(2)->local, Local(kTurnX, {0, 4, 0}));
    FreeBoneMatrices(out);
    FreeMotionLayer(layer);
}

} // namespace
