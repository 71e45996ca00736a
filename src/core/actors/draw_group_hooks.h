// Hooks into the draw-group registry of the world structure.
//
// The actor base class calls these when an actor starts or stops moving and
// when it is destroyed. By default they run the world subsystem's membership
// code (WorldHooks, nothing when none is installed); a test may put its own
// functions in front with SetDrawGroupHooks.
#pragma once

#include <cstdint>

class Actor;

struct DrawGroupHooks {
    // (actor, forced): leave the draw group's member lists.
    void (*removeActor)(Actor *actor, uint32_t forced) = nullptr;
    // (actor, forced): enter the lists of the group named by drawGroupId.
    void (*addActor)(Actor *actor, uint32_t forced) = nullptr;
    // (actor): move the actor to the draw group that holds its position.
    void (*updateActor)(Actor *actor) = nullptr;
};

// Installs hooks; a null member does nothing. Returns the previous set.
DrawGroupHooks SetDrawGroupHooks(const DrawGroupHooks &hooks);
// Back to the defaults (the world subsystem's).
void ResetDrawGroupHooks();

void RemoveActorFromDrawGroup(Actor *actor, uint32_t forced);
void AddActorToDrawGroup(Actor *actor, uint32_t forced);
void UpdateActorDrawGroup(Actor *actor);
