// A ball started in a room falls under gravity onto a floor, its bounce
// script tells a probe of each bounce, and it slides and comes to rest on
// the floor, moved by the collision pass under "Scenery" all the while.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <utility>
#include <string>
#include <vector>

#include "actors/world/collision.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/simulation_actor.h"
#include "actors/world/state_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kSetBoxMin = 74;
constexpr uint32_t kSetBoxMax = 76;
constexpr uint32_t kCreateCollision = 108;
constexpr uint32_t kSetSimStyle = 302;
constexpr uint32_t kActionStart = 211;
constexpr uint32_t kOnSimSlideStop = 330;
constexpr uint32_t kOnSimRestStart = 331;

// "RoomA" with a floor at 0 and the simulated ball "Ball" (style 5) at 300
// above it; answers the ball, or null when the floor has no collision.
Actor *BallOverAFloor(scene::SceneBuilder &builder) {
    Actor *room = builder.Make(kDrawGroupClassId, "RoomA");
    SendCommandArgs(room, kSetBoxMin, Vector3{-500, -100, -500});
    SendCommandArgs(room, kSetBoxMax, Vector3{500, 400, 500});
    Actor *floor = builder.Make(0, "Floor", room);
    SendCommandArgs(floor, kCreateCollision);
    SendCommandArgs(floor, kSetBoxMin, Vector3{-1000, -10, -1000});
    SendCommandArgs(floor, kSetBoxMax, Vector3{1000, 0, 1000});
    if (floor->colObjs.empty()) {
        return nullptr;
    }
    floor->colObjs[0]->flags = kColObjActive | kColObjSolid | kColObjTakesEvents;
    floor->colObjs[0]->groups = 1;
    Actor *ball = builder.Make(kSimulationClassId, "Ball", room);
    SendCommandArgs(ball, kSetPosition, Vector3{0, 300, 0});
    SendCommandArgs(ball, kSetSimStyle, 5u);
    return ball;
}

TEST(FallingBallScene, TheBallFallsBouncesAndRestsOnTheFloor) {
    scene::SceneRunner runner;
    ASSERT_TRUE(runner.Ready());
    scene::SceneBuilder builder;
    Actor *ball = BallOverAFloor(builder);
    ASSERT_NE(ball, nullptr);
    Actor *room = ball->parent;
    builder.Make(kStateClassId, "GA7_Probe", room);
    std::string error;
    ASSERT_TRUE(scene::SceneBuilder::AddScript(ball, cmd::base::OnSimBounce,
                                               "[ga]GA7.Action_Start();", &error))
        << error;
    ASSERT_TRUE(builder.Load(&error)) << error;

    ball = scene::SceneBuilder::Find("Ball");
    room = scene::SceneBuilder::Find("RoomA");
    ASSERT_TRUE(ball != nullptr && room != nullptr);
    scene::SpyLog log;
    log.Watch(ball);
    log.Watch(scene::SceneBuilder::Find("GA7_Probe"));
    const uint32_t start = FrameCounter + 10;
    runner.preStep = [&](uint32_t frame) {
        if (frame == start) SendCommandArgs(ball, kActionStart);
    };
    runner.Step(12);
    // Gravity 9.81 at 100 units a metre and the style's factor 1.8: 29.43
    // units a second more each 1/60 s, a little less with drag.
    std::vector<float> speeds;
    uint32_t firstContact = 0;
    for (int i = 0; i < 200 && firstContact == 0; ++i) {
        speeds.push_back(ball->deltaPosition.y);
        runner.Step();
        if (ball->simState && !ball->simState->touches.empty()) firstContact = FrameCounter;
    }
    ASSERT_GE(speeds.size(), 3u);
    for (size_t i = 1; i < 3; ++i) EXPECT_NEAR(speeds[i - 1] - speeds[i], 29.43f, 0.5f) << i;
    EXPECT_NEAR(static_cast<int>(firstContact - start), 33, 2);
    EXPECT_EQ(ball->parent, GetActorById(kSceneryRootId));
    EXPECT_EQ(ball->drawGroupId, room->drawGroupId);

    for (int i = 0; i < 600 && ball->HasFlag(kActorSimulated); ++i) runner.Step();
    ASSERT_FALSE(ball->HasFlag(kActorSimulated));
    runner.Step();
    // The bounce script starts the probe once per bounce ("Start" itself
    // cannot be sent from a script), the first at the first contact.
    std::vector<uint32_t> starts;
    for (const scene::SpyNotice &n : log.notices) {
        if (n.actor == "GA7_Probe" && n.command == kActionStart) starts.push_back(n.frame);
    }
    ASSERT_GE(starts.size(), 2u);
    EXPECT_EQ(starts[0], firstContact);
    EXPECT_EQ(std::adjacent_find(starts.begin(), starts.end(),
                                 [](uint32_t a, uint32_t b) { return b <= a; }),
              starts.end());
    // The free flight ends as the slide starts; the stop comes about a
    // frame before the slide ends and the rest starts.
    const auto frameOf = [&](uint32_t command) {
        const std::vector<std::string> lines = log.Of(command);
        return lines.empty() ? 0u : static_cast<uint32_t>(std::stoul(lines[0]));
    };
    ASSERT_EQ(log.Of(cmd::base::OnSimFreeStop).size(), 1u);
    EXPECT_GT(frameOf(cmd::base::OnSimFreeStop), starts.back());
    EXPECT_EQ(frameOf(cmd::base::OnSimSlideStart), frameOf(cmd::base::OnSimFreeStop));
    EXPECT_NEAR(static_cast<int>(frameOf(kOnSimSlideStop)),
                static_cast<int>(frameOf(cmd::base::StopSimulate)) + 1, 1);
    EXPECT_EQ(frameOf(kOnSimRestStart), frameOf(kOnSimSlideStop));
    std::vector<uint32_t> order;
    for (const scene::SpyNotice &n : log.notices) {
        if (n.command == kOnSimSlideStop || n.command == kOnSimRestStart) order.push_back(n.command);
    }
    EXPECT_EQ(order, (std::vector<uint32_t>{kOnSimSlideStop, kOnSimRestStart}));

    const float restY = ball->position.y;
    EXPECT_GE(restY, 50.0f);
    EXPECT_LE(restY, 51.0f);
    runner.Step(60);
    EXPECT_EQ(ball->position.y, restY);
}

// A gravity so large, or a drag so strong, that a step's numbers overflow:
// such a step is not taken, and drag stops the ball at most, so it stays
// finite and never rises above where it started.
TEST(FallingBallScene, AGravityOrDragThatOverflowsLeavesTheBallFiniteAndBelowItsStart) {
    for (const auto &[gravity, air] : {std::pair{1e30f, 1.0f}, std::pair{9.81f, FLT_MAX}}) {
        scene::SceneRunner runner;
        ASSERT_TRUE(runner.Ready());
        scene::SceneBuilder builder;
        ASSERT_NE(BallOverAFloor(builder), nullptr);
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        Actor *ball = scene::SceneBuilder::Find("Ball");
        Actor *environment = GetActorById(kEnvironmentActorId);
        ASSERT_TRUE(ball != nullptr && environment != nullptr);
        SendCommandArgs(environment, cmd::environment::SetGravity, gravity);
        SendCommandArgs(environment, cmd::environment::SetAirResistance, air);
        SendCommandArgs(ball, kActionStart);
        for (int frame = 0; frame < 60; ++frame) {
            runner.Step();
            ASSERT_TRUE(Vec3IsFinite(ball->position) && Vec3IsFinite(ball->deltaPosition))
                << "gravity " << gravity << ", air " << air << ", frame " << frame;
            ASSERT_LE(ball->position.y, 300.0f) << "gravity " << gravity << ", air " << air;
        }
    }
}

} // namespace
