#include "app/class_list.h"

#include "actors/characters/character_seams.h"
#include "actors/presentation/presentation_seams.h"
#include "actors/world/world_seams.h"
#include "core/actors/class_factory.h"
#include "core/actors/subsystem_hooks.h"
#include "game/front_end_seams.h"

void InstallEngineClasses() {
    RegisterActorClassRows(WorldClassRows());
    RegisterActorClassRows(PresentationClassRows());
    RegisterActorClassRows(CharacterClassRows());
    RegisterActorClassRows(FrontEndClassRows());
    InstallWorldHooks(WorldSubsystemHooks());
    InstallPresentationHooks(PresentationSubsystemHooks());
    InstallCharacterHooks(CharacterSubsystemHooks());
}
