#include "core/actors/draw_group_hooks.h"

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
    }
}

void AddActorToDrawGroup(Actor *actor, uint32_t unused) {
    if (g_hooks.addActor) {
        g_hooks.addActor(actor, unused);
    }
}

void UpdateActorDrawGroup(Actor *actor) {
    if (g_hooks.updateActor) {
        g_hooks.updateActor(actor);
    }
}
