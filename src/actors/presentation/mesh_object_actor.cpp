#include "actors/presentation/mesh_object_actor.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/file_system.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"
#include "library/library_item.h"
#include "library/mesh.h"
#include "library/mesh_geometry.h"
#include "library/resource_library.h"

namespace {

constexpr float kFrameTime = 1.0f / 30.0f;
// How far inside its ends the animation clock stops or turns.
constexpr float kEndMargin = 1e-9f;
constexpr float kTurnMargin = 2e-9f;

// Bytes of one sub-mesh in a file: material index and Z offset.
constexpr uint64_t kSubMeshRecordBytes = 8;

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Mesh Object Properties", PropertyKind::PageTitle, 0, 0},
    {"Mesh:", PropertyKind::MeshPick, cmd::mesh_object::SetMesh, cmd::mesh_object::GetMesh},
    {"Sub Mesh Material", PropertyKind::Caption, 0, 0},
    {"Material:", PropertyKind::MaterialPick, cmd::mesh_object::SetMaterial_448, cmd::mesh_object::GetMaterial},
    {"Z-Offset:|cm|", PropertyKind::Real, cmd::mesh_object::SetZOffset, cmd::mesh_object::GetZOffset},
    {"Visible:", PropertyKind::CheckBox, cmd::mesh_object::SetVisible, cmd::mesh_object::GetVisible},
    {"MeshSync Collision:", PropertyKind::CheckBox, cmd::mesh_object::SetSyncCollision, cmd::mesh_object::GetSyncCollision},
    {"MeshSync Material:", PropertyKind::CheckBox, cmd::mesh_object::SetSyncMaterial, cmd::mesh_object::GetSyncMaterial},
    {"Animated Mesh Object Properties", PropertyKind::PageTitle, 0, 0},
    {"Animation Style", PropertyKind::Caption, 0, 0},
    {"Style:|Forward Once|0|Backward Once|1|Forward->Backward Once|2|Forward Loop|3|Backward "
     "Loop|4|Forward<->Backward Loop|5|",
     PropertyKind::Enumeration, cmd::mesh_object::SetMeshAnimationStyle_452,
     cmd::mesh_object::SetMeshAnimationStyle_453},
    {"Speed:|%|", PropertyKind::Real, cmd::base::SetAnimationSpeed, cmd::base::GetAnimationSpeed,
     100.0f},
    {"Initial Animation State", PropertyKind::Caption, 0, 0},
    {"Playing:", PropertyKind::CheckBox, cmd::mesh_object::SetInitialMeshAnimationPlaying_454, cmd::mesh_object::SetInitialMeshAnimationPlaying_455},
    {"Play Animation|Play|", PropertyKind::Button, cmd::base::AnimationPlay, 0},
    {"Stop Animation|Stop|", PropertyKind::Button, cmd::base::AnimationStop, 0},
    {"Reset Animation|Reset|", PropertyKind::Button, cmd::base::AnimationReset, 0},
};
// clang-format on

ResourceLibrary *Library() { return GetLibrary(); }

MeshItem *AcquireMesh(uint32_t index) {
    ResourceLibrary *library = Library();
    if (library == nullptr) {
        return nullptr;
    }
    return static_cast<MeshItem *>(library->AcquireItem(index, ItemClass::Mesh, 0, 0));
}

MaterialItem *AcquireMaterial(uint32_t index) {
    ResourceLibrary *library = Library();
    if (library == nullptr) {
        return nullptr;
    }
    return static_cast<MaterialItem *>(library->AcquireItem(index, ItemClass::Material, 0, 0));
}

// The material at the index, else the default one.
void AcquireRecordMaterial(SubMeshRecord &record, uint32_t index) {
    record.material = AcquireMaterial(index);
    record.materialIndex = index;
    if (record.material == nullptr) {
        record.material = AcquireMaterial(kDefaultMaterialSlot);
        record.materialIndex = kDefaultMaterialSlot;
    }
}

void ReleaseMaterial(SubMeshRecord &record) {
    if (ResourceLibrary *library = Library()) {
        library->DeleteItemIfUnused(record.material);
    }
}

void DestroyInstance(SubMeshRecord &record) {
    if (record.instance != nullptr) {
        if (ResourceLibrary *library = Library()) {
            library->DestroyDrawInstance(record.instance);
        }
        record.instance = nullptr;
    }
}

void DestroyRecord(SubMeshRecord &record) {
    ReleaseMaterial(record);
    DestroyInstance(record);
}

// Total time of a mesh's animation: one frame of 1/30 s less than its
// frame count.
float MeshTotalTime(const MeshItem *mesh) {
    const uint32_t frames = GetMeshFrameCount(mesh);
    return frames > 0 ? static_cast<float>(frames - 1) * kFrameTime : 0.0f;
}

bool ReadBool(ParamBlock block) { return block.ReadU32(0) != 0; }

void SetBit(uint32_t &word, uint32_t bit, bool on) { word = on ? (word | bit) : (word & ~bit); }

int SendSelf(Actor &actor, uint32_t commandId, ParamBlock block = ParamBlock()) {
    return actor.HandleCommand(commandId, block);
}

// The mesh-synchronised collision objects go; the others stay. Through the
// actor's own calls, so that an entered actor's group lists follow.
void RemoveMeshColObjs(Actor &actor) {
    for (size_t i = actor.colObjs.size(); i-- > 0;) {
        if ((actor.colObjs[i]->flags & kColObjMeshSynchronised) != 0) {
            actor.RemoveColObj(i);
        }
    }
}

} // namespace

MeshObjectActor::MeshObjectActor() {
    classId = kMeshObjectClassId;
    state |= kActorEnabled;
}

MeshObjectActor::~MeshObjectActor() {
    ReleaseMesh(mesh);
    mesh = nullptr;
    for (SubMeshRecord &record : subMeshes) {
        DestroyRecord(record);
    }
    subMeshes.clear();
}

void MeshObjectActor::RegisterClass() {
    RegisterBasicClassSheet(kMeshObjectClassId, kSheet);
    MarkClassPassingCommandsOn(kMeshObjectClassId, typeid(MeshObjectActor));
}

SubMeshRecord *MeshObjectActor::Record(uint32_t index) {
    return index < subMeshes.size() ? &subMeshes[index] : nullptr;
}

void MeshObjectActor::ResizeSubMeshes(size_t count) {
    for (size_t i = count; i < subMeshes.size(); ++i) {
        DestroyRecord(subMeshes[i]);
    }
    subMeshes.resize(count);
}

void MeshObjectActor::ReleaseMaterials() {
    for (SubMeshRecord &record : subMeshes) {
        ReleaseMaterial(record);
    }
}

void MeshObjectActor::CreateRenderInstances() {
    ResourceLibrary *library = Library();
    if (library == nullptr) {
        return;
    }
    for (size_t i = 0; i < subMeshes.size(); ++i) {
        SubMeshRecord &record = subMeshes[i];
        if (record.instance == nullptr) {
            record.instance = library->CreateDrawInstance(
                mesh, static_cast<uint32_t>(i), record.material, &worldMatrix,
                static_cast<uint32_t>(actorId), record.zOffset);
        }
    }
    if (!HasFlag(kActorWorldMatrixValid)) {
        UpdateWorldMatrix();
    }
    if (!HasFlag(kActorBoundingScaleKept)) {
        boundingScale = MatrixLargestColumnLength(worldMatrix);
    }
    for (SubMeshRecord &record : subMeshes) {
        if (record.instance != nullptr) {
            SetDrawInstanceScale(record.instance, boundingScale);
        }
    }
}

void MeshObjectActor::ReleaseRenderInstances() {
    for (SubMeshRecord &record : subMeshes) {
        DestroyInstance(record);
    }
}

void MeshObjectActor::AdvanceAnimation(float dt) {
    if (!(totalTime > 0.0f) || (meshFlags & kMeshPlaying) == 0) {
        return;
    }
    if (direction == 0) {
        playTime += dt * speed;
    } else {
        playTime -= dt * speed;
    }
    if (playTime >= totalTime) {
        switch (animationStyle) {
        case kForwardOnce:
            playTime = totalTime - kEndMargin;
            meshFlags &= ~kMeshPlaying;
            SendSelf(*this, cmd::mesh_object::OnMeshAnimationEnd);
            break;
        case kForwardBackwardOnce:
        case kForwardBackwardLoop:
            direction = 1;
            playTime = totalTime - kTurnMargin;
            break;
        case kForwardLoop:
            playTime -= totalTime;
            if (playTime > totalTime) {
                playTime = 0.0f;
            }
            SendSelf(*this, cmd::mesh_object::OnMeshAnimationLoop);
            break;
        default:
            break;
        }
    } else if (playTime < 0.0f) {
        switch (animationStyle) {
        case kBackwardOnce:
            playTime = 0.0f;
            meshFlags &= ~kMeshPlaying;
            SendSelf(*this, cmd::mesh_object::OnMeshAnimationEnd);
            break;
        case kForwardBackwardOnce:
            meshFlags &= ~kMeshPlaying;
            direction = 0;
            playTime = 0.0f;
            SendSelf(*this, cmd::mesh_object::OnMeshAnimationEnd);
            break;
        case kBackwardLoop:
            playTime = totalTime - kEndMargin;
            SendSelf(*this, cmd::mesh_object::OnMeshAnimationLoop);
            break;
        case kForwardBackwardLoop:
            direction = 0;
            playTime = kEndMargin;
            SendSelf(*this, cmd::mesh_object::OnMeshAnimationLoop);
            break;
        default:
            break;
        }
    }
}

void MeshObjectActor::Update() {
    const uint32_t shown = kActorOperational | kActorEnabled;
    if ((state & shown) == shown) {
        RefreshTimeRecord(timeRecord);
        const float dt = timeRecord != nullptr ? timeRecord->delta : 0.0f;
        AdvanceAnimation(dt);
        // The events above may have hidden or deleted parts of the actor's
        // state: only what is still there is drawn.
        if (!HasFlag(kActorWorldMatrixValid)) {
            UpdateWorldMatrix();
        }
        if (mesh != nullptr && !subMeshes.empty() && subMeshes.front().instance == nullptr) {
            CreateRenderInstances();
        }
        if (ResourceLibrary *library = Library()) {
            const float frame = GetMeshFrameRate(mesh) * playTime;
            for (SubMeshRecord &record : subMeshes) {
                library->QueueDrawInstance(record.instance, frame, sortValue);
            }
        }
    }
    Actor::Update();
}

void MeshObjectActor::ResetAnimation() {
    switch (animationStyle) {
    case kForwardOnce:
    case kForwardBackwardOnce:
    case kForwardLoop:
    case kForwardBackwardLoop:
        direction = 0;
        playTime = 0.0f;
        break;
    case kBackwardOnce:
    case kBackwardLoop:
        direction = 1;
        playTime = totalTime - kEndMargin;
        break;
    default:
        break;
    }
}

void MeshObjectActor::SetCurrentTime(float value) {
    playTime = value;
    if (value >= totalTime) {
        playTime = totalTime - kEndMargin;
    }
}

int MeshObjectActor::SetMesh(LibraryItem *item) {
    ReleaseRenderInstances();
    ReleaseMesh(mesh);
    mesh = nullptr;
    meshIndex = static_cast<uint32_t>(ResourceLibrary::GetItemIndex(item));
    mesh = AcquireMesh(meshIndex);
    totalTime = MeshTotalTime(mesh);
    if (mesh == nullptr) {
        return 0;
    }
    ReleaseMaterials();
    ResizeSubMeshes(GetSubsetCollisionCount(mesh));
    const bool entered = HasFlag(kActorInDrawGroup);
    RemoveActorFromDrawGroup(this, 0);
    for (size_t i = 0; i < subMeshes.size(); ++i) {
        AcquireRecordMaterial(subMeshes[i],
                              GetSubsetCollisionParam(mesh, static_cast<uint32_t>(i)));
    }
    RemoveMeshColObjs(*this);
    SendSelf(*this, cmd::mesh_object::RebuildMeshColObjs);
    // Back into the group with the new objects, so that they collide.
    if (entered && !HasFlag(kActorInDrawGroup)) {
        AddActorToDrawGroup(this, 0);
    }
    activeSubset = 0;
    ReleaseRenderInstances();
    return 1;
}

void MeshObjectActor::RebuildMeshColObjs() {
    if ((meshFlags & kMeshSyncCollision) == 0) {
        return;
    }
    // A rebuild replaces the objects of an earlier one.
    RemoveMeshColObjs(*this);
    for (size_t i = 0; i < subMeshes.size(); ++i) {
        const auto subset = static_cast<uint32_t>(i);
        const uint32_t type = GetSubsetCollisionType(mesh, subset);
        if (type < 1 || type > 13 || type == 7) {
            continue;
        }
        const MaterialItem *material = subMeshes[i].material;
        ColObj object(this);
        object.name.clear();
        object.flags = kColObjActive | kColObjSolid | kColObjMeshSynchronised;
        object.groups = 1;
        object.receiveGroups = 1;
        object.excludeGroups = 0;
        object.type = type;
        object.material = GetMaterialField2(material);
        object.fill = 7;
        object.boxMin = {0.0f, 0.0f, 0.0f};
        object.boxMax = {0.0f, 0.0f, 0.0f};
        object.reference = static_cast<int32_t>(subset);
        if (type == 1) {
            float sphere[4] = {};
            GetSubsetCollisionVector(sphere, mesh, subset);
            object.boxMin = {sphere[0], sphere[1], sphere[2]};
            object.boxMax = {sphere[3], sphere[3], sphere[3]};
            object.reference = -1;
        } else if (type == 2 || type == 3) {
            AABox box{};
            GetSubsetCollisionExtents(&box, mesh, subset);
            object.boxMin = box.min;
            object.boxMax = box.max;
        }
        object.hitEffect = GetMaterialField8(material);
        AddColObj(object);
    }
}

void MeshObjectActor::InitLoad() {
    const ActorSystem *system = GetActorSystem();
    const uint32_t version = system != nullptr ? system->GetFileVersion() : kNoFileVersion;
    if (version < 14) {
        speed = 30.0f;
        state |= kActorEnabled;
    }
    if (version < 44) {
        colObjs.clear();
        meshFlags |= kMeshSyncCollision;
    }
    if (version < 47) {
        speed *= kFrameTime;
    }
    MeshItem *found = AcquireMesh(meshIndex);
    if (found == nullptr) {
        meshIndex = kDefaultMeshSlot;
        found = AcquireMesh(kDefaultMeshSlot);
    }
    mesh = found;
    // Without any mesh there is nothing to rebuild the records on. The
    // rebuild goes through the handler, so that a class that keeps a mesh of
    // its own can refuse it.
    if (mesh != nullptr && GetSubsetCollisionCount(mesh) != subMeshes.size()) {
        LibraryItem *item = found;
        SendSelf(*this, cmd::mesh_object::SetMesh, ParamBlock(&item, sizeof(item)));
    }
    if (version < 58) {
        for (size_t i = 0; i < subMeshes.size(); ++i) {
            if (subMeshes[i].materialIndex !=
                GetSubsetCollisionParam(mesh, static_cast<uint32_t>(i))) {
                meshFlags &= ~kMeshSyncMaterial;
                break;
            }
        }
    }
    for (size_t i = 0; i < subMeshes.size(); ++i) {
        SubMeshRecord &record = subMeshes[i];
        uint32_t index = record.materialIndex;
        if ((meshFlags & kMeshSyncMaterial) != 0) {
            index = GetSubsetCollisionParam(mesh, static_cast<uint32_t>(i));
        }
        AcquireRecordMaterial(record, index);
    }
    SendSelf(*this, cmd::mesh_object::RebuildMeshColObjs);
}

int MeshObjectActor::Create(ParamBlock block) {
    Actor *sourceActor = block.ReadActor(0);
    auto *source = dynamic_cast<MeshObjectActor *>(sourceActor);
    if (sourceActor != nullptr && sourceActor != this) {
        if (source == nullptr) {
            return 1;
        }
        CopyFrom(*source);
        boundingScale = source->boundingScale;
        ReleaseRenderInstances();
        for (SubMeshRecord &record : subMeshes) {
            ReleaseMaterial(record);
        }
        ReleaseMesh(mesh);
        meshIndex = source->meshIndex;
        subMeshes = source->subMeshes;
        activeSubset = source->activeSubset;
        totalTime = source->totalTime;
        playTime = source->playTime;
        animationStyle = source->animationStyle;
        direction = source->direction;
        speed = source->speed;
        sortValue = source->sortValue;
        meshFlags = source->meshFlags;
        mesh = AcquireMesh(meshIndex);
        for (SubMeshRecord &record : subMeshes) {
            record.instance = nullptr;
        }
        meshFlags &= ~kMeshResourcesLoaded;
        SendSelf(*this, cmd::base::LoadResources);
        return 1;
    }
    meshIndex = kDefaultMeshSlot;
    mesh = AcquireMesh(kDefaultMeshSlot);
    ResizeSubMeshes(0);
    subMeshes.resize(1);
    AcquireRecordMaterial(subMeshes[0], kDefaultMaterialSlot);
    if (mesh == nullptr || subMeshes[0].material == nullptr) {
        return 0;
    }
    return 1;
}

void MeshObjectActor::CalculateBox(ParamBlock block) {
    if (mesh == nullptr) {
        return;
    }
    Vector3 lo = block.Read<Vector3>(0);
    Vector3 hi = block.Read<Vector3>(sizeof(Vector3));
    const Matrix &world = GetWorldMatrix();
    for (size_t i = 0; i < subMeshes.size(); ++i) {
        AABox box{};
        ComputeVertexBounds(&box, mesh, static_cast<uint32_t>(i), nullptr);
        Vector3 min{};
        Vector3 max{};
        BoxTransformBounds(&min, &max, box.min, box.max, world);
        lo = {std::min(lo.x, min.x), std::min(lo.y, min.y), std::min(lo.z, min.z)};
        hi = {std::max(hi.x, max.x), std::max(hi.y, max.y), std::max(hi.z, max.z)};
    }
    block.Write(0, lo);
    block.Write(sizeof(Vector3), hi);
}

void MeshObjectActor::LoadResources() {
    if ((meshFlags & kMeshResourcesLoaded) != 0) {
        return;
    }
    if (ResourceLibrary *library = Library()) {
        library->LoadItem(mesh);
        for (SubMeshRecord &record : subMeshes) {
            library->LoadItem(record.material);
        }
    }
    meshFlags |= kMeshResourcesLoaded;
}

void MeshObjectActor::UnloadResources() {
    if ((meshFlags & kMeshResourcesLoaded) == 0) {
        return;
    }
    if (ResourceLibrary *library = Library()) {
        library->ReleaseItem(mesh);
        for (SubMeshRecord &record : subMeshes) {
            library->ReleaseItem(record.material);
        }
    }
    meshFlags &= ~kMeshResourcesLoaded;
}

int MeshObjectActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::mesh_object::GetSubsetCount:
        block.WriteU32(0, static_cast<uint32_t>(subMeshes.size()));
        break;
    case cmd::mesh_object::SetActiveSubset:
        activeSubset = block.ReadU32(0);
        break;
    case cmd::mesh_object::GetActiveSubset:
        block.WriteU32(0, activeSubset);
        break;
    case cmd::mesh_object::SetMesh:
        if (SetMesh(static_cast<LibraryItem *>(block.ReadPointer(0))) == 0) {
            return 0;
        }
        break;
    case cmd::mesh_object::GetMesh:
        block.WritePointer(0, mesh);
        break;
    case cmd::mesh_object::SetMaterial_447: {
        ResourceLibrary *library = Library();
        const std::string name(block.ReadString(0));
        auto *found = library != nullptr ? static_cast<MaterialItem *>(library->FindItemByName(
                                               name.c_str(), ItemClass::Material))
                                         : nullptr;
        if (found == nullptr) {
            break;
        }
        ReleaseRenderInstances();
        for (SubMeshRecord &record : subMeshes) {
            ReleaseMaterial(record);
            record.material = found;
            record.materialIndex = static_cast<uint32_t>(ResourceLibrary::GetItemIndex(found));
        }
        break;
    }
    case cmd::mesh_object::SetMaterial_448: {
        auto *item = static_cast<LibraryItem *>(block.ReadPointer(0));
        SubMeshRecord *record = Record(block.ReadU32(sizeof(void *)));
        if (record == nullptr) {
            return 0;
        }
        ReleaseMaterial(*record);
        DestroyInstance(*record);
        const auto index = static_cast<uint32_t>(ResourceLibrary::GetItemIndex(item));
        MaterialItem *material = AcquireMaterial(index);
        if (material == nullptr) {
            return 0;
        }
        record->material = material;
        record->materialIndex = index;
        ReleaseRenderInstances();
        break;
    }
    case cmd::mesh_object::GetMaterial: {
        const SubMeshRecord *record = Record(block.ReadU32(sizeof(void *)));
        block.WritePointer(0, record != nullptr ? record->material : nullptr);
        break;
    }
    case cmd::mesh_object::SetZOffset:
        if (SubMeshRecord *record = Record(activeSubset)) {
            record->zOffset = block.ReadF32(0);
            ReleaseRenderInstances();
        }
        break;
    case cmd::mesh_object::GetZOffset: {
        const SubMeshRecord *record = Record(activeSubset);
        block.WriteF32(0, record != nullptr ? record->zOffset : 0.0f);
        break;
    }
    case cmd::mesh_object::SetMeshAnimationStyle_452:
        animationStyle = block.ReadU32(0);
        ResetAnimation();
        break;
    case cmd::mesh_object::SetMeshAnimationStyle_453:
        block.WriteU32(0, animationStyle);
        break;
    case cmd::mesh_object::SetInitialMeshAnimationPlaying_454:
        SetBit(meshFlags, kMeshInitiallyPlaying, ReadBool(block));
        break;
    case cmd::mesh_object::SetInitialMeshAnimationPlaying_455:
        block.WriteU32(0, (meshFlags & kMeshInitiallyPlaying) != 0 ? 1u : 0u);
        break;
    case cmd::mesh_object::SetVisible:
        SetBit(state, kActorEnabled, ReadBool(block));
        break;
    case cmd::mesh_object::GetVisible:
        block.WriteU32(0, (state & kActorEnabled) != 0 ? 1u : 0u);
        break;
    case cmd::mesh_object::SetSyncCollision:
        SetBit(meshFlags, kMeshSyncCollision, ReadBool(block));
        break;
    case cmd::mesh_object::GetSyncCollision:
        block.WriteU32(0, (meshFlags & kMeshSyncCollision) != 0 ? 1u : 0u);
        break;
    case cmd::mesh_object::SetSyncMaterial:
        SetBit(meshFlags, kMeshSyncMaterial, ReadBool(block));
        break;
    case cmd::mesh_object::GetSyncMaterial:
        block.WriteU32(0, (meshFlags & kMeshSyncMaterial) != 0 ? 1u : 0u);
        break;
    case cmd::mesh_object::RebuildMeshColObjs:
        RebuildMeshColObjs();
        break;

    case cmd::base::Start:
    case cmd::base::ActionStart: {
        uint32_t on = 1;
        SendSelf(*this, cmd::mesh_object::SetVisible, BlockOf(on));
        RefreshTimeRecord(timeRecord);
        if (timeRecord != nullptr && timeRecord->previousTime == currentTime) {
            SendSelf(*this, cmd::base::AnimationReset);
            SendSelf(*this, cmd::base::AnimationPlay);
        }
        break;
    }
    case cmd::base::Stop:
    case cmd::base::ActionStopPost:
    case cmd::base::KillPost:
        if ((state & kActorEnabled) != 0) {
            uint32_t off = 0;
            SendSelf(*this, cmd::mesh_object::SetVisible, BlockOf(off));
        }
        break;
    case cmd::base::ActionStop:
    case cmd::base::Kill:
        if (!colObjs.empty() && HasFlag(kActorCollisionEnabled)) {
            uint32_t off = 0;
            SendSelf(*this, cmd::base::SetCollisionEnable, BlockOf(off));
        }
        break;
    case cmd::base::InitLoad:
        InitLoad();
        break;
    case cmd::base::SetResource: {
        ResourceLibrary *library = Library();
        const std::string name(block.ReadString(0));
        LibraryItem *found =
            library != nullptr ? library->FindItemByName(name.c_str(), ItemClass::Mesh) : nullptr;
        if (found == nullptr) {
            return 0;
        }
        LibraryItem *item = found;
        SendSelf(*this, cmd::mesh_object::SetMesh, ParamBlock(&item, sizeof(item)));
        return 1;
    }
    case cmd::base::CalculateAABox:
        CalculateBox(block);
        break;
    case cmd::base::Precalculate:
        totalTime = MeshTotalTime(mesh);
        break;
    case cmd::base::StartGame:
        if ((meshFlags & kMeshInitiallyPlaying) != 0) {
            SendSelf(*this, cmd::base::AnimationPlay);
        }
        break;
    case cmd::base::Create:
        if (Create(block) == 0) {
            return 0;
        }
        break;
    case cmd::base::CalcActionTime_203:
        if (speed != 0.0f) {
            block.WriteF32(0, std::max(block.ReadF32(0), totalTime / speed));
        }
        break;
    case cmd::base::ActionStartValue:
    case cmd::base::ActionStopValue:
    case cmd::base::KillValue:
        sortValue = block.ReadF32(0);
        break;
    case cmd::base::LoadResources:
        LoadResources();
        break;
    case cmd::base::UnloadResources:
        UnloadResources();
        break;
    case cmd::base::SetCurrentTime:
        SetCurrentTime(block.ReadF32(0));
        break;
    case cmd::base::GetCurrentTime:
        block.WriteF32(0, playTime);
        break;
    case cmd::base::SetCurrentNormalizedTime:
        SetCurrentTime(totalTime * block.ReadF32(0));
        return 1;
    case cmd::base::GetCurrentNormalizedTime:
        // A still mesh has no position in its animation.
        block.WriteF32(0, totalTime != 0.0f ? playTime / totalTime : 0.0f);
        return 1;
    case cmd::base::GetTotalTime:
        block.WriteF32(0, totalTime);
        break;
    case cmd::base::AnimationPlay:
        meshFlags |= kMeshPlaying;
        break;
    case cmd::base::AnimationStop:
        meshFlags &= ~kMeshPlaying;
        break;
    case cmd::base::AnimationReset:
        ResetAnimation();
        break;
    case cmd::base::SetAnimationSpeed:
        speed = block.ReadF32(0);
        break;
    case cmd::base::GetAnimationSpeed:
        block.WriteF32(0, speed);
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int MeshObjectActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const bool writing = archive.IsWriting();
    const uint32_t version = archive.Version();
    if (version >= 1) {
        archive.SerializeWord(&meshIndex);
    }
    if (version >= 58) {
        // A text nobody reads any more: written empty, read and dropped.
        std::string text;
        archive.SerializeString(text);
    }
    if (version >= 1) {
        uint32_t count = static_cast<uint32_t>(subMeshes.size());
        archive.SerializeWord(&count);
        if (!writing) {
            if (archive.Failed() || uint64_t{count} * kSubMeshRecordBytes > archive.BytesLeft()) {
                archive.SetFailed();
                return 0;
            }
            ResizeSubMeshes(count);
        }
        for (SubMeshRecord &record : subMeshes) {
            archive.SerializeWord(&record.materialIndex);
            archive.SerializeWords(&record.zOffset, 1);
        }
    }
    if (version >= 5) {
        auto flagWord = [&](uint32_t &word, uint32_t bit) {
            uint32_t value = (word & bit) != 0 ? 1u : 0u;
            archive.SerializeWord(&value);
            if (!writing && !archive.Failed()) {
                SetBit(word, bit, value != 0);
            }
        };
        archive.SerializeWord(&animationStyle);
        flagWord(meshFlags, kMeshInitiallyPlaying);
        archive.SerializeWords(&speed, 1);
        if (version < 64) {
            flagWord(state, kActorEnabled);
        }
        flagWord(meshFlags, kMeshSyncCollision);
        flagWord(meshFlags, kMeshPlaying);
    }
    if (version >= 47) {
        archive.SerializeWords(&playTime, 1);
        archive.SerializeWord(&direction);
    }
    if (version >= 58) {
        uint32_t value = (meshFlags & kMeshSyncMaterial) != 0 ? 1u : 0u;
        archive.SerializeWord(&value);
        if (!writing && !archive.Failed()) {
            SetBit(meshFlags, kMeshSyncMaterial, value != 0);
        }
    }
    if (!writing && archive.Failed()) {
        return 0;
    }
    return 1;
}

void MeshObjectActor::DumpClassFields(std::vector<std::string> &lines) const {
    auto bit = [this](uint32_t flag) { return (meshFlags & flag) != 0 ? "1" : "0"; };
    lines.push_back("object mesh " + std::to_string(meshIndex) + " style " +
                    std::to_string(animationStyle) + " initial " + bit(kMeshInitiallyPlaying) +
                    " speed " + DumpNumber(speed) + " sync " + bit(kMeshSyncCollision) +
                    " playing " + bit(kMeshPlaying) + " time " + DumpNumber(playTime) +
                    " direction " + std::to_string(direction) + " syncmaterial " +
                    bit(kMeshSyncMaterial) + " total " + DumpNumber(totalTime));
    for (size_t i = 0; i < subMeshes.size(); ++i) {
        lines.push_back("submesh " + std::to_string(i) + " material " +
                        std::to_string(subMeshes[i].materialIndex) + " zoffset " +
                        DumpNumber(subMeshes[i].zOffset));
    }
}
