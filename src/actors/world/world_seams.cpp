#include "actors/world/world_seams.h"

#include "core/actors/actor_system.h"

std::vector<Actor *> DrawGroupRegistry(kSystemDrawGroupCount, nullptr);
std::vector<Actor *> FileActorList;

namespace {

Actor *NewFileIOActor() { return new FileIOActor(); }
Actor *NewDrawGroupActor() { return new DrawGroupActor(); }

const ActorClassRow kRows[] = {
    {5, &NewPlaceholderActor<5>, &RegisterPlaceholderClassOf<5>},
    {kFileIOClassId, &NewFileIOActor, &FileIOActor::RegisterClass},
    {11, &NewPlaceholderActor<11>, &RegisterPlaceholderClassOf<11>},
    {13, &NewPlaceholderActor<13>, &RegisterPlaceholderClassOf<13>},
    {15, &NewDrawGroupActor, &RegisterPlaceholderClassOf<15>},
    {20, &NewPlaceholderActor<20>, &RegisterPlaceholderClassOf<20>},
    {21, &NewPlaceholderActor<21>, &RegisterPlaceholderClassOf<21>},
    {22, &NewPlaceholderActor<22>, &RegisterPlaceholderClassOf<22>},
    {23, &NewPlaceholderActor<23>, &RegisterPlaceholderClassOf<23>},
    {24, &NewPlaceholderActor<24>, &RegisterPlaceholderClassOf<24>},
    {26, &NewPlaceholderActor<26>, &RegisterPlaceholderClassOf<26>},
    {27, &NewPlaceholderActor<27>, &RegisterPlaceholderClassOf<27>},
    {31, &NewPlaceholderActor<31>, &RegisterPlaceholderClassOf<31>},
    {37, &NewPlaceholderActor<37>, &RegisterPlaceholderClassOf<37>},
    {43, &NewPlaceholderActor<43>, &RegisterPlaceholderClassOf<43>},
    {47, &NewPlaceholderActor<47>, &RegisterPlaceholderClassOf<47>},
    {53, &NewPlaceholderActor<53>, &RegisterPlaceholderClassOf<53>},
};

} // namespace

std::span<const ActorClassRow> WorldClassRows() { return kRows; }

void UpdateCollisionShapeBounds(Actor * /*actor*/) {}

// No collision objects are tested until the collision pass is built.
int ActorSystem::CollisionPass(float /*timeStep*/) { return 1; }

// Until draw groups and connectors exist, "Scenery" is one visible group.
int ActorSystem::DrawVisibleGroups(float /*timeStep*/) {
    if (Actor *scenery = GetActorById(kSceneryRootId)) {
        scenery->Update();
    }
    if (Actor *inventory = GetActorById(kInventoryActorId)) {
        inventory->Update();
    }
    return 1;
}

void ResetWorldSeams() {
    DrawGroupRegistry.assign(kSystemDrawGroupCount, nullptr);
    FileActorList.clear();
}
