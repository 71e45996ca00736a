// The ActorSystem: actor 0, the world. It owns the actor table, the run mode
// and global speed of the time records, the removal list of scheduled
// commands and the pending-deletion list of actors. One instance exists at a
// time, reached through GetActorSystem(). Main thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "core/actors/actor.h"

inline constexpr uint32_t kActorSystemClassId = 1;

class ActorSystem : public Actor {
  public:
    ActorSystem();
    ~ActorSystem() override;

    // Queues an entry for removal at the start of the next pump; a second
    // cancel does nothing.
    static void CancelScheduledCommand(ScheduledCommand *entry);
    // Removes an entry at once: unlinked, off its owner's list and the
    // removal list, params freed; an entry the scheduler allocated is freed
    // too (after the current walk when one is running).
    static void DeleteScheduledCommand(ScheduledCommand *entry);
    // Appends the actor to the pending-deletion list and sets flag 16;
    // null or already queued: nothing. Returns 1 (0 without a system).
    static int QueueActorForDeletion(Actor *actor);

    // Non-zero while a front-end actor holds the game: time stands still.
    uint32_t runMode = 0;
    float globalSpeedMultiplier = 1.0f;
    std::vector<ScheduledCommand *> removalList;
    std::vector<Actor *> pendingDeletion;
};

// The process-wide actor table, indexed by actor id; the system in entry 0.
extern std::vector<Actor *> ActorTable;

// The live system, or null.
ActorSystem *GetActorSystem();

// The table's actor at id; null outside the table.
Actor *ActorTableEntry(int32_t id);

// Run mode and global speed multiplier as the time records read them
// (0 and 1.0 without a system).
uint32_t CurrentRunMode();
float CurrentGlobalSpeedMultiplier();

// Tests only: destroys the system and its tree and restores every
// process-wide value of the actor core (actor table, frame values, root
// record, global slots, draw-group and actor-destroyed hooks).
void ResetActorSystemForTests();
