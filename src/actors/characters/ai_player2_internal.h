// What the AI Player 2's source files share: the ids of the commands it
// sends and serves, and small geometry and query helpers.
#pragma once

#include <cstdint>

#include "base/math.h"
#include "core/actors/command_ids.h"
#include "core/actors/actor.h"

namespace aiplayer2 {

inline Vector3 Raised(Vector3 v, float dy) {
    v.y += dy;
    return v;
}

} // namespace aiplayer2
