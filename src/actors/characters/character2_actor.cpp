#include "actors/characters/character2_actor.h"

void Character2Actor::RegisterClass() {
    RegisterSinglePageClass(kCharacter2ClassId, "Character 2 Properties");
}
