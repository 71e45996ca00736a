// The sends that the Game Object's files share: one word to an actor, and a
// query whose answer starts zeroed (or at a preset). Nothing for a null
// actor.
#pragma once

#include <cstdint>

#include "actors/characters/character_services.h"

namespace gameobject {

inline int SendWord(Actor *actor, uint32_t commandId, uint32_t word) {
    return SendIfPresent(actor, commandId, ParamBlock(&word, sizeof(word)));
}

template <class T> T Ask(Actor *actor, uint32_t commandId, T preset = T{}) {
    T answer = preset;
    SendIfPresent(actor, commandId, ParamBlock(&answer, sizeof(answer)));
    return answer;
}

} // namespace gameobject
