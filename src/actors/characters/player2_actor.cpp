#include "actors/characters/player2_actor.h"

void Player2Actor::RegisterClass() {
    RegisterSinglePageClass(kPlayer2ClassId, "Player 2 Properties");
}
