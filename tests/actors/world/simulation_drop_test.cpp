// A ball dropped onto a floor in a loaded scene, run through the engine's
// frame step: it falls, bounces, slides, stops and rests.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "actors/world/collision.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/simulation_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/script_runner.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kSetBoxMin = 74;
constexpr uint32_t kSetBoxMax = 76;
constexpr uint32_t kCreateCollision = 108;
constexpr uint32_t kSetSimStyle = 302;
constexpr uint32_t kActionStart = 211;

// Counts the runs of scripts bound to "On Sim Bounce".
struct BounceCounter : ScriptRunner {
    int Run(ScriptRecord *record, Actor *local) override {
        if (record->eventId == cmd::base::OnSimBounce) {
            frames.push_back(FrameCounter);
            locals.push_back(local != nullptr ? local->name : "");
        }
        return 1;
    }
    std::vector<uint32_t> frames;
    std::vector<std::string> locals;
};

class SimulationDropTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        previousRunner = InstallScriptRunner(&bounces);
    }
    void TearDown() override { InstallScriptRunner(previousRunner); }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    scene::SpyLog spies;
    BounceCounter bounces;
    ScriptRunner *previousRunner = nullptr;
};

TEST_F(SimulationDropTest, ABallFallsBouncesSlidesAndComesToRestOnTheFloor) {
    Actor *room = builder.Make(kDrawGroupClassId, "RoomA");
    SendCommandArgs(room, kSetBoxMin, Vector3{-500, -100, -500});
    SendCommandArgs(room, kSetBoxMax, Vector3{500, 400, 500});
    Actor *floor = builder.Make(0, "Floor", room);
    SendCommandArgs(floor, kCreateCollision);
    SendCommandArgs(floor, kSetBoxMin, Vector3{-500, -100, -500});
    SendCommandArgs(floor, kSetBoxMax, Vector3{500, 0, 500});
    floor->colObjs[0]->flags = kColObjActive | kColObjSolid | kColObjTakesEvents;
    Actor *ball = builder.Make(kSimulationClassId, "Ball", room);
    SendCommandArgs(ball, kSetPosition, Vector3{0, 300, 0});
    SendCommandArgs(ball, kSetSimStyle, 5u);
    auto script = std::make_unique<ScriptRecord>();
    script->name = "bounce";
    script->eventId = cmd::base::OnSimBounce;
    script->source = "";
    script->owner = ball;
    ball->scripts.push_back(std::move(script));
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;

    ball = scene::SceneBuilder::Find("Ball");
    floor = scene::SceneBuilder::Find("Floor");
    room = scene::SceneBuilder::Find("RoomA");
    ASSERT_TRUE(ball != nullptr && floor != nullptr && room != nullptr);
    spies.Watch(ball);
    spies.Watch(floor);
    runner.SetCamera({0, 100, -400});

    const uint32_t start = FrameCounter + 10;
    uint32_t firstContact = 0;
    float speedBefore = 0.0f;
    float lastSpeed = 0.0f;
    runner.preStep = [&](uint32_t frame) {
        if (frame == start) {
            SendCommandArgs(ball, kActionStart);
        }
        lastSpeed = Vec3Length(ball->deltaPosition);
    };
    for (int i = 0; i < 200 && firstContact == 0; ++i) {
        runner.Step();
        if (ball->simState && !ball->simState->touches.empty()) {
            firstContact = FrameCounter;
            speedBefore = lastSpeed;
        }
    }
    EXPECT_EQ(ball->parent, GetActorById(kSceneryRootId));
    EXPECT_EQ(ball->drawGroupId, room->drawGroupId);
    EXPECT_NEAR(static_cast<int>(firstContact - start), 33, 2);
    // The speed of the frame before plus one frame of gravity (drag is
    // small at that speed over one frame).
    EXPECT_NEAR(speedBefore + 29.43f, 890.0f, 15.0f);

    // Until it stops: bounces, then the slide, then the stop and rest.
    for (int i = 0; i < 600 && ball->HasFlag(kActorSimulated); ++i) {
        runner.Step();
    }
    ASSERT_FALSE(ball->HasFlag(kActorSimulated));
    runner.Step(); // a stop scheduled twice acts once
    EXPECT_GE(bounces.frames.size(), 3u);
    EXPECT_EQ(bounces.locals.front(), "Floor");
    const std::vector<std::string> freeStop = spies.Of(328);
    const std::vector<std::string> slideStart = spies.Of(329);
    const std::vector<std::string> slideStop = spies.Of(330);
    const std::vector<std::string> restStart = spies.Of(331);
    ASSERT_EQ(freeStop.size(), 1u);
    ASSERT_EQ(slideStart.size(), 1u);
    ASSERT_EQ(slideStop.size(), 1u);
    ASSERT_EQ(restStart.size(), 1u);
    const auto frameOf = [](const std::string &line) { return std::stoul(line); };
    EXPECT_GT(frameOf(freeStop[0]), bounces.frames.back());
    EXPECT_EQ(frameOf(freeStop[0]), frameOf(slideStart[0]));
    EXPECT_LE(frameOf(slideStart[0]), frameOf(slideStop[0]));
    EXPECT_EQ(frameOf(slideStop[0]), frameOf(restStart[0]));
    EXPECT_GE(spies.Count("Ball", cmd::base::StopSimulate), 1u);
    EXPECT_EQ(ball->simParams->Motion(), kSimResting);

    // At rest on the floor for 60 more frames.
    for (int i = 0; i < 60; ++i) {
        runner.Step();
        ASSERT_GE(ball->position.y, 50.0f) << i;
        ASSERT_LE(ball->position.y, 51.0f) << i;
    }
    EXPECT_EQ(spies.Count("Ball", cmd::base::OnSimRestStop), 0u);
    EXPECT_EQ(spies.Count("Ball", cmd::base::PoseRestored), 0u);

    // The floor heard of the ball at most once per frame.
    std::vector<std::string> events = spies.Of(cmd::base::CollisionEvent);
    std::vector<std::string> floorEvents;
    for (const scene::SpyNotice &n : spies.notices) {
        if (n.actor == "Floor" && n.command == cmd::base::CollisionEvent) {
            floorEvents.push_back(std::to_string(n.frame));
        }
    }
    EXPECT_FALSE(floorEvents.empty());
    EXPECT_EQ(std::adjacent_find(floorEvents.begin(), floorEvents.end()), floorEvents.end());
}

} // namespace
