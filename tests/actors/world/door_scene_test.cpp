// Doors moving in running frames: the timeline of a full cycle with its
// connector, the leaves of each door type, opening away from the opener,
// auto-open and the collision hold of the master character, timed unlocks
// (held, dropped, and dropped while the door moves), children deleted while
// the door moves, and a door saved mid-opening.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "actors/world/collision.h"
#include "actors/world/door_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "support/scene_harness.h"
#include "support/test_character.h"
#include "support/test_key.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kOpenAnglePrecision = 4; // percent

// The turn of a rotation about y, in degrees (signed).
float TurnAboutY(const Quaternion &q) { return 2.0f * std::atan2(q.y, q.w) * 57.29578f; }

class DoorScene : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(runner.Ready()); }

    // A door of the type with its children, built in the running world.
    DoorActor *Door(uint32_t type, const std::string &name = "Door") {
        auto *door = dynamic_cast<DoorActor *>(builder.Make(kDoorClassId, name));
        SendCommandArgs(door, cmd::door::SetDoorType, type);
        SendCommandArgs(door, cmd::door::SetDoorOpenTime, 0.5f);
        SendCommandArgs(door, cmd::door::SetDoorCloseTime, 0.5f);
        return door;
    }
    // Frames of the watched door's notices of the command.
    std::vector<uint32_t> Frames(uint32_t command) const {
        std::vector<uint32_t> frames;
        for (const scene::SpyNotice &notice : spies.notices) {
            if (notice.command == command) {
                frames.push_back(notice.frame);
            }
        }
        return frames;
    }
    // Runs frames until the door is in the state (at most `limit`).
    void StepUntil(const DoorActor *door, uint32_t state, int limit = 200) {
        for (int i = 0; i < limit && door->doorState != state; ++i) {
            runner.Step(1);
        }
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    scene::SpyLog spies;
};

TEST_F(DoorScene, AFullCycleFromALayerTwoCommand) {
    DoorActor *door = Door(kDoorSingle);
    SendCommandArgs(door, cmd::door::SetDoorAutocloseTime, 1.0f);
    SendCommandArgs(door, cmd::door::SetUseConnector, true);
    auto *connector = dynamic_cast<DrawGroupConnectorActor *>(FindChildByName(door, "Door Connector"));
    ASSERT_NE(connector, nullptr);
    Actor *leaf = door->Leaf1();
    ASSERT_NE(leaf, nullptr);
    SendCommandArgs(leaf, kSetPosition, Vector3{50, 0, 0});
    spies.Watch(door);
    runner.Step(1);
    const uint32_t opened = FrameCounter + 1;
    uint32_t connectorClosed = 0;
    float openTurn = 0.0f;
    runner.preStep = [&](uint32_t frame) {
        if (frame == opened) {
            ::ScheduleCommand(door, cmd::door::OpenDoor_768, ParamBlock(), 0x700, 0.0f, 0.0f, 0.0f,
                              nullptr, 2);
        }
    };
    runner.Step(1);
    EXPECT_EQ(Frames(cmd::door::OnDoorOpen), std::vector<uint32_t>{opened});
    EXPECT_EQ(connector->isOpen, 1u);
    for (int i = 0; i < 200 && door->doorState != kDoorClosed; ++i) {
        runner.Step(1);
        if (door->doorState == kDoorOpened) {
            openTurn = TurnAboutY(leaf->rotation);
        }
        if (connectorClosed == 0 && connector->isOpen == 0) {
            connectorClosed = FrameCounter;
        }
    }
    ASSERT_EQ(Frames(cmd::door::OnDoorOpened).size(), 1u);
    ASSERT_EQ(Frames(cmd::door::OnDoorClose).size(), 1u);
    ASSERT_EQ(Frames(cmd::door::OnDoorClosed).size(), 1u);
    const uint32_t fullyOpen = Frames(cmd::door::OnDoorOpened)[0];
    const uint32_t closing = Frames(cmd::door::OnDoorClose)[0];
    EXPECT_NEAR(fullyOpen - opened, 30, 1);
    EXPECT_NEAR(closing - fullyOpen, 60, 1);
    EXPECT_NEAR(connectorClosed - closing, 30, 1);
    EXPECT_EQ(Frames(cmd::door::OnDoorClosed)[0], connectorClosed + 1);
    EXPECT_NEAR(openTurn, 90.0f, 90.0f * kOpenAnglePrecision / 100.0f);
    // Closed exactly as it was.
    EXPECT_EQ(std::tuple(leaf->position.x, leaf->position.y, leaf->position.z),
              std::tuple(50.0f, 0.0f, 0.0f));
    EXPECT_EQ(std::tuple(leaf->rotation.x, leaf->rotation.y, leaf->rotation.z, leaf->rotation.w),
              std::tuple(0.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_EQ(door->processEntry, nullptr);
}

TEST_F(DoorScene, EachTypeMovesItsLeaves) {
    struct Case {
        uint32_t type;
        float leaf1; // degrees about y, or x offset
        float leaf2;
    };
    for (Case c : {Case{kDoorSingle, 90.0f, 0.0f}, Case{kDoorSingleSide, 50.0f, 0.0f},
                   Case{kDoorDouble, 90.0f, -90.0f}, Case{kDoorDoubleSide, 50.0f, -50.0f}}) {
        DoorActor *door = Door(c.type, "Door" + std::to_string(c.type));
        const bool sliding = c.type == kDoorSingleSide || c.type == kDoorDoubleSide;
        if (sliding) {
            SendCommandArgs(door, cmd::door::SetDoorAxis_758, 3u);
            SendCommandArgs(door, cmd::door::SetOpenLength, 50.0f);
        }
        SendCommandArgs(door, cmd::door::OpenDoor_768);
        StepUntil(door, kDoorOpened);
        ASSERT_EQ(door->doorState, kDoorOpened) << c.type;
        Actor *leaves[2] = {door->Leaf1(), door->Leaf2()};
        const float expected[2] = {c.leaf1, c.leaf2};
        for (size_t i = 0; i < 2; ++i) {
            if (leaves[i] == nullptr) {
                EXPECT_EQ(expected[i], 0.0f) << c.type;
                continue;
            }
            const float moved = sliding ? leaves[i]->position.x : TurnAboutY(leaves[i]->rotation);
            EXPECT_NEAR(moved, expected[i], std::fabs(expected[i]) * 0.04f) << c.type << " " << i;
        }
    }
}

TEST_F(DoorScene, OpeningAwayFromTheOpener) {
    struct Case {
        Vector3 opener;
        bool negative;
    };
    // The leaf stands at the door's origin, facing +z.
    const Case cases[] = {
        {{10, 0, 50}, false},  // in front
        {{10, 0, -50}, true},  // behind
        {{10, 0, 0}, true},    // on the leaf's plane
        {{0, 0, -50}, false},  // x 0 counts as no opener
    };
    Actor *opener = builder.Make(0, "Opener");
    int n = 0;
    for (const Case &c : cases) {
        DoorActor *door = Door(kDoorSingle, "Door" + std::to_string(n++));
        SendCommandArgs(door, cmd::door::SetDoorOpenAwayFromOpener, true);
        SendCommandArgs(opener, kSetPosition, c.opener);
        SendCommandArgs(door, cmd::door::OpenDoor_770, static_cast<uint32_t>(opener->actorId));
        EXPECT_EQ(door->angularSpeed < 0.0f, c.negative) << n;
        EXPECT_NEAR(std::fabs(door->angularSpeed), 1.5707964f / 0.5f, 1e-4f);
    }
    DoorActor *plain = Door(kDoorSingle, "Plain");
    SendCommandArgs(plain, cmd::door::SetDoorOpenAwayFromOpener, true);
    SendCommandArgs(plain, cmd::door::OpenDoor_768);
    EXPECT_GT(plain->angularSpeed, 0.0f);
    // An opener that does not exist opens nothing.
    DoorActor *none = Door(kDoorSingle, "None");
    SendCommandArgs(none, cmd::door::OpenDoor_770, 7777u);
    EXPECT_EQ(none->doorState, kDoorClosed);
}

class DoorTouchScene : public DoorScene {
  protected:
    testcharacter::TestCharacter *Character(const std::string &name, bool master) {
        auto *character = static_cast<testcharacter::TestCharacter *>(
            builder.Make(testcharacter::kCharacterClassId, name));
        character->AddCharacterCol();
        character->SetMaster(master);
        return character;
    }
    static void Touch(DoorActor *door, Actor *character) {
        const ColObj *pair[2] = {character->colObjs[0].get(), nullptr};
        door->HandleCommand(cmd::base::CollisionEvent, ParamBlock(pair, sizeof(pair)));
    }
    testcharacter::TestCharacterClass characters;
};

TEST_F(DoorTouchScene, AutoOpenOnlyForTheMasterAtAnUnlockedClosedDoor) {
    auto *master = Character("Hero", true);
    auto *other = Character("Other", false);
    struct Case {
        const char *what;
        testcharacter::TestCharacter *toucher;
        bool autoOpen;
        bool locked;
        bool opens;
    };
    for (const Case &c : {Case{"master", master, true, false, true},
                          Case{"not the master", other, true, false, false},
                          Case{"locked", master, true, true, false},
                          Case{"no auto-open", master, false, false, false}}) {
        DoorActor *door = Door(kDoorSingle, c.what);
        door->autoOpen = c.autoOpen ? 1 : 0;
        door->lockGroups = 1;
        door->locked = c.locked ? 1 : 0;
        Touch(door, c.toucher);
        EXPECT_EQ(door->doorState == kDoorOpening, c.opens) << c.what;
    }
    // Without the solid bit the master's object does not count.
    DoorActor *door = Door(kDoorSingle, "soft");
    door->autoOpen = 1;
    master->colObjs[0]->flags &= ~kColObjSolid;
    Touch(door, master);
    EXPECT_EQ(door->doorState, kDoorClosed);
}

TEST_F(DoorTouchScene, TheMastersHoldKeepsTheDoorOpenUntilAFrameWithoutIt) {
    auto *hero = Character("Hero", true);
    hero->collisionHold = 1;
    DoorActor *door = Door(kDoorSingle);
    SendCommandArgs(door, cmd::door::SetDoorAutocloseTime, 0.5f);
    spies.Watch(door);
    SendCommandArgs(door, cmd::door::OpenDoor_768);
    StepUntil(door, kDoorOpened);
    bool touching = true;
    runner.preStep = [&](uint32_t) {
        if (touching) {
            Touch(door, hero);
        }
    };
    runner.Step(120); // four times the auto-close time
    EXPECT_EQ(door->doorState, kDoorOpened);
    // Still touching, but the hold word is clear: it closes at the next check.
    hero->collisionHold = 0;
    runner.Step(2);
    EXPECT_EQ(door->doorState, kDoorClosing);
    EXPECT_EQ(Frames(cmd::door::OnDoorClose).size(), 1u);
    touching = false;
}

class DoorUnlockScene : public DoorScene {
  protected:
    void SetUp() override {
        DoorScene::SetUp();
        door = Door(kDoorSingle);
        SendCommandArgs(door, cmd::door::SetLockgroup, 1u);
        SendCommandArgs(door, cmd::door::SetLockLocked, true);
        SendCommandArgs(door, cmd::door::SetLockTime, 20.0f);
        user = builder.Make(0, "User");
        spies.Watch(door);
    }
    // "Action" with the item before each of the frames.
    void Hold(uint32_t itemId, int frames) {
        runner.preStep = [&, itemId](uint32_t) {
            SendCommandArgs(door, cmd::character::Action, static_cast<uint32_t>(user->actorId),
                            itemId);
        };
        runner.Step(frames);
        runner.preStep = nullptr;
    }

    testkey::TestKeyClass keys;
    DoorActor *door = nullptr;
    Actor *user = nullptr;
};

TEST_F(DoorUnlockScene, AHeldActionWithAHalfTimeKeyUnlocksAfterTenSeconds) {
    auto *key = static_cast<testkey::TestKey *>(builder.Make(testkey::kGameObjectClassId, "Key"));
    key->keyGroups = 2; // no match: a timed unlock at the key's pace
    key->keyTime = 0.5f;
    Actor *game = GetActorById(static_cast<uint32_t>(kInventoryActorId));
    ASSERT_NE(game, nullptr);
    spies.Watch(game);
    const uint32_t start = FrameCounter + 1;
    Hold(static_cast<uint32_t>(key->actorId), 620);
    ASSERT_EQ(Frames(cmd::door::OnDoorUnlock).size(), 1u);
    const uint32_t unlocked = Frames(cmd::door::OnDoorUnlock)[0];
    EXPECT_NEAR(unlocked - start, 600, 1); // 10.0 s at 60 frames a second
    EXPECT_EQ(door->unlockDuration, 10.0f);
    const std::vector<uint32_t> progress = Frames(cmd::door::UnlockProgress);
    ASSERT_FALSE(progress.empty());
    EXPECT_NEAR(progress.front() - start, 6, 1); // past 0.1 s
    EXPECT_EQ(progress.back(), unlocked);
    EXPECT_EQ(Frames(cmd::door::OnDoorOpen), std::vector<uint32_t>{unlocked + 1});
    EXPECT_EQ(door->locked, 0u);
    EXPECT_NE(door->doorState, kDoorClosed);
    EXPECT_EQ(door->lockChangeTimer, 0.0f); // never drawn here: no frame counted since
}

TEST_F(DoorUnlockScene, StoppingTheActionDropsTheUnlockAtTheNextProcess) {
    Hold(0, 10);
    ASSERT_EQ(door->unlockActive, 1u);
    runner.Step(1);
    EXPECT_EQ(std::tuple(door->unlockActive, door->locked, door->doorState),
              std::tuple(0u, 1u, kDoorClosed));
    EXPECT_EQ(door->processEntry, nullptr);
    EXPECT_EQ(Frames(cmd::door::OnDoorLocked).size(), 1u);
}

TEST_F(DoorUnlockScene, ADroppedUnlockLeavesAMovingDoorMoving) {
    Hold(0, 10);
    SendCommandArgs(door, cmd::door::OpenDoor_768); // opens whatever the lock says
    Hold(0, 2);
    ASSERT_EQ(door->doorState, kDoorOpening);
    runner.Step(1); // drops the unlock
    ASSERT_EQ(door->unlockActive, 0u);
    StepUntil(door, kDoorOpened, 60);
    EXPECT_EQ(door->doorState, kDoorOpened);
    EXPECT_EQ(Frames(cmd::door::OnDoorOpened).size(), 1u);
}

TEST_F(DoorScene, ChildrenDeletedWhileTheDoorMoves) {
    DoorActor *door = Door(kDoorDouble);
    spies.Watch(door);
    SendCommandArgs(door, cmd::door::OpenDoor_768);
    runner.Step(5);
    ASSERT_EQ(DeleteActor(FindChildByName(door, "Door_2")), 1);
    ASSERT_EQ(DeleteActor(FindChildByName(door, "Open")), 1);
    StepUntil(door, kDoorOpened);
    SendCommandArgs(door, cmd::door::CloseDoor);
    runner.Step(5);
    SendCommandArgs(door, cmd::door::SetDoorType, kDoorSingle); // a new set of children
    StepUntil(door, kDoorClosed);
    EXPECT_EQ(door->doorState, kDoorClosed);
    EXPECT_EQ(Frames(cmd::door::OnDoorClosed).size(), 1u);
}

TEST_F(DoorScene, ADoorSavedMidOpeningResumesWhenLoaded) {
    auto *door = dynamic_cast<DoorActor *>(builder.Make(kDoorClassId, "Door"));
    builder.Make(3, "Door_1", door);
    door->openTime = 0.5f;
    door->doorState = kDoorOpening;
    door->angularSpeed = 1.0f;
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;
    door = dynamic_cast<DoorActor *>(scene::SceneBuilder::Find("Door"));
    ASSERT_NE(door, nullptr);
    EXPECT_EQ(door->doorState, kDoorOpening);
    EXPECT_NE(door->processEntry, nullptr);
    ASSERT_NE(door->Leaf1(), nullptr);
    spies.Watch(door);
    runner.Step(40);
    EXPECT_EQ(door->doorState, kDoorOpened);
    EXPECT_EQ(Frames(cmd::door::OnDoorOpened).size(), 1u);
    // Nearly 0.5 s at 1 rad/s: the step that ends the opening moves nothing.
    EXPECT_NEAR(TurnAboutY(door->Leaf1()->rotation), 28.5f, 1.5f);
}

} // namespace
