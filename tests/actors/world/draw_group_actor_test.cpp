// Draw groups and connectors built by hand (registry entries at fixed
// indexes): membership and the collider lists, the group commands,
// broadcasts and routes, the connector commands, the world bounds of
// collision objects, the file records, the property sheets, and the faults
// of copies, large registries and shared collision objects.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "actors/world/draw_groups.h"
#include "base/file_system.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/subsystem_hooks.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kPositionAdd = 78;
constexpr uint32_t kOnEnter = 98;
constexpr uint32_t kOnExit = 99;
constexpr uint32_t kStartMoving = 106;
constexpr uint32_t kEndMoving = 107;
constexpr uint32_t kCalculateAABox = 151;
constexpr uint32_t kPrecalculate = 153;
constexpr uint32_t kOnInvalid = 240;

// Grows a given box by its world position +-10 (as classes with geometry
// do).
class BoxedActor : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == kCalculateAABox && block.size() >= 24) {
            const Vector3 p = GetWorldPosition();
            Vector3 min = block.Read<Vector3>(0), max = block.Read<Vector3>(12);
            min = {std::min(min.x, p.x - 10), std::min(min.y, p.y - 10), std::min(min.z, p.z - 10)};
            max = {std::max(max.x, p.x + 10), std::max(max.y, p.y + 10), std::max(max.z, p.z + 10)};
            block.Write(0, min);
            block.Write(12, max);
        }
        return Actor::HandleCommand(commandId, block);
    }
};

// Counts its Draw calls.
class DrawnActor : public Actor {
  public:
    void Draw(float) override { ++draws; }
    int draws = 0;
};

class DrawGroupUnit : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        scenery = GetActorById(kSceneryRootId);
    }

    // A group at the next registry index (no "Init New": it keeps its id).
    DrawGroupActor *Group(const char *name, Vector3 min, Vector3 max, Actor *parent = nullptr) {
        auto *group = static_cast<DrawGroupActor *>(
            CreateActor(kDrawGroupClassId, name, nullptr, parent ? parent : scenery, -1, false));
        group->boxMin = min;
        group->boxMax = max;
        return group;
    }
    DrawGroupConnectorActor *Link(const char *name, DrawGroupActor *g1, DrawGroupActor *g2,
                                  Actor *parent = nullptr) {
        auto *connector = static_cast<DrawGroupConnectorActor *>(CreateActor(
            kDrawGroupConnectorClassId, name, nullptr, parent ? parent : scenery, -1, false));
        connector->groupIds = {static_cast<uint32_t>(g1->drawGroupId),
                               static_cast<uint32_t>(g2->drawGroupId)};
        SendCommandArgs(g1, cmd::draw_group::AddDrawgroupConnector,
                        static_cast<uint32_t>(connector->actorId));
        SendCommandArgs(g2, cmd::draw_group::AddDrawgroupConnector,
                        static_cast<uint32_t>(connector->actorId));
        return connector;
    }
    Actor *Plain(const char *name, Actor *parent = nullptr, Vector3 at = {0, 0, 0}) {
        Actor *actor = CreateActor(0, name, nullptr, parent ? parent : scenery, -1, false);
        SendCommandArgs(actor, kSetPosition, at);
        return actor;
    }
    // A plain actor moving (bit 8 clear) in the group.
    Actor *Mover(const char *name, DrawGroupActor *group, Actor *parent = nullptr) {
        Actor *actor = Plain(name, parent);
        actor->flags &= ~kActorStatic;
        actor->drawGroupId = group->drawGroupId;
        AddActorToDrawGroup(actor, 0);
        return actor;
    }
    static float Size(Actor *group) {
        float size = 0;
        group->HandleCommand(cmd::draw_group::GetDrawgroupSize, ParamBlock(&size, sizeof(size)));
        return size;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    scene::SpyLog spies;
    Actor *scenery = nullptr;
};

// --- membership ------------------------------------------------------------------------

TEST_F(DrawGroupUnit, MovingBetweenGroupsTellsTheActor) {
    DrawGroupActor *g2 = Group("G2", {0, 0, 0}, {100, 100, 100});
    DrawGroupActor *g3 = Group("G3", {100, 0, 0}, {200, 100, 100});
    ASSERT_EQ(std::tuple(g2->drawGroupId, g3->drawGroupId), std::tuple(2, 3));
    Actor *m = Plain("M", nullptr, {50, 50, 50});
    m->flags &= ~kActorStatic;
    spies.Watch(m);
    auto moveTo = [&](Vector3 at) {
        SendCommandArgs(m, kSetPosition, at);
        UpdateActorDrawGroup(m);
    };
    moveTo({50, 50, 50});
    moveTo({60, 50, 50}); // stays: nothing
    moveTo({150, 50, 50});
    moveTo({500, 50, 50});
    std::vector<std::string> told;
    for (const scene::SpyNotice &n : spies.notices) {
        if (n.command == kOnEnter || n.command == kOnExit || n.command == kOnInvalid) {
            told.push_back(std::to_string(n.command) + ":" + std::to_string(n.value));
        }
    }
    EXPECT_EQ(told, (std::vector<std::string>{"98:2", "99:2", "98:3", "99:3", "240:0"}));
    EXPECT_EQ(m->drawGroupId, -1);
    EXPECT_FALSE(g2->members.Contains(m) || g3->members.Contains(m));
}

TEST_F(DrawGroupUnit, MembersAndColliderListsFollowTheActorsKind) {
    DrawGroupActor *g = Group("G", {0, 0, 0}, {100, 100, 100});
    Actor *parent = Plain("Parent");
    Actor *child = Plain("Child", parent);
    spies.Watch(parent);

    // A dynamic mover: the active list, with its contact holder.
    parent->AddColObj(std::make_unique<ColObj>(parent)).flags = kColObjActive | kColObjDynamic;
    parent->flags &= ~kActorStatic;
    parent->drawGroupId = g->drawGroupId;
    AddActorToDrawGroup(parent, 0);
    EXPECT_TRUE(g->members.Contains(parent) && ActiveColliderList.Contains(parent));
    EXPECT_TRUE(parent->simState != nullptr);
    EXPECT_EQ(spies.Count("Parent", kStartMoving), 1u);
    // The child took the group's id through "Set DrawGroup", but is not
    // listed: its parent's update reaches it.
    EXPECT_EQ(child->drawGroupId, g->drawGroupId);
    EXPECT_TRUE(child->HasFlag(kActorInDrawGroup));
    EXPECT_FALSE(g->members.Contains(child));

    // A plain solid mover: the passive list.
    Actor *passive = Mover("Passive", g);
    EXPECT_EQ(PassiveColliderList.Items(), std::vector<Actor *>{passive});
    EXPECT_TRUE(passive->simState == nullptr);

    // A static actor: its objects in the group's static list, owned by it.
    Actor *wall = Plain("Wall");
    spies.Watch(wall);
    wall->AddColObj(std::make_unique<ColObj>());
    wall->AddColObj(std::make_unique<ColObj>());
    wall->drawGroupId = g->drawGroupId;
    AddActorToDrawGroup(wall, 0);
    PointerList<ColObj> &statics = GetActorSystem()->StaticColObjs(2);
    EXPECT_EQ(statics.Items(), (std::vector<ColObj *>{wall->colObjs[0].get(), wall->colObjs[1].get()}));
    EXPECT_EQ(std::tuple(wall->colObjs[0]->owner, wall->colObjs[1]->owner), std::tuple(wall, wall));
    EXPECT_EQ(spies.Count("Wall", kEndMoving), 1u);

    // Leaving empties every list again; the id stays.
    for (Actor *actor : {parent, passive, wall}) {
        RemoveActorFromDrawGroup(actor, 0);
        EXPECT_EQ(actor->drawGroupId, g->drawGroupId);
    }
    EXPECT_EQ(g->members.Count() + ActiveColliderList.Count() + PassiveColliderList.Count() +
                  statics.Count(),
              0u);
}

// A group lists neither itself nor an actor that holds it: updating or
// telling its members would reach it again without end.
TEST_F(DrawGroupUnit, AGroupNeverListsItselfOrAnActorThatHoldsIt) {
    DrawGroupActor *g = Group("G", {0, 0, 0}, {100, 100, 100});
    SendCommandArgs(g, kSetPosition, Vector3{50, 50, 50});
    SendCommandArgs(g, cmd::base::StartSimulate);
    Actor *holder = Plain("Holder", nullptr, {150, 50, 50});
    DrawGroupActor *inner = Group("Inner", {100, 0, 0}, {200, 100, 100}, holder);
    holder->flags &= ~kActorStatic;
    holder->drawGroupId = inner->drawGroupId;
    AddActorToDrawGroup(holder, 0);
    EXPECT_FALSE(g->members.Contains(g));
    EXPECT_FALSE(inner->members.Contains(holder));
    g->started = inner->started = 1;
    runner.Step(2);
    SendCommandArgs(g, cmd::base::OnDrawStop);
    SendCommandArgs(holder, cmd::base::OnDrawStop);
}

// Entering tells an actor updated in the last frame to stop when the group
// is not started, and one that was not to start when it is.
TEST_F(DrawGroupUnit, EnteringStartsOrStopsByTheLastUpdate) {
    DrawGroupActor *quiet = Group("Quiet", {0, 0, 0}, {100, 100, 100});
    DrawGroupActor *drawn = Group("Drawn", {100, 0, 0}, {200, 100, 100});
    drawn->started = 1;
    Actor *recent = Plain("Recent");
    Actor *idle = Plain("Idle");
    spies.Watch(recent);
    spies.Watch(idle);
    RefreshTimeRecord(recent->timeRecord);
    recent->currentTime = recent->timeRecord->previousTime;
    idle->currentTime = recent->timeRecord->previousTime - 1.0f;
    for (auto [actor, group] : {std::pair<Actor *, DrawGroupActor *>{recent, quiet}, {idle, drawn}}) {
        actor->drawGroupId = group->drawGroupId;
        AddActorToDrawGroup(actor, 0);
    }
    auto carried = [&](const char *name) {
        std::vector<int32_t> ids;
        for (const scene::SpyNotice &n : spies.notices) {
            if (n.actor == name && n.command == cmd::base::RecursiveCommand) ids.push_back(n.value);
        }
        return ids;
    };
    EXPECT_EQ(carried("Recent"), std::vector<int32_t>{cmd::base::OnDrawStop});
    EXPECT_EQ(carried("Idle"), std::vector<int32_t>{cmd::base::OnDrawStart});
}

TEST_F(DrawGroupUnit, ConnectivityFollowsOpenConnectors) {
    DrawGroupActor *g2 = Group("G2", {0, 0, 0}, {100, 100, 100});
    DrawGroupActor *g3 = Group("G3", {100, 0, 0}, {200, 100, 100});
    DrawGroupActor *g4 = Group("G4", {200, 0, 0}, {300, 100, 100});
    DrawGroupConnectorActor *link = Link("L", g2, g3);
    EXPECT_EQ(AreDrawGroupsConnected(3, 3), 1u);
    EXPECT_EQ(AreDrawGroupsConnected(-1, 4) + AreDrawGroupsConnected(2, -1), 2u);
    EXPECT_EQ(AreDrawGroupsConnected(2, 3), 0u); // closed
    SendCommandArgs(link, cmd::draw_group_connector::OpenConnactor);
    EXPECT_EQ(AreDrawGroupsConnected(2, 3) + AreDrawGroupsConnected(3, 2), 2u);
    EXPECT_EQ(AreDrawGroupsConnected(2, g4->drawGroupId), 0u);
    EXPECT_EQ(AreDrawGroupsConnected(77, 2), 0u); // no such group
}

// --- group commands ------------------------------------------------------------------------

TEST_F(DrawGroupUnit, BroadcastReachesTheFirst1024MembersAndInheritingGroups) {
    DrawGroupActor *g = Group("G", {0, 0, 0}, {100, 100, 100});
    std::vector<Actor *> members;
    for (int i = 0; i < 1025; ++i) {
        members.push_back(Mover(("M" + std::to_string(i)).c_str(), g));
        spies.Watch(members.back());
    }
    BroadcastInDrawGroup(g, cmd::base::OnLoadResourceGroup, ParamBlock());
    size_t told = 0;
    for (const scene::SpyNotice &n : spies.notices) {
        told += n.command == cmd::base::OnLoadResourceGroup ? 1 : 0;
    }
    EXPECT_EQ(told, kBroadcastMemberLimit);
    EXPECT_EQ(spies.Count("M1024", cmd::base::OnLoadResourceGroup), 0u);

    spies.Take();
    DrawGroupActor *outer = Group("Outer", {0, 0, 0}, {10, 10, 10});
    DrawGroupActor *closed = Group("Closed", {0, 0, 0}, {1, 1, 1}, outer);
    DrawGroupActor *shared = Group("Shared", {0, 0, 0}, {1, 1, 1}, outer);
    shared->inherit = 1;
    Actor *plain = Plain("Plain", outer);
    Actor *inClosed = Plain("InClosed", closed);
    Actor *inShared = Plain("InShared", shared);
    for (Actor *a : {static_cast<Actor *>(closed), static_cast<Actor *>(shared), plain, inClosed,
                     inShared}) {
        spies.Watch(a);
    }
    BroadcastInDrawGroup(outer, cmd::base::OnLoadResourceGroup, ParamBlock());
    EXPECT_EQ(spies.Of(cmd::base::OnLoadResourceGroup),
              (std::vector<std::string>{"0 Shared", "0 InShared", "0 Plain"}));
}

TEST_F(DrawGroupUnit, ConnectorsSizesAndInheritance) {
    DrawGroupActor *g = Group("G", {0, 0, 0}, {30, 40, 0}); // diagonal 50
    SendCommandArgs(g, cmd::draw_group::AddDrawgroupConnector, 9000u);
    SendCommandArgs(g, cmd::draw_group::AddDrawgroupConnector, 9000u);
    EXPECT_EQ(g->connectorIds, std::vector<uint32_t>{9000});
    SendCommandArgs(g, cmd::draw_group::GetAssignDrawgroupID);
    SendCommandArgs(g, cmd::draw_group::GetAssignDrawgroupID);
    EXPECT_FLOAT_EQ(Size(g), 100.0f);
    EXPECT_EQ(g->drawGroupId, 2); // its own id stays

    DrawGroupActor *inner = Group("Inner", {0, 0, 0}, {3, 4, 0}, g); // diagonal 5
    SendCommandArgs(inner, cmd::draw_group::SetInheritDrawgroupID, 1u);
    SendCommandArgs(inner, cmd::draw_group::GetAssignDrawgroupID);
    EXPECT_EQ(inner->drawGroupId, g->drawGroupId);
    EXPECT_TRUE(inner->HasFlag(kActorDrawGroupInherited));
    EXPECT_FLOAT_EQ(g->size, 105.0f);
    EXPECT_FLOAT_EQ(Size(inner), 105.0f); // forwarded
    SendCommandArgs(inner, cmd::draw_group::AddDrawgroupConnector, 9001u);
    EXPECT_EQ(g->connectorIds, (std::vector<uint32_t>{9000, 9001}));
    EXPECT_TRUE(inner->connectorIds.empty());
}

TEST_F(DrawGroupUnit, NeighboursAndRoutes) {
    DrawGroupActor *g2 = Group("G2", {0, 0, 0}, {100, 100, 100});
    DrawGroupActor *g3 = Group("G3", {100, 0, 0}, {200, 100, 100});
    DrawGroupActor *g4 = Group("G4", {200, 0, 0}, {300, 100, 100});
    DrawGroupConnectorActor *a = Link("A", g2, g3);
    Link("A2", g3, g2); // joins the same two again
    DrawGroupConnectorActor *b = Link("B", g3, g4);
    SendCommandArgs(a, kSetPosition, Vector3{100, 30, 50});
    SendCommandArgs(b, kSetPosition, Vector3{200, 30, 50});
    spies.Watch(g3);
    spies.Watch(g4);
    uint32_t carried = cmd::base::OnLoadResourceGroup;
    g2->HandleCommand(cmd::draw_group::CommandNearDG, ParamBlock(&carried, sizeof(carried)));
    EXPECT_EQ(spies.Of(cmd::base::OnLoadResourceGroup), std::vector<std::string>{"0 G3"});

    std::vector<Vector3> route;
    EXPECT_TRUE(g3->ClearWalkMarks(3, route));
    EXPECT_TRUE(route.empty());
    EXPECT_TRUE(g2->ClearWalkMarks(4, route));
    ASSERT_EQ(route.size(), 2u);
    EXPECT_EQ(std::tuple(route[0].x, route[1].x), std::tuple(100.0f, 200.0f));
    route.clear();
    EXPECT_FALSE(g2->ClearWalkMarks(9, route));
    EXPECT_TRUE(route.empty());
}

TEST_F(DrawGroupUnit, CalculateBoxWithoutABlockFitsTheChildren) {
    DrawGroupActor *g = Group("G", {0, 0, 0}, {1, 1, 1});
    SendCommandArgs(g, kSetPosition, Vector3{100, 0, 0});
    auto *child = new BoxedActor();
    child->name = "boxed";
    child->parent = g;
    g->children.push_back(child);
    SendCommandArgs(child, kSetPosition, Vector3{5, 6, 7}); // world (105, 6, 7)
    EXPECT_EQ(g->HandleCommand(kCalculateAABox, ParamBlock()), 1);
    EXPECT_EQ(std::tuple(g->boxMin.x, g->boxMin.y, g->boxMin.z, g->boxMax.x, g->boxMax.y, g->boxMax.z),
              std::tuple(-5.0f, -4.0f, -3.0f, 15.0f, 16.0f, 17.0f));
    // The world box follows the group.
    float box[6] = {};
    g->HandleCommand(cmd::draw_group::GetDrawgroupAABox, ParamBlock(box, sizeof(box)));
    EXPECT_EQ(std::tuple(box[0], box[3]), std::tuple(95.0f, 115.0f));
}

TEST_F(DrawGroupUnit, DoorConnectorDrawsItsParentOnceAndAClosedOneStopsTheWalk) {
    DrawGroupActor *g2 = Group("G2", {-100, -100, -100}, {100, 100, 100});
    DrawGroupActor *g3 = Group("G3", {100, -100, -100}, {300, 100, 100});
    auto *door = new DrawnActor();
    door->name = "door";
    door->parent = scenery;
    scenery->children.push_back(door);
    DrawGroupConnectorActor *link = Link("Link", g2, g3, door);
    link->type = kConnectorDoor;
    runner.SetCamera({0, 0, 0});
    ActorSystem *system = GetActorSystem();
    EXPECT_EQ(DrawVisibleGroups(system, 0.0f), 1);
    EXPECT_EQ(std::tuple(door->draws, link->drawn, g3->visible), std::tuple(1, 1u, 0u));
    EXPECT_EQ(link->currentTime, 0.0f); // not drawn itself
    SendCommandArgs(link, cmd::draw_group_connector::OpenConnactor);
    DrawVisibleGroups(system, 0.0f);
    EXPECT_EQ(std::tuple(door->draws, g3->visible), std::tuple(2, 1u)); // once a frame
}

// --- the walk against the one it replaced -----------------------------------------------------

// The walk as it was: every list it goes over taken as a copy first, every
// registry entry and connector cast on each visit.
bool WasStillIn(const Actor *actor, const PointerListBase &list) {
    return std::any_of(actor->memberNodes.begin(), actor->memberNodes.end(),
                       [&](const PointerListNode *node) { return node->list == &list; });
}

// It enters each registry entry once a frame, and its open step the entry
// found.
std::vector<int32_t> g_enteredAsItWas;

void TraverseAsItWas(ActorSystem *system, int32_t index, float step) {
    DrawGroupActor *group = DrawGroupAt(index);
    if (group == nullptr || std::find(g_enteredAsItWas.begin(), g_enteredAsItWas.end(), index) !=
                                g_enteredAsItWas.end()) {
        return;
    }
    g_enteredAsItWas.push_back(index);
    group->Draw(step);
    group->visible = 1;
    ++system->visibilityCounters[0];
    if (group->open != 0) {
        const int32_t next =
            FindDrawGroupEntryAt(WalkCameraPosition(), static_cast<uint32_t>(index) + 1);
        if (next != -1) {
            TraverseAsItWas(system, next, step);
        }
    }
    const std::vector<uint32_t> connectors = group->connectorIds;
    for (uint32_t id : connectors) {
        DrawGroupConnectorActor *connector = ConnectorAt(id);
        if (connector == nullptr) {
            continue;
        }
        if (connector->drawn == 0) {
            if (connector->type == kConnectorDoor) {
                if (connector->parent != nullptr) {
                    connector->parent->Draw(step);
                }
            } else {
                connector->Draw(step);
            }
            connector->drawn = 1;
            ++system->visibilityCounters[1];
        }
        if (connector->isOpen != 0) {
            const std::vector<uint32_t> ids = connector->groupIds;
            for (uint32_t groupId : ids) {
                DrawGroupActor *behind = DrawGroupAt(groupId);
                if (behind != nullptr && behind->visible == 0) {
                    TraverseAsItWas(system, static_cast<int32_t>(groupId), step);
                }
            }
        }
    }
}

int DrawVisibleGroupsAsItWas(ActorSystem *system, float step) {
    ActorDeliveryScope delivery;
    const int32_t start = FindDrawGroupAt(WalkCameraPosition(), kSystemDrawGroupCount);
    Actor *game = GetActorById(kInventoryActorId);
    if (start == -1) {
        if (game != nullptr) {
            game->Update();
        }
        return 0;
    }
    for (size_t i = 0; i < DrawGroupRegistry.size(); ++i) {
        DrawGroupActor *group = DrawGroupAt(static_cast<int64_t>(i));
        if (group == nullptr) {
            continue;
        }
        group->visible = 0;
        for (uint32_t id : group->connectorIds) {
            if (DrawGroupConnectorActor *connector = ConnectorAt(id)) {
                connector->drawn = 0;
            }
        }
    }
    g_enteredAsItWas.clear();
    TraverseAsItWas(system, start, step);
    for (size_t i = 0; i < DrawGroupRegistry.size(); ++i) {
        DrawGroupActor *group = DrawGroupAt(static_cast<int64_t>(i));
        if (group == nullptr || group->visible == 0) {
            continue;
        }
        for (Actor *member : group->members.Items()) {
            if (IsInActorTable(member) && WasStillIn(member, group->members)) {
                member->Update();
            }
        }
    }
    game = GetActorById(kInventoryActorId);
    if (game != nullptr) {
        game->Update();
    }
    std::vector<DrawGroupActor *> startedGroups;
    for (DrawGroupActor *g = FirstStartedDrawGroup(); g != nullptr; g = g->startedNext) {
        startedGroups.push_back(g);
    }
    for (DrawGroupActor *group : startedGroups) {
        const bool present = group->actorId < 0 || IsInActorTable(group);
        if (group->startedLinked && group->visible == 0 && present) {
            group->HandleCommand(cmd::base::OnDrawStop, ParamBlock());
        }
    }
    return 1;
}

// A world that changes under the walk: members that, when updated or told
// that their group starts or stops, move themselves or others in and out of
// the member lists, delete members, make new ones, open and close
// connectors and join groups anew, all drawn from one seeded sequence.
struct ChangingWorld {
    std::mt19937 random;
    std::vector<std::string> log;
    std::vector<DrawGroupActor *> groups;
    std::vector<DrawGroupConnectorActor *> connectors;
    // Each member made, by id and name: a member made later may take a
    // deleted one's id and address, never its name.
    std::vector<std::pair<int32_t, std::string>> members;
    Actor *root = nullptr;
    int made = 0;

    size_t Pick(size_t n) { return static_cast<size_t>(random() % n); }
    Actor *SomeMember() {
        while (!members.empty()) {
            const size_t at = Pick(members.size());
            const auto &[id, name] = members[at];
            Actor *member = GetActorById(static_cast<uint32_t>(id));
            if (member != nullptr && member->name == name) {
                return member;
            }
            members.erase(members.begin() + static_cast<std::ptrdiff_t>(at));
        }
        return nullptr;
    }
    DrawGroupActor *SomeGroup() { return groups[Pick(groups.size())]; }
    void Join(DrawGroupConnectorActor *connector, DrawGroupActor *a, DrawGroupActor *b) {
        connector->groupIds = {static_cast<uint32_t>(a->drawGroupId),
                               static_cast<uint32_t>(b->drawGroupId)};
        for (DrawGroupActor *group : {a, b}) {
            SendCommandArgs(group, cmd::draw_group::AddDrawgroupConnector,
                            static_cast<uint32_t>(connector->actorId));
        }
    }
    void Connect() {
        auto *connector = static_cast<DrawGroupConnectorActor *>(CreateActor(
            kDrawGroupConnectorClassId, "L" + std::to_string(made++), nullptr, root, -1, false));
        connector->isOpen = Pick(2);
        Join(connector, SomeGroup(), SomeGroup());
        connectors.push_back(connector);
    }
    void MakeMember(DrawGroupActor *group);
    void Act(const char *when, Actor *self) {
        log.push_back(std::string(when) + " " + self->name);
        Actor *other = SomeMember();
        switch (Pick(16)) {
        case 0: // leaves its group and enters it again, at the end
            RemoveActorFromDrawGroup(self, 0);
            AddActorToDrawGroup(self, 0);
            break;
        case 1: // another does
            if (other != nullptr) {
                RemoveActorFromDrawGroup(other, 0);
                AddActorToDrawGroup(other, 0);
            }
            break;
        case 2: // another moves to some group
            if (other != nullptr) {
                RemoveActorFromDrawGroup(other, 0);
                other->drawGroupId = SomeGroup()->drawGroupId;
                AddActorToDrawGroup(other, 0);
            }
            break;
        case 3: // another leaves the world
            if (other != nullptr && other != self) {
                DeleteActor(other);
            }
            break;
        case 4:
            MakeMember(SomeGroup());
            break;
        case 5:
            Connect();
            break;
        case 6: { // a connector opens or closes
            DrawGroupConnectorActor *connector = connectors[Pick(connectors.size())];
            connector->isOpen ^= 1u;
            break;
        }
        case 7: // a connector joins two groups anew
            connectors[Pick(connectors.size())]->groupIds = {
                static_cast<uint32_t>(SomeGroup()->drawGroupId),
                static_cast<uint32_t>(SomeGroup()->drawGroupId)};
            break;
        case 8: { // a group takes another's fields, its connector list whole
            DrawGroupActor *group = SomeGroup();
            DrawGroupActor *source = SomeGroup();
            if (group != source) {
                // As a copy, it takes the source's id, name and box as well:
                // it keeps its own, and its place.
                const int32_t id = group->actorId;
                const std::string name = group->name;
                const Vector3 min = group->boxMin, max = group->boxMax;
                SendCommandArgs(group, cmd::base::Create, static_cast<Actor *>(source));
                group->actorId = id;
                group->name = name;
                group->boxMin = min;
                group->boxMax = max;
            }
            break;
        }
        default:
            break;
        }
    }
};

ChangingWorld *g_changing = nullptr;

class ChangingMember : public Actor {
  public:
    void Update() override {
        Actor::Update();
        g_changing->Act("update", this);
    }
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == cmd::base::OnDrawStart || commandId == cmd::base::OnDrawStop) {
            g_changing->Act(commandId == cmd::base::OnDrawStart ? "start" : "stop", this);
        }
        return Actor::HandleCommand(commandId, block);
    }
};

void ChangingWorld::MakeMember(DrawGroupActor *group) {
    auto *member = new ChangingMember();
    member->name = "M" + std::to_string(made++);
    const uint32_t id = FindFreeActorIds(1);
    SetActorTableEntry(id, member);
    member->actorId = static_cast<int32_t>(id);
    member->parent = root;
    member->parentId = root->actorId;
    root->children.push_back(member);
    member->flags &= ~kActorStatic;
    member->drawGroupId = group->drawGroupId;
    AddActorToDrawGroup(member, 0);
    members.push_back({member->actorId, member->name});
}

TEST_F(DrawGroupUnit, TheWalkUpdatesAndDrawsAsTheCopyingWalkDid) {
    ActorSystem *system = GetActorSystem();
    const auto run = [&](uint32_t seed, bool asItWas) {
        ChangingWorld world;
        g_changing = &world;
        world.random.seed(seed);
        world.root = Plain("root");
        for (int i = 0; i < 7; ++i) {
            const float x = 100.0f * static_cast<float>(i);
            world.groups.push_back(Group(("G" + std::to_string(i)).c_str(), {x - 50, -50, -50},
                                         {x + 50, 50, 50}, world.root));
            world.groups.back()->open = world.Pick(5) == 0 ? 1u : 0u;
        }
        for (int i = 0; i < 5; ++i) {
            world.Connect();
        }
        {
            // What the members do as they enter runs as in a frame: an actor
            // deleted meanwhile stays readable until the last one is made.
            ActorDeliveryScope delivery;
            for (int i = 0; i < 30; ++i) {
                world.MakeMember(world.SomeGroup());
            }
        }
        for (int frame = 0; frame < 12; ++frame) {
            runner.SetCamera({100.0f * static_cast<float>(world.Pick(8)), 0, 0});
            world.log.push_back("frame " + std::to_string(frame) + " " +
                                std::to_string(asItWas ? DrawVisibleGroupsAsItWas(system, 0.0f)
                                                       : DrawVisibleGroups(system, 0.0f)));
            for (DrawGroupActor *group : world.groups) {
                world.log.push_back(group->name + std::to_string(group->visible) +
                                    std::to_string(group->started) +
                                    std::to_string(group->members.Count()));
            }
        }
        world.log.push_back(std::to_string(system->visibilityCounters[0]) + " groups " +
                            std::to_string(system->visibilityCounters[1]) + " connectors");
        // The world goes, and the registry starts again where it did.
        EXPECT_EQ(DeleteActor(world.root), 1);
        DrawGroupRegistry.resize(kSystemDrawGroupCount, nullptr);
        system->visibilityCounters[0] = system->visibilityCounters[1] = 0;
        g_changing = nullptr;
        return world.log;
    };
    for (uint32_t seed = 1; seed <= 24; ++seed) {
        const std::vector<std::string> before = run(seed, true);
        const std::vector<std::string> now = run(seed, false);
        ASSERT_GT(before.size(), 200u);
        ASSERT_EQ(now, before) << "seed " << seed;
    }
}

// --- connector commands ------------------------------------------------------------------------

TEST_F(DrawGroupUnit, ConnectorFlagsAndCopies) {
    DrawGroupActor *g2 = Group("G2", {0, 0, 0}, {100, 100, 100});
    DrawGroupActor *g3 = Group("G3", {100, 0, 0}, {200, 100, 100});
    DrawGroupConnectorActor *c = Link("C", g2, g3);
    EXPECT_EQ(std::tuple(c->radius, c->position.y), std::tuple(25.0f, 30.0f));
    SendCommandArgs(c, cmd::draw_group_connector::GetForceOpenConnactor, 1u);
    EXPECT_EQ(std::tuple(c->forceOpen, c->isOpen), std::tuple(1u, 1u));
    SendCommandArgs(c, cmd::draw_group_connector::CloseConnactor);
    EXPECT_EQ(c->isOpen, 1u);
    uint32_t read = 0;
    c->HandleCommand(cmd::draw_group_connector::SetForceOpenConnactor,
                     ParamBlock(&read, sizeof(read)));
    EXPECT_EQ(read, 1u);
    SendCommandArgs(c, cmd::draw_group_connector::GetForceOpenConnactor, 0u);
    SendCommandArgs(c, cmd::draw_group_connector::OpenConnactor);
    SendCommandArgs(c, cmd::draw_group_connector::CloseConnactor);
    EXPECT_EQ(c->isOpen, 0u);

    SendCommandArgs(c, cmd::base::SetRadius, 40.0f);
    SendCommandArgs(c, cmd::draw_group_connector::SetLoadPoint, 1u);
    auto *copy = static_cast<DrawGroupConnectorActor *>(
        CreateActor(kDrawGroupConnectorClassId, "Copy", c, scenery, -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->radius, copy->loadPoint), std::tuple(40.0f, 1u));
    EXPECT_TRUE(copy->groupIds.empty());

    // A copied door connector gets "Precalculate" before it has ids; a bare
    // 1252 names no actor: nothing is entered.
    Actor *door = Plain("Door");
    auto *doorCopy = static_cast<DrawGroupConnectorActor *>(
        CreateActor(kDrawGroupConnectorClassId, "DoorCopy", c, door, -1, true));
    doorCopy->type = kConnectorDoor;
    EXPECT_EQ(SendCommandArgs(doorCopy, kPrecalculate), 1);
    EXPECT_EQ(doorCopy->HandleCommand(cmd::draw_group_connector::AddCollisionRecursive,
                                      ParamBlock()), 1);
    EXPECT_FALSE(door->HasFlag(kActorInDrawGroup));
    EXPECT_EQ(g2->members.Count() + g3->members.Count(), 0u);
}

TEST_F(DrawGroupUnit, PrecalculateOnADoorConnectorEntersTheDoorsSubtreeInBothGroups) {
    DrawGroupActor *g2 = Group("G2", {0, 0, 0}, {100, 100, 100});
    DrawGroupActor *g3 = Group("G3", {100, 0, 0}, {200, 100, 100});
    DrawGroupConnectorActor *free = Link("Free", g2, g3);
    spies.Watch(free);
    EXPECT_EQ(SendCommandArgs(free, kPrecalculate), 1);
    EXPECT_TRUE(spies.notices.empty()); // answered before the base handling

    Actor *door = Plain("Door");
    Actor *leaf = Plain("Leaf", door);
    leaf->AddColObj(std::make_unique<ColObj>(leaf));
    DrawGroupConnectorActor *link = Link("Link", g2, g3, door);
    link->type = kConnectorDoor;
    EXPECT_EQ(SendCommandArgs(link, kPrecalculate), 1);
    EXPECT_TRUE(g2->members.Contains(door) && g3->members.Contains(door));
    EXPECT_EQ(door->drawGroupId, 3);
    ActorSystem *system = GetActorSystem();
    ColObj *object = leaf->colObjs[0].get();
    EXPECT_TRUE(system->StaticColObjs(2).Contains(object) && system->StaticColObjs(3).Contains(object));

    // Destroying the leaf drops all of its entries (its forced second ones
    // too), then the door's.
    ASSERT_EQ(DeleteActor(leaf), 1);
    EXPECT_EQ(system->StaticColObjs(2).Count() + system->StaticColObjs(3).Count(), 0u);
    ASSERT_EQ(DeleteActor(door), 1);
    EXPECT_EQ(g2->members.Count() + g3->members.Count(), 0u);
}

// A door's subtree is entered in both of its groups by the connector after
// "Set DrawGroup" already entered it in the second: that list still holds
// each object once, so a leaf that starts moving leaves it, and a mover
// touching the leaf hears of it once a frame.
TEST_F(DrawGroupUnit, ADoorLeafIsListedOnceAndLeavesItsGroupsListWhenItMoves) {
    DrawGroupActor *g2 = Group("G2", {0, 0, 0}, {100, 100, 100});
    DrawGroupActor *g3 = Group("G3", {100, 0, 0}, {200, 100, 100});
    const auto sphere = [](Actor *actor, uint32_t flags) -> ColObj & {
        ColObj &object = actor->AddColObj(std::make_unique<ColObj>(actor));
        object.type = 1;
        object.boxMax = {10, 10, 10};
        object.flags =
            kColObjActive | kColObjSolid | kColObjTakesEvents | kColObjCausesEvents | flags;
        return object;
    };
    Actor *door = Plain("Door", nullptr, {100, 50, 50});
    Actor *leaf = Plain("Leaf", door);
    ColObj &leafSphere = sphere(leaf, 0);
    DrawGroupConnectorActor *link = Link("Link", g2, g3, door);
    link->type = kConnectorDoor;
    ASSERT_EQ(SendCommandArgs(link, kPrecalculate), 1);
    const auto entries = [&](size_t group) {
        const std::vector<ColObj *> items = GetActorSystem()->StaticColObjs(group).Items();
        return std::count(items.begin(), items.end(), &leafSphere);
    };
    EXPECT_EQ(std::tuple(leaf->drawGroupId, entries(2), entries(3)), std::tuple(3, 1, 1));

    // A mover of G3 beside the leaf; the leaf moves for one frame.
    Actor *mover = Plain("Mover", nullptr, {100, 50, 60});
    sphere(mover, kColObjTakesAllEvents);
    mover->flags &= ~kActorStatic;
    mover->drawGroupId = g3->drawGroupId;
    AddActorToDrawGroup(mover, 0);
    spies.Watch(mover);
    SendCommandArgs(leaf, kPositionAdd, Vector3{0, 0, 1});
    runner.Step(1);
    EXPECT_EQ(std::tuple(leaf->HasFlag(kActorStatic), entries(3)), std::tuple(false, 0));
    EXPECT_EQ(spies.Count("Mover", cmd::base::CollisionEvent), 1u);
}

// A door connector's "Precalculate" enters a moving door into both groups
// by force: a mover used to be listed again, so that an entry stayed after
// it left and a touching pair heard of each other twice a frame.
TEST_F(DrawGroupUnit, AForcedEnteringListsAMoverOnce) {
    DrawGroupActor *g2 = Group("G2", {0, 0, 0}, {100, 100, 100});
    DrawGroupActor *g3 = Group("G3", {100, 0, 0}, {200, 100, 100});
    std::vector<Actor *> movers;
    for (const char *name : {"Door", "Other"}) {
        Actor *mover = Plain(name, nullptr, {100, 50, movers.empty() ? 50.0f : 60.0f});
        ColObj &sphere = mover->AddColObj(std::make_unique<ColObj>(mover));
        sphere.type = 1;
        sphere.boxMax = {10, 10, 10};
        sphere.flags = kColObjActive | kColObjSolid | kColObjTakesEvents | kColObjCausesEvents |
                       kColObjTakesAllEvents;
        mover->flags &= ~kActorStatic;
        spies.Watch(mover);
        movers.push_back(mover);
    }
    Actor *door = movers[0];
    movers[1]->drawGroupId = g3->drawGroupId;
    AddActorToDrawGroup(movers[1], 0);
    DrawGroupConnectorActor *link = Link("Link", g2, g3, door);
    link->type = kConnectorDoor;
    ASSERT_EQ(SendCommandArgs(link, kPrecalculate), 1);
    const std::vector<Actor *> active = ActiveColliderList.Items();
    EXPECT_EQ(std::count(active.begin(), active.end(), door), 1);
    runner.Step(1);
    EXPECT_EQ(std::tuple(spies.Count("Door", cmd::base::CollisionEvent),
                         spies.Count("Other", cmd::base::CollisionEvent)),
              std::tuple(1u, 1u));
    RemoveActorFromDrawGroup(door, 0);
    EXPECT_FALSE(ActiveColliderList.Contains(door));
}

TEST_F(DrawGroupUnit, ConnectorKeepsTheTwoSmallestTouchedGroups) {
    auto ids = [](DrawGroupConnectorActor *c) { return c->groupIds; };
    DrawGroupActor *x = Group("X", {0, 0, 0}, {100, 100, 100});
    DrawGroupActor *y = Group("Y", {0, 0, 0}, {100, 100, 100});
    DrawGroupActor *z = Group("Z", {0, 0, 0}, {100, 100, 100});
    auto *c = static_cast<DrawGroupConnectorActor *>(
        CreateActor(kDrawGroupConnectorClassId, "C", nullptr, scenery, -1, false));
    SendCommandArgs(c, kSetPosition, Vector3{50, 50, 50});
    x->size = 10;
    y->size = 20;
    z->size = 5;
    SendCommandArgs(c, cmd::draw_group_connector::ConnactorDrawgroups);
    EXPECT_EQ(ids(c), (std::vector<uint32_t>{2, 4})); // the largest held goes
    y->size = 10; // equal largest: the first held is replaced
    x->connectorIds.clear();
    SendCommandArgs(c, cmd::draw_group_connector::ConnactorDrawgroups);
    EXPECT_EQ(ids(c), (std::vector<uint32_t>{4, 3}));
    EXPECT_EQ(x->connectorIds.size(), 0u);

    SendCommandArgs(c, kSetPosition, Vector3{5000, 50, 50}); // touches none
    SendCommandArgs(c, cmd::draw_group_connector::ConnactorDrawgroups);
    EXPECT_EQ(ids(c), (std::vector<uint32_t>{0, 0}));
}

// --- bounds of collision objects ---------------------------------------------------------------

TEST_F(DrawGroupUnit, WorldBoundsOfTheShapeKinds) {
    Actor *a = Plain("A", nullptr, {10, 0, 0});
    SendCommandArgs(a, 66, Vector3{2, 2, 2}); // scale
    ColObj &sphere = a->AddColObj(std::make_unique<ColObj>(a));
    sphere.type = 1;
    sphere.boxMin = {1, 0, 0};
    sphere.boxMax = {5, 0, 0};
    ColObj &box = a->AddColObj(std::make_unique<ColObj>(a));
    box.type = 3;
    box.boxMin = {-1, -1, -1};
    box.boxMax = {1, 1, 1};
    ColObj &mesh = a->AddColObj(std::make_unique<ColObj>(a));
    mesh.type = 5;
    UpdateCollisionShapeBounds(a);
    EXPECT_EQ(std::tuple(sphere.worldMin.x, sphere.worldMax.x), std::tuple(12.0f, 5.0f));
    EXPECT_EQ(box.type, 2u);
    EXPECT_EQ(std::tuple(box.worldMin.x, box.worldMax.x, box.worldMax.y), std::tuple(8.0f, 12.0f, 2.0f));
    EXPECT_EQ(std::tuple(mesh.worldMin.x, mesh.worldMax.x), std::tuple(10.0f, 10.0f)); // no mesh

    Actor *p = Plain("P", nullptr, {10, 0, 0});
    ColObj &ray = p->AddColObj(std::make_unique<ColObj>(p));
    ray.type = 7;
    ray.boxMin = {0, 0, 0};
    ray.boxMax = {2, 0.5f, 1}; // radius, rest threshold, resting
    p->oldWorldPosition = {0, 0, 0};
    UpdateCollisionShapeBounds(p);
    EXPECT_EQ(std::tuple(ray.worldMin.x, ray.worldMax.x, ray.boxMin.x, ray.boxMax.z),
              std::tuple(0.0f, 12.0f, 2.0f, 0.0f));
    p->oldWorldPosition = {10, 0, 0};
    SendCommandArgs(p, kSetPosition, Vector3{10.4f, 0, 0});
    UpdateCollisionShapeBounds(p);
    EXPECT_EQ(std::tuple(ray.worldMax.x, ray.boxMin.x, ray.boxMax.z), std::tuple(12.0f, 2.0f, 1.0f));
}

// --- faults ------------------------------------------------------------------------------------

// The static lists point at the objects themselves: adding more objects to
// an entered actor keeps every entry valid.
TEST_F(DrawGroupUnit, StaticEntriesSurviveMoreObjects) {
    DrawGroupActor *g = Group("G", {0, 0, 0}, {100, 100, 100});
    Actor *wall = Plain("Wall");
    wall->AddColObj(std::make_unique<ColObj>(wall));
    wall->drawGroupId = g->drawGroupId;
    AddActorToDrawGroup(wall, 0);
    for (int i = 0; i < 20; ++i) {
        SendCommandArgs(wall, 108);
    }
    std::vector<ColObj *> objects;
    for (const auto &object : wall->colObjs) objects.push_back(object.get());
    EXPECT_EQ(GetActorSystem()->StaticColObjs(2).Items(), objects);
    wall->currentColObj = 3;
    SendCommandArgs(wall, 109);
    EXPECT_EQ(GetActorSystem()->StaticColObjs(2).Count(), 20u);
}

// More groups than the first static lists: the lists grow with the ids.
TEST_F(DrawGroupUnit, StaticListsGrowWithTheRegistry) {
    DrawGroupActor *g = Group("Far", {0, 0, 0}, {100, 100, 100});
    DrawGroupRegistry[static_cast<size_t>(g->drawGroupId)] = nullptr;
    DrawGroupRegistry.resize(1500, nullptr);
    DrawGroupRegistry[1499] = g;
    g->drawGroupId = 1499;
    Actor *wall = Plain("Wall");
    wall->AddColObj(std::make_unique<ColObj>(wall));
    wall->drawGroupId = 1499;
    AddActorToDrawGroup(wall, 0);
    EXPECT_EQ(GetActorSystem()->StaticColObjs(1499).Count(), 1u);
    EXPECT_EQ(FindDrawGroupAt({50, 50, 50}, 2), 1499);
}

// A copied group lists nobody: the originals' members do not know of it.
TEST_F(DrawGroupUnit, CopiedGroupStartsWithoutMembers) {
    DrawGroupActor *g = Group("G", {0, 0, 0}, {10, 10, 10});
    g->open = 1;
    Actor *m = Mover("M", g);
    auto *copy = static_cast<DrawGroupActor *>(
        CreateActor(kDrawGroupClassId, "Copy", g, scenery, -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->members.Empty());
    EXPECT_EQ(std::tuple(copy->open, copy->boxMax.x, copy->started), std::tuple(1u, 10.0f, 0u));
    ASSERT_EQ(DeleteActor(copy), 1);
    ASSERT_EQ(DeleteActor(g), 1);
    EXPECT_TRUE(m->memberNodes.empty());
    EXPECT_EQ(DrawGroupAt(2), nullptr);
}

// "Init New" and "Init Copy" leave a group its registry entry as its id, so
// the point search finds it before any file is loaded.
TEST_F(DrawGroupUnit, GroupsMadeAtRunTimeKeepTheirRegistryIds) {
    Group("G", {0, 0, 0}, {100, 100, 100});
    auto *made = static_cast<DrawGroupActor *>(
        CreateActor(kDrawGroupClassId, "Made", nullptr, scenery, -1, true));
    auto *copy = static_cast<DrawGroupActor *>(
        CreateActor(kDrawGroupClassId, "Copy", made, scenery, -1, true));
    ASSERT_TRUE(made != nullptr && copy != nullptr);
    EXPECT_EQ(std::tuple(made->drawGroupId, copy->drawGroupId), std::tuple(3, 4));
    made->boxMin = {200, 0, 0};
    made->boxMax = {300, 100, 100};
    copy->boxMin = {400, 0, 0};
    copy->boxMax = {500, 100, 100};
    EXPECT_EQ(FindDrawGroupAt({250, 50, 50}, 2), 3);
    EXPECT_EQ(FindDrawGroupAt({450, 50, 50}, 2), 4);
}

// --- records and sheets ------------------------------------------------------------------------

std::vector<uint8_t> FileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> bytes;
    for (uint32_t w : words) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(w >> (8 * i)));
    }
    return bytes;
}

TEST_F(DrawGroupUnit, RecordsEndWithTheClassFieldsAndReadBack) {
    Actor *group = builder.Make(kDrawGroupClassId, "G");
    SendCommandArgs(group, 74, Vector3{-1, 2, -3});
    SendCommandArgs(group, 76, Vector3{4, 5.5f, 6});
    SendCommandArgs(group, cmd::draw_group::SetOpenDrawgroup, 1u);
    SendCommandArgs(group, cmd::draw_group::SetInheritDrawgroupID, 1u);
    Actor *connector = builder.Make(kDrawGroupConnectorClassId, "C");
    SendCommandArgs(connector, cmd::base::SetRadius, 12.5f);
    SendCommandArgs(connector, cmd::draw_group_connector::SetConnactorType, 1u);
    SendCommandArgs(connector, cmd::draw_group_connector::GetForceOpenConnactor, 1u);
    SendCommandArgs(connector, cmd::draw_group_connector::SetLoadPoint, 1u);
    const std::string groupFile = builder.folder / "group.qva";
    const std::string connectorFile = builder.folder / "connector.qva";
    ASSERT_EQ(SaveActors(groupFile, 3000, 3001, kSerializeSave), 1);
    ASSERT_EQ(SaveActors(connectorFile, 3001, 3002, kSerializeSave), 1);
    const std::vector<uint8_t> g = FileBytes(groupFile), c = FileBytes(connectorFile);
    ASSERT_GE(g.size(), 40u);
    ASSERT_GE(c.size(), 20u);
    EXPECT_EQ(std::vector<uint8_t>(g.end() - 40, g.end()),
              Words({0xBF800000, 0x40000000, 0xC0400000, 0x40800000, 0x40B00000, 0x40C00000, 1, 0,
                     1, 0}));
    EXPECT_EQ(std::vector<uint8_t>(c.end() - 20, c.end()), Words({0x41480000, 1, 1, 1, 1}));

    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;
    auto *readGroup = dynamic_cast<DrawGroupActor *>(scene::SceneBuilder::Find("G"));
    auto *readConnector = dynamic_cast<DrawGroupConnectorActor *>(scene::SceneBuilder::Find("C"));
    ASSERT_TRUE(readGroup != nullptr && readConnector != nullptr);
    EXPECT_EQ(std::tuple(readGroup->boxMin.x, readGroup->boxMax.y, readGroup->open,
                         readGroup->showBox, readGroup->inherit),
              std::tuple(-1.0f, 5.5f, 1u, 0u, 1u));
    EXPECT_EQ(std::tuple(readConnector->radius, readConnector->type, readConnector->isOpen,
                         readConnector->forceOpen, readConnector->loadPoint),
              std::tuple(12.5f, 1u, 1u, 1u, 1u));

    std::vector<std::string> lines;
    readConnector->DumpClassFields(lines);
    EXPECT_EQ(lines, std::vector<std::string>{
                         "connector radius 12.5 type 1 isopen 1 forceopen 1 loadpoint 1 groups 2 0 0"});
}

TEST_F(DrawGroupUnit, VersionZeroRecordsCarryNoClassFields) {
    for (uint32_t classId : {kDrawGroupClassId, kDrawGroupConnectorClassId}) {
        Actor *written = CreateActor(static_cast<int32_t>(classId), "W", nullptr, scenery, -1, false);
        Actor *plain = Plain("P");
        const std::string path = builder.folder / "v0.bin", plainPath = builder.folder / "p0.bin";
        for (auto [actor, file] : {std::pair<Actor *, std::string>{written, path}, {plain, plainPath}}) {
            Archive out;
            ASSERT_TRUE(out.Open(file, "wb"));
            out.SetVersion(0);
            ASSERT_EQ(actor->Serialize(out, kSerializeSave), 1);
            out.Close();
        }
        EXPECT_EQ(FileBytes(path).size(), FileBytes(plainPath).size()) << classId;

        Actor *read = CreateActor(static_cast<int32_t>(classId), "R", nullptr, scenery, -1, false);
        if (auto *group = dynamic_cast<DrawGroupActor *>(read)) group->open = 7;
        if (auto *connector = dynamic_cast<DrawGroupConnectorActor *>(read)) connector->radius = 7;
        Archive in;
        ASSERT_TRUE(in.Open(path, "rb"));
        in.SetVersion(0);
        uint32_t ids[2] = {}; // class and actor id, read by the loader
        in.SerializeWords(ids, 2);
        EXPECT_EQ(read->Serialize(in, kSerializeLoad), 1);
        in.SerializeU32(0); // nothing is left
        EXPECT_TRUE(in.Failed());
        if (auto *group = dynamic_cast<DrawGroupActor *>(read)) {
            EXPECT_EQ(group->open, 7u);
        }
        if (auto *connector = dynamic_cast<DrawGroupConnectorActor *>(read)) {
            EXPECT_EQ(connector->radius, 7.0f);
        }
    }
}

TEST_F(DrawGroupUnit, DescriptorsAndSheets) {
    auto sheet = [](uint32_t classId) {
        std::vector<std::string> rows;
        for (const PropertyItem &item : ClassDescriptorTable[classId].items) {
            rows.push_back(item.label + " " + std::to_string(static_cast<int>(item.kind)) + " " +
                           std::to_string(item.setCommand) + "/" + std::to_string(item.getCommand));
        }
        return rows;
    };
    const ActorClassDescriptor &group = ClassDescriptorTable[kDrawGroupClassId];
    const ActorClassDescriptor &connector = ClassDescriptorTable[kDrawGroupConnectorClassId];
    EXPECT_EQ(group.name + "/" + group.description, "Draw Group/Draw Group");
    EXPECT_EQ(connector.name + "/" + connector.description, "Draw Group Connector/Connects Draw Groups");
    EXPECT_EQ(group.lineage, (std::vector<uint32_t>{0, 15}));
    EXPECT_EQ(connector.lineage, (std::vector<uint32_t>{0, 20}));
    EXPECT_EQ(sheet(kDrawGroupClassId),
              (std::vector<std::string>{"Draw Group Properties 13 0/0", "Show Draw Group Box 17 822/823",
                                        "Min: 8 74/75", "Min: 8 76/77", "Open Draw Group 17 824/825",
                                        "Inherit DrawGroupID 17 826/827", "Calculate Box:|Run| 14 151/0"}));
    EXPECT_EQ(sheet(kDrawGroupConnectorClassId),
              (std::vector<std::string>{"Draw Group Connector Properties 13 0/0", "Radius: 4 475/476",
                                        "Type:|Free|0|Door|1| 16 1242/1243",
                                        "Force Open Connector 17 1245/1244",
                                        "Load Recources Point 17 1246/1247"}));
}

} // namespace
