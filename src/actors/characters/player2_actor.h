// The Player 2 actor (class 49): kept so that files holding one load and save;
// it owns nothing and every command goes to the base handler.
#pragma once

#include "actors/characters/character_services.h"
#include "core/actors/command_ids.h"

class Player2Actor : public SpareWordsActor<kPlayer2ClassId> {
  public:
    static void RegisterClass();
};
