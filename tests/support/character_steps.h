// The Character's condition and orientation steps, one at a time: a
// character whose steps a test calls itself and that notes the commands it
// sends itself, and a fixture with that character ("Hero") on a box ledge
// 750 units above a wide floor, with a scripted skin and a saved field of
// view of 90. `Hold` takes the hero
// out of the frame and the simulation and puts it on a clock of its own that
// the test moves on.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "actor_record.h"
#include "actors/characters/character_actor.h"
#include "core/actors/actor_system.h"
#include "core/actors/time_record.h"
#include "game_fixture.h"

namespace game {

class StepCharacter : public CharacterActor {
  public:
    using CharacterActor::ApplyDirectionBehaviour;
    using CharacterActor::BindBones;
    using CharacterActor::ConditionTick;
    using CharacterActor::FallDamageAtLanding;
    using CharacterActor::LookAndBody;
    using CharacterActor::MovementSpeed;
    using CharacterActor::NetworkDropsAndImpulse;
    using CharacterActor::OrientationOutputs;
    using CharacterActor::ShakeDecay;

    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId >= 836 && commandId <= 1140) {
            RecordedCommand entry{FrameCounter, commandId, {}};
            if (block.data() != nullptr) {
                entry.block.assign(block.data(), block.data() + block.size());
            }
            sent.push_back(std::move(entry));
        }
        return CharacterActor::HandleCommand(commandId, block);
    }
    // The ids sent so far, then forgotten.
    std::vector<uint32_t> TakeIds() {
        std::vector<uint32_t> ids;
        for (const RecordedCommand &entry : sent) {
            ids.push_back(entry.id);
        }
        sent.clear();
        return ids;
    }
    // The first Real of each command of the id.
    std::vector<float> Reals(uint32_t commandId) const {
        std::vector<float> values;
        for (const RecordedCommand &entry : sent) {
            if (entry.id == commandId) {
                values.push_back(entry.F32(0));
            }
        }
        return values;
    }

    std::vector<RecordedCommand> sent;
};

inline Actor *NewStepCharacter() { return new StepCharacter(); }

class CharacterStepsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        ResetCharacterModuleForTests();
        Actor *room = Room(builder, "RoomA", {-3000, -1000, -3000}, {3000, 1000, 3000});
        BoxWall(builder, "Ledge", {-200, -20, -200}, {200, 0, 200}, room);
        BoxWall(builder, "Ground", {-3000, -770, -3000}, {3000, -750, 3000}, room);
        // Saved with a field of view of 90, which reads 1.0 until the first tick.
        SendCommandArgs(MakeCharacter(builder, "Hero", {0, 23, 0}, room), 926, 90.0f);
        ASSERT_TRUE(builder.Load());
        hero = dynamic_cast<StepCharacter *>(scene::SceneBuilder::Find("Hero"));
        ASSERT_NE(hero, nullptr);
        skin = dynamic_cast<ScriptedSkin *>(hero->skin.target);
        ASSERT_NE(skin, nullptr);
        clock.flags = kTimeRecordFixed;
        clock.delta = 1.0f / 60.0f;
    }
    void TearDown() override {
        if (hero != nullptr && hero->timeRecord == &clock) {
            hero->timeRecord = RootTimeRecord();
        }
    }
    // The hero runs only when the test calls its steps, on `clock`.
    void Hold() {
        ActorSystem::CancelScheduledCommand(hero->processEntry);
        hero->processEntry = nullptr;
        hero->flags &= ~kActorSimulated;
        hero->timeRecord = &clock;
        hero->sent.clear();
    }
    // Moves the clock on by its delta, n times.
    void Advance(int n = 1) {
        for (int i = 0; i < n; ++i) {
            clock.previousTime = clock.time;
            clock.time += clock.delta;
        }
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    RecorderClass characters{kCharacterClassId, &NewStepCharacter};
    RecorderClass skins{kSkinClassId, &NewScriptedSkin};
    RecorderClass others{12};
    RecorderClass cameras{19};
    TimeRecord clock;
    StepCharacter *hero = nullptr;
    ScriptedSkin *skin = nullptr;
};

} // namespace game
