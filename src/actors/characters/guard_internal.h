// What the Guard's source files share: the command ids it sends, its motion
// ids, and small send, query and geometry helpers.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "actors/characters/brain_services.h"
#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

namespace guard {

inline constexpr uint32_t kFrontEndActorId = 16;

// GuardMotion ids.
inline constexpr int32_t kMotionRun = 0;
inline constexpr int32_t kMotionStand = 2;
inline constexpr int32_t kMotionWalk = 3;
inline constexpr int32_t kMotionGuarding = 4;
inline constexpr int32_t kMotionExhausted = 5;
inline constexpr int32_t kMotionSleep = 10;

inline constexpr uint32_t kTrailMaxPoints = 64;

} // namespace guard
