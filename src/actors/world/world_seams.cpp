#include "actors/world/world_seams.h"

#include <cmath>

#include "actors/world/collision.h"
#include "actors/world/simulation_actor.h"
#include "core/actors/actor_system.h"

namespace {

Actor *NewFileIOActor() { return new FileIOActor(); }
Actor *NewDrawGroupActor() { return new DrawGroupActor(); }
Actor *NewSimulationActor() { return new SimulationActor(); }

const ActorClassRow kRows[] = {
    {5, &NewPlaceholderActor<5>, &RegisterPlaceholderClassOf<5>},
    {kFileIOClassId, &NewFileIOActor, &FileIOActor::RegisterClass},
    {11, &NewPlaceholderActor<11>, &RegisterPlaceholderClassOf<11>},
    {13, &NewPlaceholderActor<13>, &RegisterPlaceholderClassOf<13>},
    {15, &NewDrawGroupActor, &RegisterPlaceholderClassOf<15>},
    {20, &NewPlaceholderActor<20>, &RegisterPlaceholderClassOf<20>},
    {21, &NewPlaceholderActor<21>, &RegisterPlaceholderClassOf<21>},
    {22, &NewPlaceholderActor<22>, &RegisterPlaceholderClassOf<22>},
    {23, &NewPlaceholderActor<23>, &RegisterPlaceholderClassOf<23>},
    {24, &NewPlaceholderActor<24>, &RegisterPlaceholderClassOf<24>},
    {26, &NewPlaceholderActor<26>, &RegisterPlaceholderClassOf<26>},
    {27, &NewPlaceholderActor<27>, &RegisterPlaceholderClassOf<27>},
    {31, &NewPlaceholderActor<31>, &RegisterPlaceholderClassOf<31>},
    {37, &NewPlaceholderActor<37>, &RegisterPlaceholderClassOf<37>},
    {kSimulationClassId, &NewSimulationActor, &SimulationActor::RegisterClass},
    {47, &NewPlaceholderActor<47>, &RegisterPlaceholderClassOf<47>},
    {53, &NewPlaceholderActor<53>, &RegisterPlaceholderClassOf<53>},
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
    if (drawGroup == nullptr) {
        return 0.0f;
    }
    Vector3 d = {drawGroup->boxMax.x - drawGroup->boxMin.x,
                 drawGroup->boxMax.y - drawGroup->boxMin.y,
                 drawGroup->boxMax.z - drawGroup->boxMin.z};
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

void SetDrawGroupSlot(Actor *group, int32_t drawGroupId) {
    if (auto *drawGroup = dynamic_cast<DrawGroupActor *>(group)) {
        drawGroup->DrawGroupID = drawGroupId;
    }
}

PointerList<ColObj> *StaticObjectsOf(int32_t group) {
    ActorSystem *system = GetActorSystem();
    if (system == nullptr || group < 0) {
        return nullptr;
    }
    return &system->StaticColObjs(static_cast<size_t>(group));
}

// The collision code walks the draw groups' lists.
CollisionScene WorldCollisionScene() {
    CollisionScene scene;
    scene.staticObjects = &StaticObjectsOf;
    return scene;
}

void ResetWorldSubsystem() {
    SetCollisionScene(WorldCollisionScene());
    GetCollisionEventQueue().Clear();
    ContactedList.Clear();
}

} // namespace

std::span<const ActorClassRow> WorldClassRows() { return kRows; }

// Collision shapes and the visibility walk keep the core's defaults until
// those classes are built.
WorldHooks WorldSubsystemHooks() {
    WorldHooks hooks;
    hooks.collisionPass = &RunCollisionPass;
    hooks.collisionQuery = &RunCollisionQuery;
    hooks.reset = &ResetWorldSubsystem;
    hooks.setRootRange = &SetFileRootRange;
    hooks.drawGroupDiagonal = &DrawGroupBoxDiagonal;
    hooks.setDrawGroupId = &SetDrawGroupSlot;
    return hooks;
}
