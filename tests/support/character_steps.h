// A Character whose condition and orientation steps a test calls one at a
// time, noting the commands it sends itself; and a scene with it ("Hero",
// field of view saved as 90, scripted skin) on a box ledge 750 units above a
// wide floor. `Hold` takes the hero out of the frame and the simulation onto
// a clock that `Advance` moves on.
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
            sent.push_back({FrameCounter, commandId, {block.data(), block.data() + block.size()}});
        }
        return CharacterActor::HandleCommand(commandId, block);
    }
    // The first Real of each command of the id sent so far.
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
        SendCommandArgs(MakeCharacter(builder, "Hero", {0, 23, 0}, room), 926, 90.0f);
        ASSERT_TRUE(builder.Load());
        hero = dynamic_cast<StepCharacter *>(scene::SceneBuilder::Find("Hero"));
        ASSERT_NE(hero, nullptr);
        skin = dynamic_cast<ScriptedSkin *>(hero->skin.target);
        ASSERT_NE(skin, nullptr);
    }
    void TearDown() override {
        if (hero != nullptr) {
            hero->timeRecord = RootTimeRecord();
        }
    }
    void Hold() {
        ActorSystem::CancelScheduledCommand(hero->processEntry);
        hero->processEntry = nullptr;
        hero->flags &= ~kActorSimulated;
        clock.flags = kTimeRecordFixed;
        clock.delta = 1.0f / 60.0f;
        hero->timeRecord = &clock;
        hero->sent.clear();
    }
    void Advance(int frames = 1) {
        for (int i = 0; i < frames; ++i) {
            clock.previousTime = clock.time;
            clock.time += clock.delta;
        }
    }
    Recorder *Make(uint32_t classId, const char *name, Actor *parent) {
        return dynamic_cast<Recorder *>(CreateActor(classId, name, nullptr, parent, -1, true));
    }

    TimeRecord clock; // outlives the world
    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    RecorderClass characters{kCharacterClassId, &NewStepCharacter};
    RecorderClass skins{kSkinClassId, &NewScriptedSkin};
    RecorderClass others{12};
    RecorderClass cameras{19};
    StepCharacter *hero = nullptr;
    ScriptedSkin *skin = nullptr;
};

} // namespace game
