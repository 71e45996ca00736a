// The Aim Target actor (class 48): kept so that files holding one load and save;
// it owns nothing and every command goes to the base handler.
#pragma once

#include "actors/characters/character_services.h"
#include "core/actors/command_ids.h"

class AimTargetActor : public SpareWordsActor<kAimTargetClassId> {
  public:
    static void RegisterClass();
};
