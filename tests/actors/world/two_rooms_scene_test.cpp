// Two rooms joined by a door that a trigger opens: a runner walks into the
// trigger, whose script opens the door; the door's connector lets the
// visibility walk into the far room while it is open, and the door closes
// itself a second after it opened fully. With the connector made a load
// point, the far room loads its resources only when the door opens.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "actors/world/door_actor.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "actors/world/trigger_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/script_runner.h"
#include "core/actors/subsystem_hooks.h"
#include "support/scene_harness.h"
#include "support/two_rooms_scene.h"

namespace {

constexpr uint32_t kPositionAdd = 78;

// Notes the trigger's events as its scripts run ("<frame> <event>"), then
// runs them with the interpreter.
struct TriggerEvents : ScriptRunner {
    int Run(ScriptRecord *record, Actor *local) override {
        if (record->owner != nullptr && record->owner->name == "T") {
            runs.push_back(std::to_string(FrameCounter - base) + " " + std::to_string(record->eventId));
        }
        ScriptRunner *self = InstallScriptRunner(nullptr);
        const int result = RunActorScript(record, local);
        InstallScriptRunner(self);
        return result;
    }
    std::vector<std::string> runs;
    uint32_t base = 0;
};

class TwoRoomsScene : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        std::string error;
        ASSERT_TRUE(scene::BuildTwoRooms(builder, {}, &error)) << error;
        // Scripts that do nothing on the trigger's other events.
        Actor *trigger = FindActorByName("T", -1);
        for (uint32_t event : {cmd::trigger::OnTriggerEnterFirst, cmd::trigger::OnTriggerExit,
                               cmd::trigger::OnTriggerExitLast}) {
            ASSERT_TRUE(scene::SceneBuilder::AddScript(trigger, event, "", &error)) << error;
        }
        previous = InstallScriptRunner(&events);
    }
    void TearDown() override { InstallScriptRunner(previous); }
    // Loads the scene, watches its actors and moves the runner 10 units
    // along x before every frame; frames count from the first after the
    // load.
    void Load() {
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        base = FrameCounter;
        events.base = base;
        for (const char *name : {"FloorA", "T", "Runner", "Statue", "GA5_Door", "RoomB"}) {
            ASSERT_NE(scene::SceneBuilder::Find(name), nullptr) << name;
            log.Watch(scene::SceneBuilder::Find(name));
        }
        Actor *walker = scene::SceneBuilder::Find("Runner");
        runner.preStep = [walker](uint32_t) { SendCommandArgs(walker, kPositionAdd, Vector3{10, 0, 0}); };
    }
    // "<frame> <command>" of the actor's notices of the commands, frames
    // counted from the load.
    std::vector<std::string> Notices(const std::string &actor, std::vector<uint32_t> commands) const {
        std::vector<std::string> lines;
        for (const scene::SpyNotice &n : log.notices) {
            if (n.actor == actor &&
                std::find(commands.begin(), commands.end(), n.command) != commands.end()) {
                lines.push_back(std::to_string(n.frame - base) + " " + std::to_string(n.command));
            }
        }
        return lines;
    }
    int FrameOf(const std::string &actor, uint32_t command) const {
        const std::vector<std::string> lines = Notices(actor, {command});
        return lines.size() == 1 ? std::stoi(lines[0]) : -1;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    scene::SpyLog log;
    uint32_t base = 0;
    TriggerEvents events;
    ScriptRunner *previous = nullptr;
};

TEST_F(TwoRoomsScene, TheRunnerOpensTheDoorThroughTheTrigger) {
    Load();
    ASSERT_EQ(DrawGroupRegistry.size(), 4u);
    auto *roomA = dynamic_cast<DrawGroupActor *>(DrawGroupRegistry[2]);
    auto *roomB = dynamic_cast<DrawGroupActor *>(DrawGroupRegistry[3]);
    ASSERT_TRUE(roomA != nullptr && roomB != nullptr);
    EXPECT_EQ(std::tuple(roomA->name, roomB->name), std::tuple("RoomA", "RoomB"));
    auto *connector = dynamic_cast<DrawGroupConnectorActor *>(scene::SceneBuilder::Find("Door Connector"));
    ASSERT_NE(connector, nullptr);
    EXPECT_EQ(connector->groupIds, (std::vector<uint32_t>{2, 3}));
    for (DrawGroupActor *room : {roomA, roomB}) {
        EXPECT_NE(std::find(room->connectorIds.begin(), room->connectorIds.end(),
                            static_cast<uint32_t>(connector->actorId)),
                  room->connectorIds.end())
            << room->name;
    }

    runner.Step(1);
    for (const char *name : {"FloorA", "T", "Runner"}) {
        EXPECT_EQ(Notices(name, {cmd::base::OnDrawStart}),
                  std::vector<std::string>{"1 238"}) << name;
    }
    EXPECT_TRUE(Notices("Statue", {cmd::base::OnDrawStart}).empty());
    // The walk drew the closed connector's door and updated only RoomA's
    // members: an update stamps the actor with its clock's time.
    EXPECT_EQ(std::tuple(connector->type, connector->drawn), std::tuple(kConnectorDoor, 1u));
    EXPECT_GT(scene::SceneBuilder::Find("FloorA")->currentTime, 0.0f);
    EXPECT_EQ(scene::SceneBuilder::Find("Statue")->currentTime, 0.0f);

    uint32_t connectorOpened = 0, connectorClosed = 0;
    for (int i = 0; i < 200; ++i) {
        runner.Step(1);
        const uint32_t frame = FrameCounter - base;
        if (connectorOpened == 0 && connector->isOpen != 0) connectorOpened = frame;
        if (connectorOpened != 0 && connectorClosed == 0 && connector->isOpen == 0) connectorClosed = frame;
    }
    // Loaded once, in the first frame that reached RoomB's neighbour.
    EXPECT_EQ(Notices("Statue", {cmd::base::LoadResources}), std::vector<std::string>{"2 226"});
    // The runner overlaps T from frame 29 (x 290); T's process runs a frame
    // later, first the first entry, then the entry.
    EXPECT_EQ(events.runs, (std::vector<std::string>{"30 1431", "30 1429", "53 1430", "53 1432"}));
    EXPECT_EQ(FrameOf("GA5_Door", cmd::door::OnDoorOpen), 30);
    EXPECT_EQ(connectorOpened, 30u);
    EXPECT_EQ(Notices("Statue", {cmd::base::OnDrawStart}), std::vector<std::string>{"30 238"});
    const int opened = FrameOf("GA5_Door", cmd::door::OnDoorOpened);
    const int closing = FrameOf("GA5_Door", cmd::door::OnDoorClose);
    EXPECT_NEAR(opened, 60, 1);
    EXPECT_NEAR(closing - opened, 60, 1);
    EXPECT_NEAR(static_cast<int>(connectorClosed) - closing, 30, 1);
    EXPECT_EQ(Notices("Statue", {cmd::base::OnDrawStop}),
              std::vector<std::string>{std::to_string(connectorClosed) + " 239"});
    EXPECT_EQ(FrameOf("GA5_Door", cmd::door::OnDoorClosed), static_cast<int>(connectorClosed) + 1);

    auto *door = dynamic_cast<DoorActor *>(scene::SceneBuilder::Find("GA5_Door"));
    ASSERT_TRUE(door != nullptr && door->Leaf1() != nullptr);
    const Quaternion &turn = door->Leaf1()->rotation;
    EXPECT_EQ(std::tuple(turn.x, turn.y, turn.z, turn.w), std::tuple(0.0f, 0.0f, 0.0f, 1.0f));
    auto *trigger = dynamic_cast<TriggerActor *>(scene::SceneBuilder::Find("T"));
    ASSERT_NE(trigger, nullptr);
    EXPECT_EQ(trigger->processEntry, nullptr);
}

TEST_F(TwoRoomsScene, ALoadPointLoadsTheFarRoomWhenTheDoorOpens) {
    SendCommandArgs(FindActorByName("Door Connector", -1), cmd::draw_group_connector::SetLoadPoint,
                    1u);
    Load();
    runner.Step(40);
    // To the whole world as RoomA loads, then as RoomB does.
    EXPECT_EQ(Notices("RoomB", {cmd::base::OnLoadResourceGroup}),
              (std::vector<std::string>{"1 231", "30 231"}));
    // None in frame 2, as the room behind the closed door was not loaded
    // then.
    EXPECT_EQ(Notices("RoomB", {cmd::base::LoadResources}), std::vector<std::string>{"31 226"});
}

} // namespace
