// What the AI Player's source files share: the ids of the commands it sends
// and hears, and small send and query helpers.
#pragma once

#include <cstdint>

#include "base/math.h"
#include "core/actors/actor.h"
#include "actors/characters/brain_services.h"
#include "core/actors/command_ids.h"

namespace aiplayer {

// The character's health, group and brain as the brains read them; 0 /
// null for an actor that is no Character.
float HealthOf(const Actor *actor);
uint32_t GroupOf(const Actor *actor);
bool IsSuspended(const Actor *actor);

} // namespace aiplayer
