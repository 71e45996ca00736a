// One frame of 200 motion-driven characters standing on one box floor: the
// controller of each, its base step, then the collision pass that holds them
// up. The
// characters stand in a 20 x 10 grid, 60 units apart, each with a plain
// stand-in for its skin.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "actors/characters/character_actor.h"
#include "actors/world/collision.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_groups.h"
#include "app/class_list.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/time_record.h"

namespace {

constexpr int kCharacters = 200;

// A fresh world with the room and its floor; null when it cannot be made.
DrawGroupActor *BuildRoom() {
    InstallEngineClasses();
    Actor *scenery = InitActorSystem() != 0 ? GetActorById(kSceneryRootId) : nullptr;
    auto *group = scenery == nullptr ? nullptr
                                     : static_cast<DrawGroupActor *>(CreateActor(
                                           kDrawGroupClassId, "Room", nullptr, scenery, -1, false));
    Actor *floor = group == nullptr ? nullptr : CreateActor(0, "Floor", nullptr, scenery, -1, false);
    if (floor == nullptr) {
        return nullptr;
    }
    group->boxMin = {-1000.0f, -100.0f, -1000.0f};
    group->boxMax = {1000.0f, 500.0f, 1000.0f};
    ColObj box(floor);
    box.type = kKindBox;
    box.flags = kColObjActive | kColObjSolid;
    box.boxMin = {-800.0f, -20.0f, -800.0f};
    box.boxMax = {800.0f, 0.0f, 800.0f};
    floor->AddColObj(box);
    floor->drawGroupId = group->drawGroupId;
    UpdateShapeBounds(floor);
    AddActorToDrawGroup(floor, 0);
    return group;
}

std::vector<CharacterActor *> BuildCharacters() {
    std::vector<CharacterActor *> characters;
    DrawGroupActor *group = BuildRoom();
    if (group == nullptr) {
        return characters;
    }
    Actor *scenery = GetActorById(kSceneryRootId);
    for (int i = 0; i < kCharacters; ++i) {
        auto *character = dynamic_cast<CharacterActor *>(
            CreateActor(static_cast<int32_t>(kCharacterClassId), "C", nullptr, scenery, -1, false));
        Actor *skin = CreateActor(0, "Skin", nullptr, character, -1, false);
        if (character == nullptr || skin == nullptr) {
            return {};
        }
        character->position = {-570.0f + 60.0f * float(i % 20), 23.0f,
                                -270.0f + 60.0f * float(i / 20)};
        character->SetSkin(skin);
        character->charFlags |= kCharMotionDriven;
        character->flags |= kActorMaster;
        character->drawGroupId = group->drawGroupId;
        character->HandleCommand(cmd::base::StartSimulate, ParamBlock());
        AddActorToDrawGroup(character, 0);
        characters.push_back(character);
    }
    return characters;
}

void BM_CharacterFrame(benchmark::State &state) {
    // The world is made on the first run only.
    static const std::vector<CharacterActor *> characters = BuildCharacters();
    if (characters.size() != static_cast<size_t>(kCharacters)) {
        state.SkipWithError("the characters could not be placed");
        return;
    }
    ActorSystem *system = GetActorSystem();
    FrameDelta = 1.0f / 60.0f;
    for (auto _ : state) {
        ++FrameCounter;
        UpdateTimeRecord(nullptr, RootTimeRecord());
        // As the scheduled commands run them: the controller, then the base
        // step that empties the contacts of a moved actor.
        for (CharacterActor *character : characters) {
            character->Process();
        }
        for (CharacterActor *character : characters) {
            character->BaseProcess();
        }
        RunCollisionPass(system, 1.0f / 60.0f);
    }
    state.counters["characters"] = kCharacters;
    state.counters["touches"] = static_cast<double>(characters[0]->simState->touches.size());
    state.counters["grounded"] =
        static_cast<double>(std::count_if(characters.begin(), characters.end(),
                                          [](const CharacterActor *c) { return c->onGround; }));
}
BENCHMARK(BM_CharacterFrame)->Unit(benchmark::kMillisecond);

} // namespace
