// A timer opens and closes the door between two rooms: its keys send the
// door's commands from their scripts, the door's connector lets the walk
// into the far room while it is open, and a Time Instance that halves the
// timer's time puts its keys twice as late.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actors/world/time_instance_actor.h"
#include "actors/world/timer_actor.h"
#include "actors/world/door_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "support/scene_harness.h"
#include "support/two_rooms_scene.h"

namespace {

constexpr uint32_t kOnDrawStart = 238;
constexpr uint32_t kOnDrawStop = 239;

class TimerDoorScene : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        std::string error;
        ASSERT_TRUE(scene::BuildTwoRooms(builder, {false, false, 0.0f}, &error)) << error;
        auto *clock = dynamic_cast<TimerActor *>(
            builder.Make(kTimerClassId, "Clock", FindActorByName("RoomA", -1)));
        ASSERT_NE(clock, nullptr);
        SendCommandArgs(clock, cmd::timer::SetTimerType, kTimerForwardOnce);
        SendCommandArgs(clock, cmd::base::SetTotalTime, 5.0f);
        SendCommandArgs(clock, cmd::timer::SetTimerStartActive, 1u);
        clock->AddKey(1.0f, "open", "[ga]GA5.Open_Door();");
        clock->AddKey(3.0f, "close", "[ga]GA5.Close_Door();");
    }
    // Loads the scene and watches the door and the statue; frames count
    // from the first one after the load.
    void Load() {
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        base = FrameCounter;
        clock = dynamic_cast<TimerActor *>(scene::SceneBuilder::Find("Clock"));
        ASSERT_NE(clock, nullptr);
        log.Watch(scene::SceneBuilder::Find("GA5_Door"));
        log.Watch(scene::SceneBuilder::Find("Statue"));
    }
    // The frames (counted from the load) the actor got the command in.
    std::vector<int> Frames(const std::string &actor, uint32_t command) const {
        std::vector<int> frames;
        for (const scene::SpyNotice &notice : log.notices) {
            if (notice.actor == actor && notice.command == command) {
                frames.push_back(static_cast<int>(notice.frame - base));
            }
        }
        return frames;
    }
    static void ExpectOnce(const std::vector<int> &frames, int frame, const char *what) {
        ASSERT_EQ(frames.size(), 1u) << what;
        EXPECT_NEAR(frames[0], frame, 1) << what;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    scene::SpyLog log;
    TimerActor *clock = nullptr;
    uint32_t base = 0;
};

TEST_F(TimerDoorScene, TheKeysOpenAndCloseTheDoorAndTheFarRoomFollows) {
    Load();
    EXPECT_EQ(clock->Mode(), kTimerRunning);
    EXPECT_NE(clock->state & kActorEnabled, 0u);
    runner.Step(300);

    ExpectOnce(Frames("GA5_Door", cmd::door::OnDoorOpen), 61, "open");
    ExpectOnce(Frames("GA5_Door", cmd::door::OnDoorOpened), 91, "opened");
    ExpectOnce(Frames("GA5_Door", cmd::door::OnDoorClose), 181, "close");
    const std::vector<int> closing = Frames("GA5_Door", cmd::door::OnDoorClose);
    const std::vector<int> closed = Frames("GA5_Door", cmd::door::OnDoorClosed);
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_NEAR(closed[0] - closing[0], 31, 1);
    ExpectOnce(Frames("Statue", kOnDrawStart), 61, "statue shown");
    ExpectOnce(Frames("Statue", kOnDrawStop), 211, "statue hidden");

    float now = 0.0f;
    clock->HandleCommand(cmd::base::GetCurrentTime, ParamBlock(&now, sizeof(now)));
    EXPECT_NEAR(now, 5.0f, 1.0f / 60.0f);
    EXPECT_EQ(clock->Mode(), kTimerRunning);
}

TEST_F(TimerDoorScene, AHalvingTimeInstanceOpensTheDoorTwiceAsLate) {
    Actor *instance = builder.Make(kTimeInstanceClassId, "Half", FindActorByName("RoomA", -1));
    ASSERT_NE(instance, nullptr);
    builder.beforeStart = [] {
        Actor *half = scene::SceneBuilder::Find("Half");
        Actor *timer = scene::SceneBuilder::Find("Clock");
        ASSERT_TRUE(half != nullptr && timer != nullptr);
        SendCommandArgs(half, cmd::time_instance::SetTimeinstanceMultiplier, 0.5f);
        half->HandleCommand(cmd::time_instance::TimeinstanceConnectActor,
                            ParamBlock(&timer, sizeof(timer)));
    };
    Load();
    runner.Step(130);
    ExpectOnce(Frames("GA5_Door", cmd::door::OnDoorOpen), 121, "open");
}

} // namespace
