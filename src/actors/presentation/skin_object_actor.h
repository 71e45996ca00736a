// The SkinObject actor (class 17, "SkinObject"): a Mesh Object whose mesh is
// skinned.
//
// It keeps a list of named motions and plays them on a stack of 11 layer
// records. A requested motion starts on the current layer while the motion
// it replaces moves to the next record and fades out over the new motion's
// blend time; names may have random variants ("<name>_01", "_02", ...) and
// transition motions ("<from>_2_<to>"). Every time one of its draw
// instances is drawn it steps its motions, poses its skeleton (once a
// frame) and skins its mesh (once a frame). Actors below a child "Bones"
// follow the bones of their names; a "Bip01" output actor follows the root
// track; a "Slave" skin skins with the pose of the SkinObject above it; the
// children of "Activate<n>" are started and stopped as layer n's motion
// changes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "actors/presentation/mesh_object_actor.h"
#include "core/actors/command_ids.h"

class MotionItem;
struct MotionLayer;
struct Skeleton;
struct BoneMatrices;
struct Bone;

inline constexpr uint32_t kSkinLayerCount = 11;
inline constexpr uint8_t kNoLayer = 255;

enum SkinPlayStyle : uint8_t { kSkinLoop = 0, kSkinOnce = 1, kSkinOnceThenHold = 2 };

// SkinLayer flag bits (bits 0-7 the destination bone layer, 8-11 the
// record's number, 17-22 the blend mode).
inline constexpr uint32_t kLayerTransition = 1u << 12;
inline constexpr uint32_t kLayerRamp = 1u << 13;
inline constexpr uint32_t kLayerFading = 1u << 14;
inline constexpr uint32_t kLayerWeightSet = 1u << 15;
inline constexpr uint32_t kLayerServingEnd = 1u << 16;

// Actor flag bits of the skin.
inline constexpr uint32_t kSkinLayersInUse = 1u << 0;
inline constexpr uint32_t kSkinResourcesLoaded = 1u << 1;
inline constexpr uint32_t kSkinFlag2 = 1u << 2;
inline constexpr uint32_t kSkinSelfCallbacks = 1u << 3;

struct SkinMotion {
    MotionItem *item = nullptr;
    int32_t index = -1;
    float length = 0.0f;
    std::string name = "Unassigned Motion";
    float blendTime = 0.0f;
    uint8_t priority = 0;
    uint8_t layer = kNoLayer;
    uint8_t playStyle = kSkinLoop;
    uint8_t extra = 0;
};

struct SkinLayer {
    uint32_t Number() const { return (flags >> 8) & 0xF; }
    uint32_t BoneLayer() const { return flags & 0xFF; }
    uint32_t BlendMode() const { return (flags >> 17) & 0x3F; }
    void SetBlendMode(uint32_t mode) { flags = (flags & ~(0x3Fu << 17)) | ((mode & 0x3F) << 17); }

    uint32_t flags = 0;
    uint32_t mask = 0;
    int32_t motion = -1;
    std::string requested = "N_Neutral";
    std::string next;
    float speed = 1.0f;
    float time = 999.0f;
    float weight = 1.0f;
    float target = 0.0f;
    float rate = 0.0f;
    MotionLayer *skeletonLayer = nullptr;
};

// An actor that follows a bone.
struct BoneSyncEntry {
    ActorLink link;
    Bone *bone = nullptr;
};

// The actors started and stopped as one layer's motion changes.
struct CallbackSlot {
    ActorLink root;
    ActorLink current;
};

class SkinObjectActor : public MeshObjectActor {
  public:
    SkinObjectActor();
    ~SkinObjectActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void Slot5() override;
    void CreateRenderInstances() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    SkinLayer &CurrentLayer() { return layers[currentLayer]; }

    std::vector<SkinMotion> motions;
    std::array<SkinLayer, kSkinLayerCount> layers;
    uint32_t skinFlags = 0;
    uint32_t currentLayer = 0;
    float lastStepTime = 0.0f;
    uint32_t poseStamp = 0xFFFFFFFFu;
    uint32_t skinStamp = 0xFFFFFFFFu;
    BoneMatrices *boneMatrices = nullptr;
    Skeleton *skeleton = nullptr;
    // Counts the skeletons made anew over an old one ("Set Mesh"): a bone
    // that "Get Bone" answered is gone once the count has moved on.
    uint32_t skeletonGeneration = 0;
    std::string autoAssignName;
    int32_t selected = -1;
    uint32_t slave = 0;
    ActorLink master;
    float sphere[4] = {0.0f, 0.0f, 0.0f, 0.0f}; // centre and radius
    const float *clipSphere = nullptr;          // null until a sphere is set
    ActorLink bip01;
    std::vector<std::unique_ptr<BoneSyncEntry>> boneSync;
    std::array<CallbackSlot, kSkinLayerCount> callbacks;
    bool callbacksEnabled = true;

  private:
    int SetMotion(const std::string &name);
    void MotionStep();
    // Layer 0 without a motion is sent "N_Neutral"; when it still has none,
    // it plays the first record from its start.
    void StartNeutralIfIdle();
    void Pose();
    void Skin();
    void ResyncBones();
    void CreateBoneSyncActors();
    void CreateActivateActors();
    void CallbackMotionSet(const std::string &name);
    int SetBip01Output(Actor *actor);
    // Gives the Bip01 bone of the skeleton to the output actor's motion.
    void PinBip01Bone();
    // The skeleton of a new mesh: the old one goes, and the bone-sync
    // entries and the Bip01 setting point into one made for the new mesh.
    int SetMesh(ParamBlock block);
    Vector3 MotionVector();
    // False when a motion cannot be acquired (no library to take it from).
    bool AutoAssign();
    void InitCommon(bool copy);
    void ApplyVersionRules(uint32_t version);
    int Create(ParamBlock block);
    void Precalculate();
    void InvalidLink(const ActorLink *link);
    void DeleteMotion();
    void SetLayerMask(uint32_t mask);
    void SetLayerBlendValue(SkinLayer &layer, float value);
    void LerpLayerBlendValue(SkinLayer &layer, float lerpTime, float value);
    void FreeSkeletonLayer(SkinLayer &layer);
    void FreeAllSkeletonLayers();
    bool EnsureSkeleton();
    bool EnsureBoneMatrices();
    void FreeBoneMatrices();
    int FindMotion(const std::string &name) const;
    SkinMotion *Selected();
    MotionItem *LayerItem(const SkinLayer &layer) const;
    void InitLayers();
    void LoadResources();
    void UnloadResources();
};

// The skeleton count of a SkinObject (skeletonGeneration); 0 for any other
// actor and for none.
uint32_t SkeletonGenerationOf(const Actor *actor);

// The name defaults of a motion record by its name: "Die" at characters
// 3-5 (blend time 0.1, and OnceThenHold when `dieHolds`), "Dead" at 3-6
// (OnceThenHold), "_BL_" at 2-5 (Once), characters counted from 1. With
// `dieOnly` only the first rule applies.
void ApplyMotionNameRules(SkinMotion &motion, bool dieHolds, bool dieOnly);
