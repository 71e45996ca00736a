// The Mesh Object actor (class 3, "Object"): one library mesh on screen.
//
// Every subset of the mesh is a sub-mesh with its own material, Z offset
// and draw instance. The mesh's vertex animation runs on the actor's own
// clock in one of six play styles; the mesh's per-subset collision shapes
// can become the actor's collision objects ("MeshSync Collision") and the
// subsets' own materials can be taken over ("MeshSync Material"). Skinned
// objects and particle systems derive from it: they pass every command they
// do not serve to MeshObjectActor::HandleCommand and override the two
// render-instance operations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class MeshItem;
class MaterialItem;
struct DrawInstance;
class LibraryItem;

// Play styles of mesh animation.
enum AnimationStyle : uint32_t {
    kForwardOnce = 0,
    kBackwardOnce = 1,
    kForwardBackwardOnce = 2,
    kForwardLoop = 3,
    kBackwardLoop = 4,
    kForwardBackwardLoop = 5,
};

// MeshObjectFlags bits.
inline constexpr uint32_t kMeshSyncCollision = 1u << 0;
inline constexpr uint32_t kMeshResourcesLoaded = 1u << 2;
inline constexpr uint32_t kMeshPlaying = 1u << 3;
inline constexpr uint32_t kMeshInitiallyPlaying = 1u << 4;
inline constexpr uint32_t kMeshSyncMaterial = 1u << 5;

// Collision-object flag of the objects made from the mesh's subsets; they
// are never saved and are made again after a load.
inline constexpr uint32_t kColObjMeshSynchronised = 1u << 7;

// The library slots taken when none is given or the given one is empty.
inline constexpr uint32_t kDefaultMeshSlot = 3;
inline constexpr uint32_t kDefaultMaterialSlot = 4;

// One sub-mesh: a subset of the mesh with its material and draw instance.
struct SubMeshRecord {
    MaterialItem *material = nullptr;
    uint32_t materialIndex = kDefaultMaterialSlot;
    float zOffset = 0.0f;
    DrawInstance *instance = nullptr;
};

class MeshObjectActor : public Actor {
  public:
    MeshObjectActor();
    ~MeshObjectActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // Makes a draw instance for every sub-mesh without one and sets their
    // bounding scale.
    virtual void CreateRenderInstances();
    // Destroys every sub-mesh's draw instance.
    virtual void ReleaseRenderInstances();

    // Its mesh, for the draw groups' bounds and the collision tests.
    MeshItem *CollisionMesh() const override { return mesh; }

    MeshItem *mesh = nullptr;
    uint32_t meshIndex = kDefaultMeshSlot;
    std::vector<SubMeshRecord> subMeshes;
    uint32_t activeSubset = 0;
    float totalTime = 0.0f;
    float playTime = 0.0f; // the animation's current time
    uint32_t animationStyle = kForwardLoop;
    uint32_t direction = 0; // 0 forward, 1 backward
    float speed = 1.0f;
    float sortValue = 1.0f; // handed to the renderer with every queued instance
    uint32_t meshFlags = kMeshSyncCollision | kMeshSyncMaterial;

  protected:
    // The animation step of one frame (dt seconds on the actor's clock).
    void AdvanceAnimation(float dt);

  private:
    int SetMesh(LibraryItem *item);
    void RebuildMeshColObjs();
    void InitLoad();
    int Create(ParamBlock block);
    void CalculateBox(ParamBlock block);
    void ResetAnimation();
    void SetCurrentTime(float value);
    // Empties the records from `count` on and adds fresh ones up to it.
    void ResizeSubMeshes(size_t count);
    void ReleaseMaterials();
    SubMeshRecord *Record(uint32_t index);
    void LoadResources();
    void UnloadResources();
};
