#include "actors/characters/character_seams.h"

#include "actors/characters/ai_helper_actor.h"
#include "actors/characters/ai_player2_actor.h"
#include "actors/characters/ai_player_actor.h"
#include "actors/characters/aim_target_actor.h"
#include "actors/characters/auto_aim_actor.h"
#include "actors/characters/character2_actor.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/game_container_actor.h"
#include "actors/characters/game_object_actor.h"
#include "actors/characters/guard_actor.h"
#include "actors/characters/player2_actor.h"
#include "actors/characters/player_actor.h"

namespace {

CollisionHoldReader g_holdReader = nullptr;
template <class T> Actor *New() { return new T(); }

const ActorClassRow kRows[] = {
    {kPlayerClassId, &New<PlayerActor>, &PlayerActor::RegisterClass},
    {kGameObjectClassId, &New<GameObjectActor>, &GameObjectActor::RegisterClass},
    {kGameContainerClassId, &New<GameContainerActor>, &GameContainerActor::RegisterClass},
    {kCharacterClassId, &New<CharacterActor>, &CharacterActor::RegisterClass},
    {kGuardClassId, &New<GuardActor>, &GuardActor::RegisterClass},
    {kAIPlayerClassId, &New<AIPlayerActor>, &AIPlayerActor::RegisterClass},
    {kAIHelperClassId, &New<AIHelperActor>, &AIHelperActor::RegisterClass},
    {kAutoAimClassId, &New<AutoAimActor>, &AutoAimActor::RegisterClass},
    {kAimTargetClassId, &New<AimTargetActor>, &AimTargetActor::RegisterClass},
    {kPlayer2ClassId, &New<Player2Actor>, &Player2Actor::RegisterClass},
    {kAIPlayer2ClassId, &New<AIPlayer2Actor>, &AIPlayer2Actor::RegisterClass},
    {kCharacter2ClassId, &New<Character2Actor>, &Character2Actor::RegisterClass},
};

} // namespace

std::span<const ActorClassRow> CharacterClassRows() { return kRows; }

CharacterHooks CharacterSubsystemHooks() {
    CharacterHooks hooks;
    hooks.reset = &ResetPlayerInputSettings;
    return hooks;
}

uint32_t CharacterCollisionHold(const Actor *character) {
    return character != nullptr && g_holdReader != nullptr ? g_holdReader(character) : 0;
}

CollisionHoldReader SetCollisionHoldReader(CollisionHoldReader reader) {
    CollisionHoldReader previous = g_holdReader;
    g_holdReader = reader;
    return previous;
}
