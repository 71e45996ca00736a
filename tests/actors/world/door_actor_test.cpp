// The Door actor's commands: floors and units, axis presets, lock groups,
// building its children, the connector switch, the lock and action rules
// with a stand-in key, the once-per-frame lock timer, links to children
// that go away, and its file record by version.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "actors/world/door_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "base/file_system.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_factory.h"
#include "core/actors/command_ids.h"
#include "core/actors/placeholder_actor.h"
#include "support/record_file.h"
#include "support/scene_harness.h"
#include "support/temp_folder.h"
#include "support/test_key.h"

namespace {

using testkey::TestKey;

class DoorActorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        system = GetActorSystem();
    }

    DoorActor *Door(const std::string &name = "Door") {
        return dynamic_cast<DoorActor *>(builder.Make(kDoorClassId, name));
    }
    static std::vector<std::string> ChildNames(const Actor *actor) {
        std::vector<std::string> names;
        for (const Actor *child : actor->children) {
            names.push_back(child->name);
        }
        return names;
    }
    std::vector<uint32_t> Echoes() const {
        std::vector<uint32_t> ids;
        for (const CommandLogRecord &record : system->commandLog) {
            ids.push_back(record.commandId);
        }
        return ids;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    ActorSystem *system = nullptr;
};

TEST_F(DoorActorTest, SettersKeepFloorsUnitsAndPresets) {
    DoorActor *door = Door();
    ASSERT_NE(door, nullptr);
    SendCommandArgs(door, cmd::door::SetDoorOpenTime, 0.0f);
    SendCommandArgs(door, cmd::door::SetDoorCloseTime, -3.0f);
    SendCommandArgs(door, cmd::door::SetDoorAutocloseTime, NAN);
    SendCommandArgs(door, cmd::door::SetOpenLength, 0.5f);
    EXPECT_EQ(std::tuple(door->openTime, door->closeTime, door->autoCloseTime, door->openLength),
              std::tuple(0.01f, 0.01f, 0.01f, 1.0f));

    SendCommandArgs(door, cmd::door::SetOpenAngle, 90.0f);
    float degrees = 0.0f;
    door->HandleCommand(cmd::door::GetOpenAngle, ParamBlock(&degrees, sizeof(degrees)));
    EXPECT_NEAR(degrees, 90.0f, 1e-4f);
    EXPECT_NEAR(door->openAngle, 1.5707964f, 1e-6f);

    const Vector3 presets[] = {{0, 1, 0}, {1, 0, 0},  {0, 0, -1}, {1, 0, 0}, {0, 1, 0},
                               {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    for (uint32_t preset = 0; preset < 9; ++preset) {
        SendCommandArgs(door, cmd::door::SetDoorAxis_758, preset);
        EXPECT_EQ(std::tuple(door->axis.x, door->axis.y, door->axis.z),
                  std::tuple(presets[preset].x, presets[preset].y, presets[preset].z))
            << preset;
    }
    SendCommandArgs(door, cmd::door::SetDoorAxis_758, 9u);
    EXPECT_EQ(door->axisPreset, 9u);
    EXPECT_EQ(door->axis.z, -1.0f); // the -Z of preset 8 stays

    // Lock groups are numbered from 1; 0 and numbers above 32 name no bit.
    SendCommandArgs(door, cmd::door::SetLockGroup, 3u, true);
    EXPECT_EQ(door->lockGroups, 4u);
    SendCommandArgs(door, cmd::door::SetLockGroup, 32u, true);
    EXPECT_EQ(door->lockGroups, 0x80000004u);
    for (uint32_t n : {0u, 33u, 64u, 0xFFFFFFFFu}) {
        SendCommandArgs(door, cmd::door::SetLockGroup, n, true);
        SendCommandArgs(door, cmd::door::SetLockGroup, n, false);
    }
    EXPECT_EQ(door->lockGroups, 0x80000004u);
    SendCommandArgs(door, cmd::door::SetLockGroup, 3u, false);
    EXPECT_EQ(door->lockGroups, 0x80000000u);

    // Locking without lock groups leaves the door unlocked and says so.
    scene::SpyLog spies;
    spies.Watch(door);
    SendCommandArgs(door, cmd::door::SetLockgroup, 0u);
    SendCommandArgs(door, cmd::door::SetLockLocked, true);
    EXPECT_EQ(door->locked, 0u);
    EXPECT_EQ(spies.Count("Door", cmd::door::OnDoorUnlock), 1u);
    SendCommandArgs(door, cmd::door::SetLockgroup, 2u);
    SendCommandArgs(door, cmd::door::SetLockLocked, true);
    EXPECT_EQ(door->locked, 1u);
    EXPECT_EQ(spies.Count("Door", cmd::door::OnDoorLock), 1u);
}

TEST_F(DoorActorTest, SwitchesStoreOneOrZeroAndGetsAnswerTheFields) {
    DoorActor *door = Door();
    ASSERT_NE(door, nullptr);
    const std::pair<uint32_t, uint32_t DoorActor::*> switches[] = {
        {cmd::door::SetDoorAutoclose, &DoorActor::autoClose},
        {cmd::door::SetDoorNeverAutocloseOnCollision, &DoorActor::neverAutoCloseOnCollision},
        {cmd::door::SetDoorAutoopen, &DoorActor::autoOpen},
        {cmd::door::SetDoorOpenAwayFromOpener, &DoorActor::openAwayFromOpener},
        {cmd::door::SetSoundSwitch, &DoorActor::soundSwitch},
    };
    for (const auto &[set, field] : switches) {
        SendCommandArgs(door, set, 0xFFFFFFFFu);
        EXPECT_EQ(door->*field, 1u) << set;
        uint32_t word = 7;
        door->HandleCommand(set + 1, ParamBlock(&word, sizeof(word)));
        EXPECT_EQ(word, 1u) << set;
        SendCommandArgs(door, set, 0u);
        EXPECT_EQ(door->*field, 0u) << set;
    }
    // Plain words and reals are kept as given, with no floor.
    SendCommandArgs(door, cmd::door::SetDoorAnimationType, 5u);
    SendCommandArgs(door, cmd::door::SetLockTime, -2.5f);
    float lockTime = 0.0f;
    door->HandleCommand(cmd::door::GetLockTime, ParamBlock(&lockTime, sizeof(lockTime)));
    EXPECT_EQ(std::tuple(door->animationType, door->lockTime, lockTime),
              std::tuple(5u, -2.5f, -2.5f));
    // A get into a block too short for its word leaves the block alone.
    uint16_t shortBlock = 9;
    door->HandleCommand(cmd::door::GetDoorAnimationType,
                        ParamBlock(&shortBlock, sizeof(shortBlock)));
    EXPECT_EQ(shortBlock, 9u);
}

TEST_F(DoorActorTest, CreateCopiesTheTemplatesFieldsButNotItsLinks) {
    DoorActor *door = Door();
    ASSERT_NE(door, nullptr);
    SendCommandArgs(door, cmd::door::SetDoorType, kDoorDouble);
    ASSERT_NE(door->Leaf2(), nullptr);
    SendCommandArgs(door, cmd::door::SetDoorOpenTime, 2.0f);
    SendCommandArgs(door, cmd::door::SetLockgroup, 6u);
    door->unlockDuration = 3.0f;
    door->motionClock = 0.25f;
    door->lockTimerFrame = 7;
    auto *copy =
        dynamic_cast<DoorActor *>(CreateActor(kDoorClassId, "Copy", door, nullptr, -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->doorType, copy->openTime, copy->lockGroups, copy->unlockDuration,
                         copy->motionClock, copy->lockTimerFrame),
              std::tuple(kDoorDouble, 2.0f, 6u, 3.0f, 0.25f, 0xFFFFFFFFu));
    EXPECT_EQ(std::tuple(copy->Leaf1(), copy->Leaf2(), copy->Sound(kSoundOpen)),
              std::tuple(nullptr, nullptr, nullptr));
}

TEST_F(DoorActorTest, SetDoorTypeBuildsItsChildrenAfresh) {
    DoorActor *door = Door();
    const std::vector<std::string> single = {"Door_Frame", "Door_1", "Open", "Close"};
    const std::vector<std::string> twin = {"Door_Frame", "Door_1", "Door_2", "Open", "Close"};
    const std::vector<std::vector<std::string>> expected = {single, single, twin, twin, {}};
    for (uint32_t type = 0; type < 5; ++type) {
        SendCommandArgs(door, cmd::door::SetDoorType, type);
        EXPECT_EQ(ChildNames(door), expected[type]) << type;
        const bool built = type < 4;
        EXPECT_EQ(door->Leaf1(), built ? FindChildByName(door, "Door_1") : nullptr);
        EXPECT_EQ(door->Leaf2(), type >= 2 && built ? FindChildByName(door, "Door_2") : nullptr);
        EXPECT_EQ(door->Sound(kSoundOpen), built ? FindChildByName(door, "Open") : nullptr);
        EXPECT_EQ(door->Sound(kSoundClose), built ? FindChildByName(door, "Close") : nullptr);
    }
}

// Records the value of every 179 its actors receive.
class Recorder : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == cmd::base::LockTransform) {
            heard.push_back(name + " " + std::to_string(block.ReadU32(0)));
        }
        return Actor::HandleCommand(commandId, block);
    }
    static inline std::vector<std::string> heard;
};

TEST_F(DoorActorTest, NewChildrenAreEachSent179WithOne) {
    auto make = []() -> Actor * { return new Recorder(); };
    const ActorClassRow meshes = SetActorClassRowForTests(3, {3, make, &RegisterPlaceholderClassOf<3>});
    const ActorClassRow sounds = SetActorClassRowForTests(2, {2, make, &RegisterPlaceholderClassOf<2>});
    Recorder::heard.clear();
    SendCommandArgs(Door(), cmd::door::SetDoorType, kDoorSingle);
    SetActorClassRowForTests(3, meshes);
    SetActorClassRowForTests(2, sounds);
    EXPECT_EQ(Recorder::heard,
              (std::vector<std::string>{"Door_Frame 1", "Door_1 1", "Open 1", "Close 1"}));
}

TEST_F(DoorActorTest, UseConnectorMakesADoorConnectorAndOffSelectsIt) {
    DoorActor *door = Door();
    SendCommandArgs(door, cmd::door::SetUseConnector, true);
    auto *connector = dynamic_cast<DrawGroupConnectorActor *>(FindChildByName(door, "Door Connector"));
    ASSERT_NE(connector, nullptr);
    EXPECT_EQ(connector->type, kConnectorDoor);
    EXPECT_EQ(door->useConnector, 1u);
    SendCommandArgs(door, cmd::door::SetUseConnector, false);
    SendCommandArgs(door, cmd::door::SetUseConnector, false);
    EXPECT_EQ(door->useConnector, 0u);
    EXPECT_EQ(system->selectedIds, std::vector<uint32_t>{static_cast<uint32_t>(connector->actorId)});
    EXPECT_EQ(FindChildByName(door, "Door Connector"), connector); // selected, not deleted
}

TEST_F(DoorActorTest, ActionFollowsTheLockAndKeyRules) {
    testkey::TestKeyClass keys;
    Actor *user = builder.Make(0, "User");
    SendCommandArgs(user, 63, Vector3{0, 0, -100});
    struct Case {
        const char *what;
        uint32_t locked;
        uint32_t itemType;
        uint32_t keyGroups;
        float keyTime;
        // Expected.
        uint32_t state;
        uint32_t lockedAfter;
        uint32_t event;
        std::vector<uint32_t> echoes;
        float unlockDuration; // 0: no timed unlock
    };
    const Case cases[] = {
        {"unlocked, matching key", 0, 2, 1, 0.0f, 0, 1, cmd::door::OnDoorLock, {790, 788}, 0.0f},
        {"unlocked, key of another group", 0, 2, 2, 0.0f, 3, 0, 0, {770}, 0.0f},
        {"unlocked, key with a time", 0, 2, 1, 0.5f, 3, 0, 0, {770}, 0.0f},
        {"locked, matching key", 1, 2, 1, 0.0f, 3, 0, cmd::door::OnDoorUnlock, {788, 770}, 0.0f},
        {"locked, key with a time", 1, 2, 1, 0.5f, 0, 1, cmd::door::OnDoorLocked, {}, 10.0f},
        {"locked, key of another group", 1, 2, 2, 0.0f, 0, 1, cmd::door::OnDoorLocked, {}, 20.0f},
        {"unlocked, not a key", 0, 1, 1, 0.0f, 3, 0, 0, {770}, 0.0f},
        {"locked, not a key", 1, 1, 1, 0.0f, 0, 1, cmd::door::OnDoorLocked, {}, 20.0f},
    };
    system->recordMode = 2;
    for (const Case &c : cases) {
        DoorActor *door = Door(c.what);
        auto *key = static_cast<TestKey *>(builder.Make(testkey::kGameObjectClassId, "Key"));
        key->itemType = c.itemType;
        key->keyGroups = c.keyGroups;
        key->keyTime = c.keyTime;
        door->lockGroups = 1;
        door->locked = c.locked;
        door->lockTime = 20.0f;
        scene::SpyLog spies;
        spies.Watch(door);
        system->commandLog.clear();
        SendCommandArgs(door, cmd::character::Action, static_cast<uint32_t>(user->actorId),
                        static_cast<uint32_t>(key->actorId));
        EXPECT_EQ(door->doorState, c.state) << c.what;
        EXPECT_EQ(door->locked, c.lockedAfter) << c.what;
        if (c.event != 0) {
            EXPECT_EQ(spies.Count(c.what, c.event), 1u) << c.what;
        }
        EXPECT_EQ(Echoes(), c.echoes) << c.what;
        EXPECT_EQ(door->unlockActive, c.unlockDuration > 0.0f ? 1u : 0u) << c.what;
        EXPECT_EQ(door->unlockDuration, c.unlockDuration) << c.what;
        EXPECT_EQ(door->processEntry != nullptr, c.state == 3 || c.unlockDuration > 0.0f)
            << c.what;
    }
}

TEST_F(DoorActorTest, ActionWithinASecondOfALockChangeDoesNothing) {
    testkey::TestKeyClass keys;
    DoorActor *door = Door();
    auto *key = static_cast<TestKey *>(builder.Make(testkey::kGameObjectClassId, "Key"));
    key->keyGroups = 1;
    door->lockGroups = 1;
    SendCommandArgs(door, cmd::character::Action, 0u, static_cast<uint32_t>(key->actorId));
    ASSERT_EQ(std::tuple(door->locked, door->lockChangeTimer), std::tuple(1u, 0.0f));
    door->lockChangeTimer = 0.99f;
    SendCommandArgs(door, cmd::character::Action, 0u, static_cast<uint32_t>(key->actorId));
    EXPECT_EQ(door->locked, 1u);
    door->lockChangeTimer = 1.0f;
    SendCommandArgs(door, cmd::character::Action, 0u, static_cast<uint32_t>(key->actorId));
    EXPECT_EQ(std::tuple(door->locked, door->doorState), std::tuple(0u, kDoorOpening));
}

TEST_F(DoorActorTest, LockTimerCountsEachFrameOnce) {
    DoorActor *door = Door();
    runner.Step(1);
    door->lockChangeTimer = 0.0f;
    door->Update();
    door->Draw(0.0f);
    door->Update();
    door->Draw(0.0f);
    const float delta = door->timeRecord->delta;
    ASSERT_GT(delta, 0.0f);
    EXPECT_FLOAT_EQ(door->lockChangeTimer, delta);
    runner.Step(1);
    door->Draw(0.0f);
    EXPECT_FLOAT_EQ(door->lockChangeTimer, delta + door->timeRecord->delta);
}

// --- file record --------------------------------------------------------------------

class DoorFileTest : public DoorActorTest {
  protected:
    // The door written by its serializer at the version, read into a fresh
    // door at the same version.
    DoorActor *RoundTrip(DoorActor *door, uint32_t version) {
        const std::string path = folder / "door.bin";
        EXPECT_TRUE(recordfile::Write(*door, path, version));
        DoorActor *back = Door("Back");
        EXPECT_EQ(recordfile::Read(*back, path, version), 1) << version;
        return back;
    }
    // Every field away from its default.
    DoorActor *Filled() {
        DoorActor *door = Door();
        door->doorType = 3;
        door->animationType = 7;
        door->openTime = 0.5f;
        door->closeTime = 0.25f;
        door->autoCloseTime = 4.0f;
        door->autoClose = 0;
        door->axisPreset = 5;
        door->axis = {0, 0, 1};
        door->useConnector = 1;
        door->openLength = 80.0f;
        door->lockGroups = 6;
        door->locked = 1;
        door->lockTime = 3.0f;
        door->autoOpen = 1;
        door->openAwayFromOpener = 1;
        door->soundSwitch = 1;
        door->neverAutoCloseOnCollision = 0;
        door->openAngle = 0.5f;
        door->doorState = kDoorOpening;
        door->angularSpeed = -2.0f;
        door->linearVelocity = {1, 2, 3};
        door->closedPosition1 = {4, 5, 6};
        door->closedPosition2 = {7, 8, 9};
        door->closedRotation1 = {0, 1, 0, 0};
        door->closedRotation2 = {0, 0, 1, 0};
        return door;
    }
    TempFolder folder;
};

TEST_F(DoorFileTest, EachVersionReadsItsGates) {
    for (uint32_t version : {2u, 3u, 9u, 25u, 28u, 70u}) {
        DoorActor *back = RoundTrip(Filled(), version);
        EXPECT_EQ(std::tuple(back->doorType, back->animationType, back->openTime, back->closeTime,
                             back->autoCloseTime, back->autoClose, back->axisPreset, back->axis.z,
                             back->useConnector, back->openLength),
                  std::tuple(3u, 7u, 0.5f, 0.25f, 4.0f, 0u, 5u, 1.0f, 1u, 80.0f))
            << version;
        const bool locks = version >= 3;
        EXPECT_EQ(std::tuple(back->lockGroups, back->locked, back->lockTime, back->autoOpen,
                             back->openAwayFromOpener),
                  locks ? std::tuple(6u, 1u, 3.0f, 1u, 1u) : std::tuple(1u, 0u, 20.0f, 0u, 0u))
            << version;
        const bool sounds = version >= 9;
        EXPECT_EQ(std::tuple(back->soundSwitch, back->neverAutoCloseOnCollision),
                  sounds ? std::tuple(1u, 0u) : std::tuple(0u, 1u))
            << version;
        EXPECT_EQ(back->openAngle, version >= 25 ? 0.5f : 1.5707964f) << version;
        if (version >= 28) {
            EXPECT_EQ(std::tuple(back->doorState, back->angularSpeed, back->linearVelocity.z,
                                 back->closedPosition1.x, back->closedPosition2.z,
                                 back->closedRotation1.y, back->closedRotation2.z),
                      std::tuple(kDoorOpening, -2.0f, 3.0f, 4.0f, 9.0f, 1.0f, 1.0f));
        } else {
            EXPECT_EQ(std::tuple(back->doorState, back->angularSpeed),
                      std::tuple(kDoorClosed, 0.0f))
                << version;
        }
    }
}

TEST_F(DoorFileTest, ReadingAppliesTheFloors) {
    // Fields past the setters, as a damaged or hand-made file has them.
    DoorActor *door = Door();
    door->openTime = 0.0f;
    door->closeTime = NAN;
    door->autoCloseTime = -1.0f;
    door->openLength = 0.0f;
    door->lockTime = 0.5f;
    door->lockGroups = 0;
    DoorActor *back = RoundTrip(door, kActorFileVersion);
    // Writing changed the live door's lock fields as the format has it.
    EXPECT_EQ(std::tuple(door->lockTime, door->lockGroups), std::tuple(20.0f, 1u));
    EXPECT_EQ(std::tuple(back->openTime, back->closeTime, back->autoCloseTime, back->openLength,
                         back->lockTime, back->lockGroups),
              std::tuple(0.01f, 0.01f, 0.01f, 1.0f, 20.0f, 1u));
}

} // namespace
