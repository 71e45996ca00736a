#include "core/actors/draw_group_hooks.h"

#include "core/actors/subsystem_hooks.h"

namespace {
DrawGroupHooks g_hooks;
}

DrawGroupHooks SetDrawGroupHooks(const DrawGroupHooks &hooks) {
    DrawGroupHooks previous = g_hooks;
    g_hooks = hooks;
    return previous;
}

void ResetDrawGroupHooks() { g_hooks = DrawGroupHooks{}; }

void RemoveActorFromDrawGroup(Actor *actor, uint32_t forced) {
    if (g_hooks.removeActor) {
        g_hooks.removeActor(actor, forced);
    } else if (const WorldHooks &world = GetWorldHooks(); world.removeActorFromDrawGroup) {
        world.removeActorFromDrawGroup(actor, forced);
    }
}

void AddActorToDrawGroup(Actor *actor, uint32_t forced) {
    if (g_hooks.addActor) {
        g_hooks.addActor(actor, forced);
    } else if (const WorldHooks &world = GetWorldHooks(); world.addActorToDrawGroup) {
        world.addActorToDrawGroup(actor, forced);
    }
}

void UpdateActorDrawGroup(Actor *actor) {
    if (g_hooks.updateActor) {
        g_hooks.updateActor(actor);
    } else if (const WorldHooks &world = GetWorldHooks(); world.updateActorDrawGroup) {
        world.updateActorDrawGroup(actor);
    }
}
