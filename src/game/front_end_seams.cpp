#include "game/front_end_seams.h"

#include "core/actors/placeholder_actor.h"
#include "game/inventory_actor.h"
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
    {45, &NewPlaceholderActor<45>, &RegisterPlaceholderClassOf<45>},
};

} // namespace

std::span<const ActorClassRow> FrontEndClassRows() { return kRows; }
