#include "actors/world/world_seams.h"

#include "actors/world/draw_groups.h"
#include "actors/world/file_actor.h"
#include "actors/world/reference_actor.h"
#include "actors/world/spawn_point_actor.h"

namespace {

Actor *NewFileActor() { return new FileActor(); }
Actor *NewFileIOActor() { return new FileIOActor(); }
Actor *NewDrawGroupActor() { return new DrawGroupActor(); }
Actor *NewDrawGroupConnectorActor() { return new DrawGroupConnectorActor(); }
Actor *NewSpawnPointActor() { return new SpawnPointActor(); }
Actor *NewReferenceActor() { return new ReferenceActor(); }

const ActorClassRow kRows[] = {
    {kFileClassId, &NewFileActor, &FileActor::RegisterClass},
    {kFileIOClassId, &NewFileIOActor, &FileIOActor::RegisterClass},
    {11, &NewPlaceholderActor<11>, &RegisterPlaceholderClassOf<11>},
    {13, &NewPlaceholderActor<13>, &RegisterPlaceholderClassOf<13>},
    {kDrawGroupClassId, &NewDrawGroupActor, &DrawGroupActor::RegisterClass},
    {kDrawGroupConnectorClassId, &NewDrawGroupConnectorActor, &DrawGroupConnectorActor::RegisterClass},
    {kSpawnPointClassId, &NewSpawnPointActor, &SpawnPointActor::RegisterClass},
    {22, &NewPlaceholderActor<22>, &RegisterPlaceholderClassOf<22>},
    {23, &NewPlaceholderActor<23>, &RegisterPlaceholderClassOf<23>},
    {24, &NewPlaceholderActor<24>, &RegisterPlaceholderClassOf<24>},
    {26, &NewPlaceholderActor<26>, &RegisterPlaceholderClassOf<26>},
    {27, &NewPlaceholderActor<27>, &RegisterPlaceholderClassOf<27>},
    {31, &NewPlaceholderActor<31>, &RegisterPlaceholderClassOf<31>},
    {kReferenceClassId, &NewReferenceActor, &ReferenceActor::RegisterClass},
    {43, &NewPlaceholderActor<43>, &RegisterPlaceholderClassOf<43>},
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
    return drawGroup != nullptr ? drawGroup->BoxDiagonal() : 0.0f;
}

void SetDrawGroupSlot(Actor *group, int32_t drawGroupId) {
    if (auto *drawGroup = dynamic_cast<DrawGroupActor *>(group)) {
        drawGroup->drawGroupId = drawGroupId;
    }
}

void ResetWorldSeams() {
    ResetDrawGroups();
    ClearFileCountTable();
}

int WalkVisibleGroups(ActorSystem *system, float step) { return DrawVisibleGroups(system, step); }

} // namespace

std::span<const ActorClassRow> WorldClassRows() { return kRows; }

// The collision pass keeps the core's default until it is built.
WorldHooks WorldSubsystemHooks() {
    // The two system draw groups exist from the start.
    if (DrawGroupAt(0) == nullptr || DrawGroupAt(1) == nullptr) {
        ResetDrawGroups();
    }
    WorldHooks hooks;
    hooks.setRootRange = &SetFileRootRange;
    hooks.drawGroupDiagonal = &DrawGroupBoxDiagonal;
    hooks.setDrawGroupId = &SetDrawGroupSlot;
    hooks.updateCollisionShapeBounds = &UpdateShapeBounds;
    hooks.drawVisibleGroups = &WalkVisibleGroups;
    hooks.addActorToDrawGroup = &EnterDrawGroup;
    hooks.removeActorFromDrawGroup = &LeaveDrawGroup;
    hooks.updateActorDrawGroup = &MoveToDrawGroup;
    hooks.clearFileCounts = &ClearFileCountTable;
    hooks.reset = &ResetWorldSeams;
    return hooks;
}
