// Draw groups in loaded scenes run through the frame step: the registry and
// the connectors after loading, the visibility walk with its start and stop
// events, the spreading of resource loading, and what deleting an actor that
// a door connector entered into two groups leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "actors/world/draw_groups.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/subsystem_hooks.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kSetBoxMin = 74;
constexpr uint32_t kSetBoxMax = 76;
constexpr uint32_t kCreateCollision = 108;

class DrawGroupScene : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        // The scene library's items.
        for (auto [name, cls, slot] : {std::tuple("beep", ItemClass::Sound, 1u),
                                       std::tuple("cube", ItemClass::Mesh, 3u),
                                       std::tuple("Default", ItemClass::Material, 4u)}) {
            LibraryItem *item = runner.library->FindItemByName(name, cls);
            ASSERT_NE(item, nullptr) << name;
            EXPECT_EQ(item->slotIndex, slot) << name;
        }
    }

    Actor *Group(const std::string &name, Vector3 min, Vector3 max, Actor *parent = nullptr) {
        Actor *group = builder.Make(kDrawGroupClassId, name, parent);
        SendCommandArgs(group, kSetBoxMin, min);
        SendCommandArgs(group, kSetBoxMax, max);
        return group;
    }
    Actor *Connector(const std::string &name, Vector3 at, Actor *parent = nullptr) {
        Actor *connector = builder.Make(kDrawGroupConnectorClassId, name, parent);
        SendCommandArgs(connector, kSetPosition, at);
        return connector;
    }
    Actor *Plain(const std::string &name, Actor *parent, Vector3 at = {0, 0, 0}) {
        Actor *actor = builder.Make(0, name, parent);
        SendCommandArgs(actor, kSetPosition, at);
        return actor;
    }
    // Rooms A and B side by side (B made first), joined at x = 500.
    void TwoRooms(bool withChildren = true) {
        Actor *b = Group("RoomB", {500, -100, -500}, {1500, 410, 500});
        Actor *a = Group("RoomA", {-500, -100, -500}, {500, 400, 500});
        Connector("Portal", {500, 30, 0});
        if (withChildren) {
            Plain("InA", a);
            Plain("InB", b);
        }
    }
    void Load() {
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
    }
    static DrawGroupActor *G(const std::string &name) {
        return dynamic_cast<DrawGroupActor *>(scene::SceneBuilder::Find(name));
    }
    static DrawGroupConnectorActor *C(const std::string &name) {
        return dynamic_cast<DrawGroupConnectorActor *>(scene::SceneBuilder::Find(name));
    }
    static Actor *A(const std::string &name) { return scene::SceneBuilder::Find(name); }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    scene::SpyLog spies;
};

TEST_F(DrawGroupScene, LoadingSortsTheRegistryAndConnectsTheTouchingGroups) {
    TwoRooms(false);
    Connector("Inside A", {0, 30, 0});
    Load();
    ASSERT_EQ(DrawGroupRegistry.size(), 4u);
    DrawGroupActor *a = G("RoomA"), *b = G("RoomB");
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(std::vector<Actor *>(DrawGroupRegistry.begin() + 2, DrawGroupRegistry.end()),
              (std::vector<Actor *>{a, b}));
    EXPECT_EQ(std::tuple(a->drawGroupId, b->drawGroupId), std::tuple(2, 3));
    EXPECT_FLOAT_EQ(a->size, 1500.0f);
    EXPECT_TRUE(a->HasFlag(kActorDrawGroupInherited)); // never a listed member

    DrawGroupConnectorActor *portal = C("Portal"), *inside = C("Inside A");
    EXPECT_EQ(portal->groupIds, (std::vector<uint32_t>{2, 3}));
    const auto portalId = static_cast<uint32_t>(portal->actorId);
    EXPECT_EQ(a->connectorIds, std::vector<uint32_t>{portalId});
    EXPECT_EQ(b->connectorIds, std::vector<uint32_t>{portalId});
    EXPECT_EQ(inside->groupIds, (std::vector<uint32_t>{0, 0}));
    // The system groups stay in their entries.
    EXPECT_EQ(std::tuple(DrawGroupAt(0)->drawGroupId, DrawGroupAt(1)->drawGroupId),
              std::tuple(0, 1));
}

TEST_F(DrawGroupScene, WalkDrawsReachedGroupsAndStopsMissedOnes) {
    TwoRooms();
    Load();
    DrawGroupActor *a = G("RoomA"), *b = G("RoomB");
    DrawGroupConnectorActor *portal = C("Portal");
    spies.Watch(a);
    spies.Watch(b);
    runner.SetCamera({0, 50, 0});
    runner.preStep = [&](uint32_t frame) {
        if (frame == 3) { // run by this frame's pump
            portal->ScheduleCommand(cmd::draw_group_connector::OpenConnactor, ParamBlock(), 0x200,
                                    0.0f, 0.0f, 0.0f);
        }
        if (frame == 5) {
            SendCommandArgs(portal, cmd::draw_group_connector::CloseConnactor);
        }
    };
    runner.Step(2);
    EXPECT_EQ(std::tuple(a->visible, b->visible, portal->drawn), std::tuple(1u, 0u, 1u));
    EXPECT_GT(A("InA")->currentTime, 0.0f);
    EXPECT_GT(GetActorById(kInventoryActorId)->currentTime, 0.0f);
    EXPECT_EQ(A("InB")->currentTime, 0.0f);

    runner.Step(4); // frames 3 to 6
    EXPECT_EQ(spies.Of(cmd::base::OnDrawStart), (std::vector<std::string>{"1 RoomA", "3 RoomB"}));
    EXPECT_EQ(spies.Of(cmd::base::OnDrawStop), std::vector<std::string>{"5 RoomB"});
    EXPECT_GT(A("InB")->currentTime, 0.0f);
    EXPECT_EQ(FirstStartedDrawGroup(), a);

    // Outside every group: only the game actor is updated, nobody stops.
    spies.Take();
    const float inA = A("InA")->currentTime;
    const float game = GetActorById(kInventoryActorId)->currentTime;
    runner.SetCamera({0, 5000, 0});
    runner.Step();
    EXPECT_EQ(A("InA")->currentTime, inA);
    EXPECT_GT(GetActorById(kInventoryActorId)->currentTime, game);
    EXPECT_TRUE(spies.notices.empty());
    EXPECT_EQ(a->started, 1u);
    EXPECT_EQ(GetActorSystem()->DrawVisibleGroups(0.0f), 0);
}

TEST_F(DrawGroupScene, OverlappingBoxesLowerIndexWinsAndOpenWalksTheNext) {
    Group("Big", {-100, -100, -100}, {200, 200, 200});
    Group("Small", {-50, -50, -50}, {100, 100, 100});
    Load();
    DrawGroupActor *small = G("Small"), *big = G("Big");
    ASSERT_EQ(small->drawGroupId, 2);
    runner.SetCamera({10, 10, 10});
    runner.Step();
    EXPECT_EQ(std::tuple(small->visible, big->visible), std::tuple(1u, 0u));
    SendCommandArgs(small, cmd::draw_group::SetOpenDrawgroup, 1u);
    runner.Step();
    EXPECT_EQ(std::tuple(small->visible, big->visible), std::tuple(1u, 1u));
}

// The open step used to walk the id of the group it found, which an
// inheriting group shares with its ancestor: an open group with an
// inheriting child holding the camera walked itself for ever. It walks the
// group found, and no group is entered twice in a frame.
TEST_F(DrawGroupScene, TheOpenStepWalksTheGroupFoundAndNoGroupTwice) {
    Actor *outer = Group("Outer", {-100, -100, -100}, {100, 100, 100});
    SendCommandArgs(outer, cmd::draw_group::SetOpenDrawgroup, 1u);
    Actor *inner = Group("Inner", {-200, -200, -200}, {200, 200, 200}, outer);
    SendCommandArgs(inner, cmd::draw_group::SetInheritDrawgroupID, 1u);
    // Low is open and reached through the portal from High, which holds
    // the camera and comes after it in the registry.
    Actor *low = Group("Low", {1000, -100, -100}, {1200, 100, 100});
    SendCommandArgs(low, cmd::draw_group::SetOpenDrawgroup, 1u);
    Group("High", {1200, -100, -100}, {1400, 100, 100});
    Actor *portal = Connector("Portal", {1200, 30, 0});
    SendCommandArgs(portal, cmd::draw_group_connector::GetForceOpenConnactor, 1u);
    Load();
    DrawGroupActor *a = G("Outer"), *b = G("Inner"), *l = G("Low"), *h = G("High");
    ASSERT_EQ(std::vector<Actor *>(DrawGroupRegistry.begin() + 2, DrawGroupRegistry.end()),
              (std::vector<Actor *>{a, l, h, b}));
    ASSERT_EQ(std::tuple(a->drawGroupId, l->drawGroupId, h->drawGroupId, b->drawGroupId),
              std::tuple(2, 3, 4, 2));
    ActorSystem *system = GetActorSystem();
    runner.SetCamera({0, 0, 0});
    runner.Step();
    EXPECT_EQ(std::tuple(a->visible, b->visible, system->visibilityCounters[0]),
              std::tuple(1u, 1u, 2u));

    system->visibilityCounters[0] = 0;
    runner.SetCamera({1300, 0, 0});
    runner.Step();
    EXPECT_EQ(std::tuple(h->visible, l->visible, a->visible, system->visibilityCounters[0]),
              std::tuple(1u, 1u, 0u, 2u));
}

TEST_F(DrawGroupScene, FirstDrawLoadsResourcesThroughConnectorsThatAreNoLoadPoints) {
    TwoRooms();
    Load();
    for (const char *name : {"RoomA", "RoomB", "InA", "InB"}) {
        spies.Watch(A(name));
    }
    spies.Watch(GetActorSystem());
    runner.SetCamera({0, 50, 0});
    runner.Step(2);
    std::vector<std::string> seen;
    for (const scene::SpyNotice &n : spies.notices) {
        const bool carried =
            n.command == cmd::base::RecursiveCommand &&
            (n.value == cmd::base::OnLoadResourceGroup || n.value == cmd::base::LoadResources);
        if (n.command == cmd::base::OnLoadResourceGroup || n.command == cmd::base::LoadResources ||
            n.command == cmd::actor_system::SkipFrameTime || carried) {
            if (n.command != cmd::base::RecursiveCommand) {
                seen.push_back(std::to_string(n.frame) + " " + n.actor + " " +
                               std::to_string(n.command));
            }
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "1 Actor System 231", "1 RoomB 231", "1 InB 231", "1 RoomA 231",
                        "1 InA 231",
                        "2 RoomA 226", "2 InA 226", "2 RoomB 226", "2 InB 226",
                        "2 Actor System 232"}));
    EXPECT_EQ(spies.Count("InA", cmd::base::OnLoadResourceGroup), 1u);
}

TEST_F(DrawGroupScene, ALoadPointStopsTheSpreadUntilTheGroupIsDrawn) {
    TwoRooms();
    Load();
    DrawGroupConnectorActor *portal = C("Portal");
    SendCommandArgs(portal, cmd::draw_group_connector::SetLoadPoint, 1u);
    spies.Watch(A("InB"));
    runner.SetCamera({0, 50, 0});
    runner.Step(2);
    EXPECT_EQ(spies.Count("InB", cmd::base::LoadResources), 0u);
    EXPECT_EQ(spies.Count("InB", cmd::base::OnLoadResourceGroup), 1u);
    runner.preStep = [&](uint32_t frame) {
        if (frame == 3) {
            SendCommandArgs(portal, cmd::draw_group_connector::OpenConnactor);
        }
    };
    spies.Take();
    runner.Step(2);
    EXPECT_EQ(spies.Of(cmd::base::OnLoadResourceGroup), std::vector<std::string>{"3 InB"});
    EXPECT_EQ(spies.Of(cmd::base::LoadResources), std::vector<std::string>{"4 InB"});
}

// A door connector enters its parent and the parent's subtree into both
// groups (twice into one of them); deleting the parent takes every entry
// away, while the regular removal only leaves the current group.
TEST_F(DrawGroupScene, DeletingAnActorEnteredIntoTwoGroupsLeavesNoEntries) {
    TwoRooms(false);
    Actor *gate = Plain("Gate", nullptr, {500, 0, 0});
    Actor *connector = Connector("GateLink", {0, 30, 0}, gate);
    SendCommandArgs(connector, cmd::draw_group_connector::SetConnactorType, kConnectorDoor);
    Actor *leaf = Plain("Leaf", gate);
    SendCommandArgs(leaf, kCreateCollision);
    Load();
    gate = A("Gate");
    leaf = A("Leaf");
    DrawGroupActor *a = G("RoomA"), *b = G("RoomB");
    ASSERT_EQ(C("GateLink")->groupIds, (std::vector<uint32_t>{2, 3}));
    EXPECT_TRUE(a->members.Contains(gate) && b->members.Contains(gate));
    ActorSystem *system = GetActorSystem();
    ColObj *object = leaf->colObjs.at(0).get();
    EXPECT_TRUE(system->StaticColObjs(2).Contains(object) && system->StaticColObjs(3).Contains(object));

    // The regular removal keeps to the current group: the leaf stays
    // collidable in the other room.
    leaf->flags |= kActorInDrawGroup;
    const int32_t current = leaf->drawGroupId;
    LeaveDrawGroup(leaf, 0);
    EXPECT_TRUE(system->StaticColObjs(current == 2 ? 3 : 2).Contains(object));

    runner.SetCamera({0, 50, 0});
    runner.Step();
    ASSERT_EQ(DeleteActor(gate), 1);
    EXPECT_FALSE(a->members.Contains(gate) || b->members.Contains(gate));
    EXPECT_EQ(system->StaticColObjs(2).Count() + system->StaticColObjs(3).Count(), 0u);
    EXPECT_EQ(ActiveColliderList.Count() + PassiveColliderList.Count(), 0u);
    runner.Step(3); // the walk and the broadcasts touch nothing freed
    EXPECT_EQ(a->members.Count() + b->members.Count(), 0u);
}

TEST_F(DrawGroupScene, FreeConnectorDrawsItselfAndDoorConnectorDrawsItsParent) {
    TwoRooms(false);
    Load();
    ActorSystem *system = GetActorSystem();
    runner.SetCamera({0, 50, 0});
    runner.Step();
    EXPECT_EQ(std::tuple(system->visibilityCounters[0], system->visibilityCounters[1]),
              std::tuple(1u, 1u));
    EXPECT_GT(C("Portal")->currentTime, 0.0f); // its Draw updated it

    // As a door connector it draws its parent (here "Scenery") instead.
    DrawGroupConnectorActor *portal = C("Portal");
    SendCommandArgs(portal, cmd::draw_group_connector::SetConnactorType, kConnectorDoor);
    const float before = portal->currentTime;
    runner.Step();
    EXPECT_EQ(portal->currentTime, before);
    EXPECT_EQ(portal->drawn, 1u);
}

} // namespace
