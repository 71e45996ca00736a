#include "actors/world/world_seams.h"

#include "actors/world/developer2_actor.h"
#include "actors/world/developer3_actor.h"
#include "actors/world/developer_actor.h"
#include "actors/world/draw_groups.h"
#include "actors/world/state_actor.h"
#include "actors/world/time_instance_actor.h"
#include "actors/world/timer_actor.h"
#include "actors/world/reference_actor.h"

namespace {

Actor *NewFileIOActor() { return new FileIOActor(); }
Actor *NewDrawGroupActor() { return new DrawGroupActor(); }
Actor *NewDrawGroupConnectorActor() { return new DrawGroupConnectorActor(); }
Actor *NewTimerActor() { return new TimerActor(); }
Actor *NewDeveloperActor() { return new DeveloperActor(); }
Actor *NewDeveloper2Actor() { return new Developer2Actor(); }
Actor *NewDeveloper3Actor() { return new Developer3Actor(); }
Actor *NewTimeInstanceActor() { return new TimeInstanceActor(); }
Actor *NewStateActor() { return new StateActor(); }
Actor *NewReferenceActor() { return new ReferenceActor(); }

const ActorClassRow kRows[] = {
    {5, &NewPlaceholderActor<5>, &RegisterPlaceholderClassOf<5>},
    {kFileIOClassId, &NewFileIOActor, &FileIOActor::RegisterClass},
    {kTimerClassId, &NewTimerActor, &TimerActor::RegisterClass},
    {13, &NewPlaceholderActor<13>, &RegisterPlaceholderClassOf<13>},
    {kDrawGroupClassId, &NewDrawGroupActor, &DrawGroupActor::RegisterClass},
    {kDrawGroupConnectorClassId, &NewDrawGroupConnectorActor, &DrawGroupConnectorActor::RegisterClass},
    {21, &NewPlaceholderActor<21>, &RegisterPlaceholderClassOf<21>},
    {kDeveloperClassId, &NewDeveloperActor, &DeveloperActor::RegisterClass},
    {kDeveloper2ClassId, &NewDeveloper2Actor, &Developer2Actor::RegisterClass},
    {kDeveloper3ClassId, &NewDeveloper3Actor, &Developer3Actor::RegisterClass},
    {26, &NewPlaceholderActor<26>, &RegisterPlaceholderClassOf<26>},
    {27, &NewPlaceholderActor<27>, &RegisterPlaceholderClassOf<27>},
    {31, &NewPlaceholderActor<31>, &RegisterPlaceholderClassOf<31>},
    {kReferenceClassId, &NewReferenceActor, &ReferenceActor::RegisterClass},
    {43, &NewPlaceholderActor<43>, &RegisterPlaceholderClassOf<43>},
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
    hooks.reset = &ResetDrawGroups;
    return hooks;
}
