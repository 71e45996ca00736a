// The Character 2 actor (class 51): kept so that files holding one load and save;
// it owns nothing and every command goes to the base handler.
#pragma once

#include "actors/characters/character_services.h"
#include "core/actors/command_ids.h"

class Character2Actor : public SpareWordsActor<kCharacter2ClassId> {
  public:
    static void RegisterClass();
};
