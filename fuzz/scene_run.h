// What the fuzz targets that run a world's frames share: for each input a
// fresh actor world that the target loads, then starts as the scene harness
// starts one (global time 0, every actor precalculated, "Start Game") and
// runs for some frames of the scene runner's fixed frame time.
#pragma once

#include <string>

#include "actors/characters/auto_aim_actor.h"
#include "actors/characters/character_actor.h"
#include "base/random.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "support/scene_harness.h"

namespace fuzzscene {

// A fresh actor world whose files come from below `base`: the actor system
// and the character and aim modules as a start leaves them, the random
// numbers seeded with 1.
inline void FreshWorld(const std::string &base) {
    ResetActorWorldForTests(true);
    ResetCharacterModuleForTests();
    ResetAutoAimModuleForTests();
    InitActorSystem();
    SeedRand(1);
    GetActorSystem()->baseFolder = base;
}

// Starts the loaded world and runs the frames.
inline void StartAndRun(scene::SceneRunner &runner, int frames) {
    SendCommandArgs(GetActorSystem(), cmd::actor_system::SetGlobalTime, 0u);
    PrecalculateAll();
    SendCommandArgs(GetActorSystem(), cmd::base::StartGame);
    runner.Step(frames);
}

} // namespace fuzzscene
