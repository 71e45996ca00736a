#include "actors/characters/character_seams.h"

#include "core/actors/placeholder_actor.h"

namespace {

CollisionHoldReader g_holdReader = nullptr;

const ActorClassRow kRows[] = {
    {9, &NewPlaceholderActor<9>, &RegisterPlaceholderClassOf<9>},
    {12, &NewPlaceholderActor<12>, &RegisterPlaceholderClassOf<12>},
    {14, &NewPlaceholderActor<14>, &RegisterPlaceholderClassOf<14>},
    {16, &NewPlaceholderActor<16>, &RegisterPlaceholderClassOf<16>},
    {25, &NewPlaceholderActor<25>, &RegisterPlaceholderClassOf<25>},
    {29, &NewPlaceholderActor<29>, &RegisterPlaceholderClassOf<29>},
    {32, &NewPlaceholderActor<32>, &RegisterPlaceholderClassOf<32>},
    {42, &NewPlaceholderActor<42>, &RegisterPlaceholderClassOf<42>},
    {48, &NewPlaceholderActor<48>, &RegisterPlaceholderClassOf<48>},
    {49, &NewPlaceholderActor<49>, &RegisterPlaceholderClassOf<49>},
    {50, &NewPlaceholderActor<50>, &RegisterPlaceholderClassOf<50>},
    {51, &NewPlaceholderActor<51>, &RegisterPlaceholderClassOf<51>},
};

} // namespace

std::span<const ActorClassRow> CharacterClassRows() { return kRows; }

uint32_t CharacterCollisionHold(const Actor *character) {
    return character != nullptr && g_holdReader != nullptr ? g_holdReader(character) : 0;
}

CollisionHoldReader SetCollisionHoldReader(CollisionHoldReader reader) {
    CollisionHoldReader previous = g_holdReader;
    g_holdReader = reader;
    return previous;
}
