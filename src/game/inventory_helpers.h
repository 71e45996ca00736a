// Small helpers the front-end actor's files share.
#pragma once

#include <cstdint>

#include "core/actors/actor.h"
#include "core/actors/actor_system.h"

namespace inventory {

// The input step while a full-screen film plays.
inline constexpr float kFilmInputStep = 1.0f / 30.0f;

// A relation as it stands now: null once its actor has left the table.
inline Actor *Live(const ActorLink &link) {
    return IsInActorTable(link.target) ? link.target : nullptr;
}

// Sends the command with a block of one zero word; nothing without an actor.
inline void SendZero(Actor *actor, uint32_t commandId) {
    uint32_t zero = 0;
    if (actor != nullptr) {
        actor->HandleCommand(commandId, ParamBlock(&zero, sizeof(zero)));
    }
}

// The character in global slot 1 stops its hands' actions.
void StopPlayerCharacter();
// "Recursive Command" with the command (no block) to every actor.
void TellEveryActor(uint32_t commandId);

} // namespace inventory
