// The Trigger actor: its default sphere and script, occupancy events from
// touches (told directly, and through the collision pass in a loaded
// scene), the max count, commands to the occupants, copies, the Process
// subscription, and its file record by version.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "actors/world/collision.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/trigger_actor.h"
#include "base/file_system.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/script_runner.h"
#include "support/record_file.h"
#include "support/scene_harness.h"
#include "support/temp_folder.h"

namespace {

constexpr uint32_t kSetPosition = 63;

// Notes "<frame> <event> <local actor>" for every script run.
struct EventLog : ScriptRunner {
    int Run(ScriptRecord *record, Actor *local) override {
        lines.push_back(std::to_string(FrameCounter) + " " + std::to_string(record->eventId) +
                        " " + (local != nullptr ? local->name : std::string("-")));
        return 1;
    }
    std::vector<std::string> lines;
};

class TriggerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        previous = InstallScriptRunner(&log);
    }
    void TearDown() override { InstallScriptRunner(previous); }

    TriggerActor *Trigger(const std::string &name = "T", Actor *parent = nullptr) {
        auto *trigger = dynamic_cast<TriggerActor *>(builder.Make(kTriggerClassId, name, parent));
        for (uint32_t event : {cmd::trigger::OnTriggerEnterFirst, cmd::trigger::OnTriggerExit,
                               cmd::trigger::OnTriggerExitLast}) {
            auto script = std::make_unique<ScriptRecord>();
            script->eventId = event;
            script->owner = trigger;
            trigger->scripts.push_back(std::move(script));
        }
        return trigger;
    }
    // An actor with a collision sphere that the trigger is told touched it.
    Actor *Toucher(const std::string &name) {
        Actor *actor = builder.Make(0, name);
        ColObj object(actor);
        object.type = kKindSphere;
        actor->AddColObj(object);
        return actor;
    }
    static void Touch(TriggerActor *trigger, Actor *other) {
        const ColObj *pair[2] = {other->colObjs[0].get(), trigger->colObjs[0].get()};
        trigger->HandleCommand(cmd::base::CollisionEvent, ParamBlock(pair, sizeof(pair)));
    }
    // The log from this frame on, with frames counted from `start`.
    std::vector<std::string> Since(uint32_t start) {
        std::vector<std::string> out;
        for (const std::string &line : log.lines) {
            const uint32_t frame = static_cast<uint32_t>(std::stoul(line));
            out.push_back(std::to_string(frame - start) + line.substr(line.find(' ')));
        }
        log.lines.clear();
        return out;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    EventLog log;
    ScriptRunner *previous = nullptr;
};

TEST_F(TriggerTest, CreateMakesTheEventSphereAndTheEnterScript) {
    TriggerActor *trigger = dynamic_cast<TriggerActor *>(builder.Make(kTriggerClassId, "T"));
    ASSERT_NE(trigger, nullptr);
    ASSERT_EQ(trigger->colObjs.size(), 1u);
    const ColObj &c = *trigger->colObjs[0];
    EXPECT_EQ(std::tuple(c.name, c.type, c.boxMax.x, c.material, c.flags & 0x7Fu, c.groups,
                         c.receiveGroups, c.owner),
              std::tuple(std::string("Trigger"), 1u, 200.0f, 0u, 7u, 0u, 0x4000000u,
                         static_cast<Actor *>(trigger)));
    ASSERT_EQ(trigger->scripts.size(), 1u);
    EXPECT_EQ(std::tuple(trigger->scripts[0]->name, trigger->scripts[0]->eventId,
                         trigger->scripts[0]->source),
              std::tuple(std::string("On Trigger"), cmd::trigger::OnTriggerEnter, std::string()));
    EXPECT_EQ(std::tuple(trigger->maxCount, trigger->OccupantCount(), trigger->occupied),
              std::tuple(1u, 0u, 0u));

    SendCommandArgs(trigger, cmd::trigger::SetTriggerRadius, 100.0f);
    float radius = 0.0f;
    trigger->HandleCommand(cmd::trigger::GetTriggerRadius, ParamBlock(&radius, sizeof(radius)));
    EXPECT_EQ(radius, 100.0f);
    // Without an object the radius is nobody's.
    trigger->RemoveColObj(0);
    radius = -1.0f;
    SendCommandArgs(trigger, cmd::trigger::SetTriggerRadius, 50.0f);
    trigger->HandleCommand(cmd::trigger::GetTriggerRadius, ParamBlock(&radius, sizeof(radius)));
    EXPECT_EQ(radius, -1.0f);
}

TEST_F(TriggerTest, PrecalculateRebindsCollisionScriptsAndFindsAGroup) {
    Actor *room = builder.Make(kDrawGroupClassId, "Room");
    SendCommandArgs(room, 74, Vector3{-500, -100, -500});
    SendCommandArgs(room, 76, Vector3{500, 400, 500});
    TriggerActor *trigger = Trigger();
    SendCommandArgs(trigger, kSetPosition, Vector3{0, 50, 300});
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;
    trigger = dynamic_cast<TriggerActor *>(scene::SceneBuilder::Find("T"));
    ASSERT_NE(trigger, nullptr);
    trigger->scripts[1]->eventId = cmd::base::CollisionEvent;
    SendCommandArgs(trigger, 153u);
    EXPECT_EQ(trigger->scripts[1]->eventId, cmd::trigger::OnTriggerEnter);
    EXPECT_EQ(trigger->drawGroupId, dynamic_cast<DrawGroupActor *>(scene::SceneBuilder::Find("Room"))->drawGroupId);
    EXPECT_TRUE(trigger->HasFlag(kActorInDrawGroup));
}

TEST_F(TriggerTest, OccupantsEnterAndLeaveInListOrder) {
    TriggerActor *trigger = Trigger();
    SendCommandArgs(trigger, cmd::base::SetSelectionMaxCount, 3u);
    Actor *a = Toucher("A");
    Actor *b = Toucher("B");
    Actor *c = Toucher("C");
    Actor *d = Toucher("D");
    const uint32_t start = FrameCounter;
    for (Actor *actor : {a, b, c, d}) {
        Touch(trigger, actor); // D finds the trigger full
    }
    EXPECT_NE(trigger->processEntry, nullptr);
    runner.Step(1);
    Touch(trigger, b);
    runner.Step(2);
    EXPECT_EQ(Since(start), (std::vector<std::string>{"1 1431 A", "1 1429 A", "1 1429 B",
                                                      "1 1429 C", "2 1430 A", "2 1430 C",
                                                      "3 1430 B", "3 1432 B"}));
    EXPECT_EQ(std::tuple(trigger->OccupantCount(), trigger->occupied), std::tuple(0u, 0u));
    EXPECT_EQ(trigger->processEntry, nullptr);
    // Now D is taken.
    Touch(trigger, d);
    runner.Step(1);
    EXPECT_EQ(Since(start), (std::vector<std::string>{"4 1431 D", "4 1429 D"}));
}

TEST_F(TriggerTest, WithMaxCountOneASecondActorWaitsForTheFirstToLeave) {
    TriggerActor *trigger = Trigger();
    Actor *a = Toucher("A");
    Actor *b = Toucher("B");
    const uint32_t start = FrameCounter;
    Touch(trigger, a);
    runner.Step(1);
    Touch(trigger, a);
    Touch(trigger, b);
    runner.Step(1);
    Touch(trigger, b);
    runner.Step(1); // A leaves
    Touch(trigger, b);
    runner.Step(1);
    EXPECT_EQ(Since(start), (std::vector<std::string>{"1 1431 A", "1 1429 A", "3 1430 A",
                                                      "3 1432 A", "4 1431 B", "4 1429 B"}));
}

TEST_F(TriggerTest, ATouchAfterTheListEmptiedInTheSameFrameSubscribesAgain) {
    TriggerActor *trigger = Trigger();
    Actor *a = Toucher("A");
    const uint32_t start = FrameCounter;
    Touch(trigger, a);
    runner.Step(2); // enters, then leaves: the list empties in frame 2's Process
    ASSERT_EQ(trigger->OccupantCount(), 0u);
    Touch(trigger, a); // later in frame 2
    ASSERT_NE(trigger->processEntry, nullptr);
    runner.Step(1);
    EXPECT_EQ(Since(start), (std::vector<std::string>{"1 1431 A", "1 1429 A", "2 1430 A",
                                                      "2 1432 A", "3 1431 A", "3 1429 A"}));
}

TEST_F(TriggerTest, CommandSelectionReachesTheOccupantsInOrder) {
    TriggerActor *trigger = Trigger();
    trigger->maxCount = 3;
    std::vector<Actor *> actors = {Toucher("C"), Toucher("A"), Toucher("B")};
    for (Actor *actor : actors) {
        Touch(trigger, actor);
    }
    scene::SpyLog spies;
    for (Actor *actor : actors) {
        spies.Watch(actor);
    }
    uint8_t block[16] = {};
    const uint32_t command = kSetPosition;
    const Vector3 to = {7, 7, 7};
    std::memcpy(block, &command, 4);
    std::memcpy(block + 4, &to, sizeof(to));
    trigger->HandleCommand(50, ParamBlock(block, sizeof(block)));
    std::vector<std::string> order;
    for (const scene::SpyNotice &notice : spies.notices) {
        order.push_back(notice.actor);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"C", "A", "B"}));
    EXPECT_EQ(actors[2]->position.x, 7.0f);
}

TEST_F(TriggerTest, AnOccupantDeletedInsideGoesWithoutExitEvents) {
    TriggerActor *trigger = Trigger();
    Actor *a = Toucher("A");
    Touch(trigger, a);
    runner.Step(1);
    log.lines.clear();
    ASSERT_EQ(DeleteActor(a), 1);
    EXPECT_EQ(std::tuple(trigger->OccupantCount(), trigger->occupied), std::tuple(0u, 1u));
    runner.Step(1);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(trigger->processEntry, nullptr);
    // The flag stays, so the next first entry is not announced as such.
    Touch(trigger, Toucher("B"));
    runner.Step(1);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find(" 1429 B"), std::string::npos);
}

TEST_F(TriggerTest, ACopyStartsWithNoOccupants) {
    TriggerActor *trigger = Trigger();
    trigger->maxCount = 2;
    trigger->delayTime = 1.5f;
    Touch(trigger, Toucher("A"));
    runner.Step(1);
    Actor *parent = GetActorById(kSceneryRootId);
    auto *copy = dynamic_cast<TriggerActor *>(CopyActorTree(trigger, parent));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->maxCount, copy->delayTime, copy->OccupantCount(), copy->occupied),
              std::tuple(2u, 1.5f, 0u, 0u));
    // It takes occupants and announces them as usual.
    log.lines.clear();
    Touch(copy, Toucher("B"));
    Touch(copy, Toucher("C"));
    runner.Step(2);
    EXPECT_EQ(copy->OccupantCount(), 0u);
    // The copy: enter first, two enters, two exits, exit last; T: A leaves.
    EXPECT_EQ(log.lines.size(), 8u);
}

TEST_F(TriggerTest, FileRecordByVersion) {
    TempFolder folder;
    TriggerActor *trigger = Trigger();
    trigger->deactivateTime = 2.0f;
    trigger->delayTime = 3.0f;
    trigger->maxCount = 4;
    for (uint32_t version : {20u, 21u, 63u}) {
        const std::string path = folder / "trigger.bin";
        ASSERT_TRUE(recordfile::Write(*trigger, path, version));
        auto *back = dynamic_cast<TriggerActor *>(CreateActor(
            static_cast<int32_t>(kTriggerClassId), "Back", nullptr, nullptr, -1, false));
        ASSERT_EQ(recordfile::Read(*back, path, version), 1);
        EXPECT_EQ(std::tuple(back->deactivateTime, back->delayTime, back->maxCount),
                  version >= 63   ? std::tuple(2.0f, 3.0f, 4u)
                  : version >= 21 ? std::tuple(2.0f, 3.0f, 1u)
                                  : std::tuple(0.0f, 0.0f, 1u))
            << version;
        DeleteActor(back);
    }
}

// Through the collision pass: a sphere that steps into the trigger's sphere
// for one frame, a trigger without objects, and a stopped trigger.
TEST_F(TriggerTest, TouchesThroughTheCollisionPass) {
    Actor *room = builder.Make(kDrawGroupClassId, "Room");
    SendCommandArgs(room, 74, Vector3{-500, -100, -500});
    SendCommandArgs(room, 76, Vector3{500, 400, 500});
    TriggerActor *trigger = Trigger("T", room);
    trigger->colObjs[0]->receiveGroups = 1;
    SendCommandArgs(trigger, cmd::trigger::SetTriggerRadius, 100.0f);
    SendCommandArgs(trigger, kSetPosition, Vector3{0, 50, 300});
    Actor *runnerActor = builder.Make(0, "Runner", room);
    ColObj sphere(runnerActor);
    sphere.type = kKindSphere;
    sphere.boxMin = {0, 0, 0};
    sphere.boxMax = {20, 20, 20};
    sphere.flags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents | kColObjTakesAllEvents;
    runnerActor->AddColObj(sphere);
    SendCommandArgs(runnerActor, kSetPosition, Vector3{0, 50, -300});
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;
    trigger = dynamic_cast<TriggerActor *>(scene::SceneBuilder::Find("T"));
    runnerActor = scene::SceneBuilder::Find("Runner");
    runner.SetCamera({0, 50, 0});
    runner.Step(2);
    log.lines.clear();
    const uint32_t start = FrameCounter;
    // In for frame 1 only.
    runner.preStep = [&](uint32_t frame) {
        const float z = frame == start + 1 ? 300.0f : -300.0f;
        SendCommandArgs(runnerActor, kSetPosition, Vector3{0, 50, z});
    };
    runner.Step(4);
    EXPECT_EQ(Since(start), (std::vector<std::string>{"2 1431 Runner", "2 1429 Runner",
                                                      "3 1430 Runner", "3 1432 Runner"}));
    // Stopped: it hears no touches; the one inside leaves at the next Process.
    runner.preStep = [&](uint32_t) { SendCommandArgs(runnerActor, kSetPosition, Vector3{0, 50, 300}); };
    runner.Step(2);
    ASSERT_EQ(trigger->OccupantCount(), 1u);
    log.lines.clear();
    SendCommandArgs(trigger, 37u);
    EXPECT_FALSE(trigger->HasFlag(kActorCollisionEnabled));
    runner.Step(2);
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_NE(log.lines[0].find(" 1430 Runner"), std::string::npos);
    EXPECT_EQ(trigger->OccupantCount(), 0u);
}

} // namespace
