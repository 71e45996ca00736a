#include "game/front_end_seams.h"

#include "core/actors/placeholder_actor.h"

namespace {

const ActorClassRow kRows[] = {
    {10, &NewPlaceholderActor<10>, &RegisterPlaceholderClassOf<10>},
    {33, &NewPlaceholderActor<33>, &RegisterPlaceholderClassOf<33>},
    {34, &NewPlaceholderActor<34>, &RegisterPlaceholderClassOf<34>},
    {35, &NewPlaceholderActor<35>, &RegisterPlaceholderClassOf<35>},
    {36, &NewPlaceholderActor<36>, &RegisterPlaceholderClassOf<36>},
    {38, &NewPlaceholderActor<38>, &RegisterPlaceholderClassOf<38>},
    {44, &NewPlaceholderActor<44>, &RegisterPlaceholderClassOf<44>},
    {45, &NewPlaceholderActor<45>, &RegisterPlaceholderClassOf<45>},
};

} // namespace

std::span<const ActorClassRow> FrontEndClassRows() { return kRows; }
