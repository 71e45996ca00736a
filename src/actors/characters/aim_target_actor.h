// The Aim Target actor (class 48): kept so that files holding one load and save;
// it owns nothing and every command goes to the base handler.
#pragma once

#include "actors/characters/character_services.h"

inline constexpr uint32_t kAimTargetClassId = 48;

class AimTargetActor : public SpareWordsActor<kAimTargetClassId> {
  public:
    static void RegisterClass();
};
