#include "actors/world/world_seams.h"

#include "actors/world/collision.h"
#include "actors/world/developer2_actor.h"
#include "actors/world/developer3_actor.h"
#include "actors/world/developer_actor.h"
#include "actors/world/door_actor.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "actors/world/draw_groups.h"
#include "actors/world/file_actor.h"
#include "actors/world/path_actor.h"
#include "actors/world/path_node_actor.h"
#include "actors/world/reference_actor.h"
#include "actors/world/simulation_actor.h"
#include "actors/world/spawn_point_actor.h"
#include "actors/world/state_actor.h"
#include "actors/world/time_instance_actor.h"
#include "actors/world/timer_actor.h"
#include "actors/world/trigger_actor.h"
#include "core/actors/actor_system.h"

namespace {

Actor *NewFileActor() { return new FileActor(); }
Actor *NewFileIOActor() { return new FileIOActor(); }
Actor *NewDrawGroupActor() { return new DrawGroupActor(); }
Actor *NewDrawGroupConnectorActor() { return new DrawGroupConnectorActor(); }
Actor *NewTimerActor() { return new TimerActor(); }
Actor *NewSpawnPointActor() { return new SpawnPointActor(); }
Actor *NewDeveloperActor() { return new DeveloperActor(); }
Actor *NewDeveloper2Actor() { return new Developer2Actor(); }
Actor *NewDeveloper3Actor() { return new Developer3Actor(); }
Actor *NewTimeInstanceActor() { return new TimeInstanceActor(); }
Actor *NewStateActor() { return new StateActor(); }
Actor *NewReferenceActor() { return new ReferenceActor(); }
Actor *NewSimulationActor() { return new SimulationActor(); }
Actor *NewPathNodeActor() { return new PathNodeActor(); }
Actor *NewPathActor() { return new PathActor(); }
Actor *NewDoorActor() { return new DoorActor(); }
Actor *NewTriggerActor() { return new TriggerActor(); }

const ActorClassRow kRows[] = {
    {kFileClassId, &NewFileActor, &FileActor::RegisterClass},
    {kFileIOClassId, &NewFileIOActor, &FileIOActor::RegisterClass},
    {kTimerClassId, &NewTimerActor, &TimerActor::RegisterClass},
    {kDoorClassId, &NewDoorActor, &DoorActor::RegisterClass},
    {kDrawGroupClassId, &NewDrawGroupActor, &DrawGroupActor::RegisterClass},
    {kDrawGroupConnectorClassId, &NewDrawGroupConnectorActor, &DrawGroupConnectorActor::RegisterClass},
    {kSpawnPointClassId, &NewSpawnPointActor, &SpawnPointActor::RegisterClass},
    {kDeveloperClassId, &NewDeveloperActor, &DeveloperActor::RegisterClass},
    {kDeveloper2ClassId, &NewDeveloper2Actor, &Developer2Actor::RegisterClass},
    {kDeveloper3ClassId, &NewDeveloper3Actor, &Developer3Actor::RegisterClass},
    {kPathNodeClassId, &NewPathNodeActor, &PathNodeActor::RegisterClass},
    {kPathClassId, &NewPathActor, &PathActor::RegisterClass},
    {kTriggerClassId, &NewTriggerActor, &TriggerActor::RegisterClass},
    {kReferenceClassId, &NewReferenceActor, &ReferenceActor::RegisterClass},
    {kSimulationClassId, &NewSimulationActor, &SimulationActor::RegisterClass},
    {kTimeInstanceClassId, &NewTimeInstanceActor, &TimeInstanceActor::RegisterClass},
    {kStateClassId, &NewStateActor, &StateActor::RegisterClass},
};

// The roots "Global", "Scenery" and "Clipboard" are FileIO actors.
bool SetFileRootRange(Actor *root, uint32_t firstId, uint32_t idLimit, const char *fileName) {
    auto *fileIO = dynamic_cast<FileIOActor *>(root);
    if (fileIO == nullptr) {
        return false;
    }
    fileIO->firstId = firstId;
    fileIO->idLimit = idLimit;
    fileIO->fileName = fileName;
    return true;
}

float DrawGroupBoxDiagonal(Actor *group) {
    auto *drawGroup = dynamic_cast<DrawGroupActor *>(group);
    return drawGroup != nullptr ? drawGroup->BoxDiagonal() : 0.0f;
}

void SetDrawGroupSlot(Actor *group, int32_t drawGroupId) {
    if (auto *drawGroup = dynamic_cast<DrawGroupActor *>(group)) {
        drawGroup->drawGroupId = drawGroupId;
    }
}

int WalkVisibleGroups(ActorSystem *system, float step) { return DrawVisibleGroups(system, step); }

PointerList<ColObj> *StaticObjectsOf(int32_t group) {
    ActorSystem *system = GetActorSystem();
    if (system == nullptr || group < 0) {
        return nullptr;
    }
    return &system->StaticColObjs(static_cast<size_t>(group));
}

int32_t OrdinaryGroupAt(const Vector3 &point) { return FindDrawGroupAt(point, 2); }

void OpenNeighbours(int32_t group, std::vector<int32_t> &out) {
    DrawGroupActor *drawGroup = DrawGroupAt(group);
    if (drawGroup == nullptr) {
        return;
    }
    for (uint32_t id : drawGroup->connectorIds) {
        DrawGroupConnectorActor *connector = ConnectorAt(id);
        if (connector != nullptr && connector->Joins() && connector->isOpen != 0) {
            out.push_back(connector->OtherSide(group));
        }
    }
}

bool GroupWorldBox(int32_t group, Vector3 *min, Vector3 *max) {
    DrawGroupActor *drawGroup = DrawGroupAt(group);
    if (drawGroup == nullptr) {
        return false;
    }
    drawGroup->WorldBox(min, max);
    return true;
}

// The collision code walks the draw groups' lists.
CollisionScene WorldCollisionScene() {
    CollisionScene scene;
    scene.active = &ActiveColliderList;
    scene.passive = &PassiveColliderList;
    scene.staticObjects = &StaticObjectsOf;
    scene.groupAt = &OrdinaryGroupAt;
    scene.openNeighbours = &OpenNeighbours;
    scene.groupBox = &GroupWorldBox;
    scene.updateBounds = &UpdateShapeBounds;
    return scene;
}

void ResetWorldSubsystem() {
    ResetDrawGroups();
    ClearFileCountTable();
    SetCollisionScene(WorldCollisionScene());
    GetCollisionEventQueue().Clear();
    ContactedList.Clear();
}

} // namespace

std::span<const ActorClassRow> WorldClassRows() { return kRows; }

WorldHooks WorldSubsystemHooks() {
    // The two system draw groups exist from the start.
    if (DrawGroupAt(0) == nullptr || DrawGroupAt(1) == nullptr) {
        ResetDrawGroups();
    }
    SetCollisionScene(WorldCollisionScene());
    WorldHooks hooks;
    hooks.collisionPass = &RunCollisionPass;
    hooks.collisionQuery = &RunCollisionQuery;
    hooks.reset = &ResetWorldSubsystem;
    hooks.setRootRange = &SetFileRootRange;
    hooks.drawGroupDiagonal = &DrawGroupBoxDiagonal;
    hooks.setDrawGroupId = &SetDrawGroupSlot;
    hooks.updateCollisionShapeBounds = &UpdateShapeBounds;
    hooks.drawVisibleGroups = &WalkVisibleGroups;
    hooks.addActorToDrawGroup = &EnterDrawGroup;
    hooks.removeActorFromDrawGroup = &LeaveDrawGroup;
    hooks.updateActorDrawGroup = &MoveToDrawGroup;
    hooks.clearFileCounts = &ClearFileCountTable;
    return hooks;
}
