// The sends that the Game Object's files share: the one-value sends, and a
// query whose answer starts zeroed (or at a preset). Nothing for a null
// actor.
#pragma once

#include <cstdint>

#include "actors/characters/character_services.h"
#include "core/actors/actor_sends.h"

namespace gameobject {

template <class T> T Ask(Actor *actor, uint32_t commandId, T preset = T{}) {
    T answer = preset;
    SendIfPresent(actor, commandId, ParamBlock(&answer, sizeof(answer)));
    return answer;
}

} // namespace gameobject
