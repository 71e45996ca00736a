#include "game/front_end_seams.h"

#include "game/inventory_actor.h"
#include "game/save_game_actor.h"
#include "game/ui_button_actor.h"
#include "game/ui_map_input_actor.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_system_actor.h"
#include "game/ui_text_actor.h"
#include "game/ui_window_actor.h"

namespace {

template <class T> Actor *NewActorOf() { return new T(); }

const ActorClassRow kRows[] = {
    {kInventoryClassId, &NewActorOf<InventoryActor>, &InventoryActor::RegisterClass},
    {kUiSystemClassId, &NewActorOf<UISystemActor>, &UISystemActor::RegisterClass},
    {kUiButtonClassId, &NewActorOf<UIButtonActor>, &UIButtonActor::RegisterClass},
    {kUiTextClassId, &NewActorOf<UITextActor>, &UITextActor::RegisterClass},
    {kUiSpriteClassId, &NewActorOf<UISpriteActor>, &UISpriteActor::RegisterClass},
    {kUiMapInputClassId, &NewActorOf<UIMapInputActor>, &UIMapInputActor::RegisterClass},
    {kUiWindowClassId, &NewActorOf<UIWindowActor>, &UIWindowActor::RegisterClass},
    {kSaveGameClassId, &NewActorOf<SaveGameActor>, &SaveGameActor::RegisterClass},
};

} // namespace

std::span<const ActorClassRow> FrontEndClassRows() { return kRows; }
