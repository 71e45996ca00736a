#include "core/actors/actor_system.h"

#include <algorithm>

#include "core/actors/draw_group_hooks.h"

std::vector<Actor *> ActorTable;

namespace {
ActorSystem *g_system = nullptr;
} // namespace

ActorSystem::ActorSystem() {
    classId = kActorSystemClassId;
    actorId = 0;
    name = "Actor System";
    g_system = this;
    TimeRecord *root = RootTimeRecord();
    root->owner = this;
    root->flags = kTimeRecordFixed | kTimeRecordRawTime;
    if (ActorTable.empty()) {
        ActorTable.resize(1);
    }
    ActorTable[0] = this;
}

ActorSystem::~ActorSystem() {
    // The tree goes first, while the removal and pending-deletion lists
    // still exist for the destructors that use them.
    DestroyChildren();
    DeleteScheduledCommands();
    for (ScheduledCommand *entry : removalList) {
        entry->state &= static_cast<uint8_t>(~kEntryQueued);
    }
    removalList.clear();
    for (Actor *actor : pendingDeletion) {
        actor->flags &= ~kActorQueuedForDeletion;
    }
    pendingDeletion.clear();
    flags &= ~kActorQueuedForDeletion;

    if (!ActorTable.empty() && ActorTable[0] == this) {
        ActorTable[0] = nullptr;
    }
    TimeRecord *root = RootTimeRecord();
    if (root->owner == this) {
        root->owner = nullptr;
    }
    if (g_system == this) {
        g_system = nullptr;
    }
}

int ActorSystem::QueueActorForDeletion(Actor *actor) {
    ActorSystem *system = GetActorSystem();
    if (system == nullptr) {
        return 0;
    }
    if (actor == nullptr || actor->HasFlag(kActorQueuedForDeletion)) {
        return 1;
    }
    system->pendingDeletion.push_back(actor);
    actor->flags |= kActorQueuedForDeletion;
    return 1;
}

ActorSystem *GetActorSystem() { return g_system; }

Actor *ActorTableEntry(int32_t id) {
    if (id < 0 || static_cast<size_t>(id) >= ActorTable.size()) {
        return nullptr;
    }
    return ActorTable[static_cast<size_t>(id)];
}

uint32_t CurrentRunMode() { return g_system != nullptr ? g_system->runMode : 0; }

float CurrentGlobalSpeedMultiplier() {
    return g_system != nullptr ? g_system->globalSpeedMultiplier : 1.0f;
}

void ResetActorSystemForTests() {
    delete g_system;
    g_system = nullptr;
    ActorTable.clear();
    ActorTable.shrink_to_fit();
    FrameDelta = kInitialFrameDelta;
    FrameCounter = 0;
    RootTimeRecord()->ResetClock();
    std::fill(std::begin(GlobalActorSlots), std::end(GlobalActorSlots), nullptr);
    ResetDrawGroupHooks();
    ClearActorDestroyedHooks();
}
