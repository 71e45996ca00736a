// One frame of 32 AI Player 2 brains fighting one target in a box room:
// each brain's think with its sight ray (the sight check is made due every
// frame), the aiming and facing commands to its character, and a shelter
// search among four markers behind two box pillars. And one frame of 32 AI
// Player brains following one leader that walks a circle in the same room:
// the trail sampling, the pace, the steering commands and the stuck check.
#include <benchmark/benchmark.h>

#include <vector>

#include "actors/characters/ai_helper_actor.h"
#include "actors/characters/ai_player2_actor.h"
#include "actors/characters/ai_player_actor.h"
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
#include "scene_parts.h"

#include <cmath>

namespace {

constexpr int kBrains = 32;

// The room of the scene, once it is built.
DrawGroupActor *g_room = nullptr;

using benchscene::Body;
using benchscene::StaticBox;

std::vector<AIPlayer2Actor *> BuildScene() {
    std::vector<AIPlayer2Actor *> brains;
    InstallEngineClasses();
    Actor *scenery = InitActorSystem() != 0 ? GetActorById(kSceneryRootId) : nullptr;
    auto *group = scenery == nullptr ? nullptr
                                     : static_cast<DrawGroupActor *>(CreateActor(
                                           kDrawGroupClassId, "Room", nullptr, scenery, -1, false));
    if (group == nullptr) {
        return brains;
    }
    g_room = group;
    group->boxMin = {-2000.0f, -100.0f, -2000.0f};
    group->boxMax = {2000.0f, 600.0f, 2000.0f};
    StaticBox(group, {-1900.0f, -20.0f, -1900.0f}, {1900.0f, 0.0f, 1900.0f});
    StaticBox(group, {-300.0f, 0.0f, 300.0f}, {-200.0f, 200.0f, 400.0f});
    StaticBox(group, {200.0f, 0.0f, 300.0f}, {300.0f, 200.0f, 400.0f});
    const Vector3 shelters[] = {{-250.0f, 30.0f, 150.0f},
                                {250.0f, 30.0f, 150.0f},
                                {-600.0f, 30.0f, 0.0f},
                                {600.0f, 30.0f, 0.0f}};
    for (const Vector3 &at : shelters) {
        Actor *marker = CreateActor(static_cast<int32_t>(kAIHelperClassId), "Shelter", nullptr,
                                    group, -1, false);
        if (marker == nullptr) {
            return brains;
        }
        marker->position = at;
        marker->InvalidateTransform();
    }
    CharacterActor *target = Body(group, {0.0f, 30.0f, 800.0f});
    if (target == nullptr) {
        return brains;
    }
    target->characterGroup = 1;
    for (int i = 0; i < kBrains; ++i) {
        CharacterActor *character =
            Body(group, {-775.0f + 50.0f * float(i % 32), 30.0f, -400.0f + 60.0f * float(i / 32)});
        auto *brain = character == nullptr ? nullptr
                                           : dynamic_cast<AIPlayer2Actor *>(CreateActor(
                                                 static_cast<int32_t>(kAIPlayer2ClassId), "Brain",
                                                 nullptr, character, -1, false));
        if (brain == nullptr) {
            return {};
        }
        brain->HandleCommand(cmd::base::Precalculate, ParamBlock());
        brain->rayGroup = 0xFFFFFFFF;
        brain->rayReceive = 0x10000;
        brain->fightGroup = 1;
        SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateFight,
                        static_cast<Actor *>(target));
        brains.push_back(brain);
    }
    return brains;
}

void BM_AIPlayer2Frame(benchmark::State &state) {
    // The world is made on the first run only.
    static const std::vector<AIPlayer2Actor *> brains = BuildScene();
    if (brains.size() != static_cast<size_t>(kBrains)) {
        state.SkipWithError("the brains could not be placed");
        return;
    }
    FrameDelta = 1.0f / 60.0f;
    size_t visible = 0;
    for (auto _ : state) {
        ++FrameCounter;
        UpdateTimeRecord(nullptr, RootTimeRecord());
        for (AIPlayer2Actor *brain : brains) {
            brain->sightCheckTimer = 0.5f;
            brain->generalTimer = 1.5f;
            brain->SetState(kAI2Fight);
            brain->Process();
        }
        visible = 0;
        for (const AIPlayer2Actor *brain : brains) {
            visible += brain->visibleTime > 0.0f ? 1 : 0;
        }
    }
    state.counters["brains"] = kBrains;
    state.counters["seeing"] = static_cast<double>(visible);
    state.counters["markers"] = static_cast<double>(brains[0]->markerIds.size());
}
BENCHMARK(BM_AIPlayer2Frame)->Unit(benchmark::kMicrosecond);

struct Followers {
    CharacterActor *leader = nullptr;
    std::vector<AIPlayerActor *> brains;
};

// In the room of the AI Player 2 scene: a leader and 32 followers in a row.
Followers BuildFollowers() {
    Followers made;
    if (g_room == nullptr) {
        return made;
    }
    made.leader = Body(g_room, {0.0f, 30.0f, 1200.0f});
    if (made.leader == nullptr) {
        return made;
    }
    made.leader->characterGroup = 1;
    for (int i = 0; i < kBrains; ++i) {
        CharacterActor *character = Body(g_room, {-775.0f + 50.0f * float(i), 30.0f, -900.0f});
        auto *brain = character == nullptr
                          ? nullptr
                          : dynamic_cast<AIPlayerActor *>(
                                CreateActor(static_cast<int32_t>(kAIPlayerClassId), "Follower",
                                            nullptr, character, -1, false));
        if (brain == nullptr) {
            return {};
        }
        brain->HandleCommand(cmd::base::Precalculate, ParamBlock());
        brain->targetLink.Assign(made.leader);
        brain->SetState(kAIPFollow);
        made.brains.push_back(brain);
    }
    return made;
}

void BM_AIPlayerFollowFrame(benchmark::State &state) {
    static const std::vector<AIPlayer2Actor *> fighters = BuildScene();
    static const Followers followers = BuildFollowers();
    if (followers.brains.size() != static_cast<size_t>(kBrains)) {
        state.SkipWithError("the followers could not be placed");
        return;
    }
    FrameDelta = 1.0f / 60.0f;
    float angle = 0.0f;
    size_t points = 0;
    for (auto _ : state) {
        ++FrameCounter;
        UpdateTimeRecord(nullptr, RootTimeRecord());
        angle += 0.05f;
        followers.leader->position = {900.0f * std::sin(angle), 30.0f, 900.0f * std::cos(angle)};
        followers.leader->InvalidateTransform();
        for (AIPlayerActor *brain : followers.brains) {
            // On a moving motion and never stuck for long: every step runs.
            brain->standingMotion = 0;
            brain->stuckTime = 0.0f;
            brain->SetState(kAIPFollow);
            brain->Process();
        }
        points = 0;
        for (const AIPlayerActor *brain : followers.brains) {
            points += brain->trail.size();
        }
    }
    state.counters["followers"] = kBrains;
    state.counters["trail points"] = static_cast<double>(points);
}
BENCHMARK(BM_AIPlayerFollowFrame)->Unit(benchmark::kMicrosecond);

} // namespace
