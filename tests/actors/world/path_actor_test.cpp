// The Path and Path Node actors: the sheets and their commands, node end
// types and the nearest-node query, segment timing, weighted draws, the
// three route endings, node pauses, the presets, the file records, and the
// mended faults of freed movers and nodes, endless jumps, zero-length
// segments and huge weights.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "actors/world/path_actor.h"
#include "actors/world/path_node_actor.h"
#include "base/random.h"
#include "core/actors/actor_file.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "library/resource_library.h"
#include "support/scene_harness.h"
#include "support/temp_folder.h"
#include "time_fixture.h"

using namespace timetest;

namespace {


class PathTest : public TimeWorldTest {
  protected:
    PathActor *NewPath(Vector3 at = {0, 0, 0}) {
        auto *path = static_cast<PathActor *>(Make(kPathClassId, "path"));
        path->position = at;
        path->InvalidateTransform();
        return path;
    }
    PathNodeActor *Node(Actor *parent, Vector3 at, uint32_t weight = 1, const char *name = "node") {
        auto *node = static_cast<PathNodeActor *>(Make(kPathNodeClassId, name, parent));
        node->position = at;
        node->InvalidateTransform();
        node->randWeight = weight;
        return node;
    }
    Actor *Mover(Actor *path) { return Make(0, "mover", path); }
    void Step(PathActor *path) {
        Frame();
        path->Update();
    }
    // The nodes headed for, each time the target changes, over n frames.
    std::vector<int32_t> Route(PathActor *path, int frames) {
        std::vector<int32_t> route = {path->toNode};
        for (int i = 0; i < frames; ++i) {
            Step(path);
            if (path->toNode != route.back()) {
                route.push_back(path->toNode);
            }
        }
        return route;
    }
};

TEST_F(PathTest, DescriptorsDefaultsAndSheetRoundTrips) {
    ASSERT_GT(ClassDescriptorTable.size(), kPathClassId);
    const ActorClassDescriptor *node = &ClassDescriptorTable[kPathNodeClassId];
    const ActorClassDescriptor *path = &ClassDescriptorTable[kPathClassId];
    ASSERT_NE(node, nullptr);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(node->lineage, (std::vector<uint32_t>{0, 26}));
    EXPECT_EQ(path->lineage, (std::vector<uint32_t>{0, 27}));
    ASSERT_EQ(node->items.size(), 4u);
    ASSERT_EQ(path->items.size(), 7u);
    EXPECT_EQ(node->name, "Path Node");
    EXPECT_EQ(path->name, "Path");
    EXPECT_EQ(node->items[1].label, "Type:|Reverse|0|Loop|1|Jump Back To Root|2|");
    EXPECT_EQ(path->items[2].label, "Create:|Circular|0|Tree|2|");

    PathActor *p = NewPath();
    PathNodeActor *n = Node(p, {0, 0, 0});
    EXPECT_FLOAT_EQ(p->speed, 100.0f);
    EXPECT_EQ(p->forward, 1u);
    EXPECT_EQ(n->randWeight, 1u);

    SendFloat(p, cmd::path::SetPathSpeed, 0.0f);
    EXPECT_FLOAT_EQ(Ask<float>(p, cmd::path::GetPathSpeed), 1.0f);
    SendFloat(p, cmd::path::SetPathSpeed, 42.5f);
    EXPECT_FLOAT_EQ(Ask<float>(p, cmd::path::GetPathSpeed), 42.5f);
    SendWord(p, cmd::path::SetUseNodetimeForPause, 1);
    EXPECT_EQ(Ask<uint32_t>(p, cmd::path::GetUseNodetimeForPause), 1u);
    SendFloat(p, cmd::path_node::SetPathnodeTime, 3.5f);
    EXPECT_FLOAT_EQ(Ask<float>(p, cmd::path_node::GetPathnodeTime), 3.5f);
    SendWord(p, cmd::path::SetPathPredefined, 7);
    EXPECT_EQ(Ask<uint32_t>(p, cmd::path::GetPathPredefined), 7u);

    PathNodeActor *m = Node(p, {0, 0, 0});
    SendFloat(m, cmd::path_node::SetPathnodeTime, 1.25f);
    EXPECT_FLOAT_EQ(Ask<float>(m, cmd::path_node::GetPathnodeTime), 1.25f);
    SendWord(m, cmd::path_node::SetPathnodeRandweight, 9);
    EXPECT_EQ(Ask<uint32_t>(m, cmd::path_node::GetPathnodeRandweight), 9u);
    SendWord(m, cmd::path_node::SetPathnodeEndtype, kPathEndJumpBackToRoot);
    EXPECT_EQ(Ask<uint32_t>(m, cmd::path_node::GetPathnodeEndtype), kPathEndJumpBackToRoot);
}

TEST_F(PathTest, LoopOnlyOnLeavesAndNearestNodeQuery) {
    PathActor *p = NewPath();
    PathNodeActor *a = Node(p, {10, 0, 0});
    PathNodeActor *b = Node(a, {20, 0, 0});
    PathNodeActor *c = Node(b, {30, 0, 0});
    a->endType = kPathEndJumpBackToRoot;
    b->endType = kPathEndJumpBackToRoot;
    SendWord(b, cmd::path_node::SetPathnodeEndtype, kPathEndLoop);
    EXPECT_EQ(b->endType, kPathEndReverse);
    b->endType = kPathEndJumpBackToRoot;
    SendWord(c, cmd::path_node::SetPathnodeEndtype, kPathEndLoop);
    EXPECT_EQ(c->endType, kPathEndLoop);
    EXPECT_EQ(b->endType, kPathEndReverse);
    EXPECT_EQ(a->endType, kPathEndReverse);
    EXPECT_EQ(c->loopTarget, p->actorId);

    // Nearest of the subtree of a; a tie keeps the first visited.
    PathNodeActor *twin = Node(a, {20, 0, 0});
    struct {
        float point[3] = {31, 0, 0};
        float best = 1e30f;
        uint32_t id = 0;
    } query;
    a->HandleCommand(cmd::path_node::NearestPathNode, ParamBlock(&query, sizeof(query)));
    EXPECT_EQ(query.id, static_cast<uint32_t>(b->actorId));
    EXPECT_FLOAT_EQ(query.best, 1.0f);
    (void)twin;
    // A short block is left alone.
    float shortBlock[2] = {0, 0};
    a->HandleCommand(cmd::path_node::NearestPathNode, ParamBlock(shortBlock, sizeof(shortBlock)));
    EXPECT_EQ(shortBlock[1], 0.0f);
}

TEST_F(PathTest, SegmentTakesLengthOverSpeedAndMoverFollowsWorldPositions) {
    PathActor *p = NewPath({50, 0, 0});
    p->rotation = {0.0f, std::sin(0.785398f), 0.0f, std::cos(0.785398f)}; // half turn about y
    p->InvalidateTransform();
    PathNodeActor *a = Node(p, {250, 0, 0});
    Node(a, {250, 0, 250});
    Actor *mover = Mover(p);
    p->HandleCommand(cmd::base::Precalculate, ParamBlock());
    EXPECT_EQ(p->toNode, a->actorId);
    EXPECT_NEAR(p->segmentDuration, 2.5f, 1e-4f);
    int frames = 0;
    while (p->toNode == a->actorId && frames < 400) {
        Step(p);
        ++frames;
        if (p->toNode == a->actorId) {
            // On the line from the Path to a's world position.
            const Vector3 w = mover->GetWorldPosition();
            const Vector3 end = a->GetWorldPosition();
            const float f = p->segmentClock / p->segmentDuration;
            EXPECT_NEAR(w.x, 50.0f + (end.x - 50.0f) * f, 1e-2f);
            EXPECT_NEAR(w.z, end.z * f, 1e-2f);
        }
    }
    EXPECT_NEAR(frames, 151, 1);
}

TEST_F(PathTest, FirstNodesDrawnByWeight) {
    PathActor *p = NewPath();
    PathNodeActor *a = Node(p, {10, 0, 0}, 1);
    PathNodeActor *b = Node(p, {0, 0, 10}, 3);
    Mover(p);
    SeedRand(1);
    int countA = 0;
    int countB = 0;
    for (int i = 0; i < 4000; ++i) {
        p->HandleCommand(cmd::path::PathReset, ParamBlock());
        countA += p->toNode == a->actorId ? 1 : 0;
        countB += p->toNode == b->actorId ? 1 : 0;
    }
    EXPECT_EQ(countA + countB, 4000);
    EXPECT_NEAR(countA, 1000, 200);
    EXPECT_NEAR(countB, 3000, 200);
}

TEST_F(PathTest, HugeWeightsDrawWithoutAList) {
    PathActor *p = NewPath();
    Node(p, {10, 0, 0}, 1);
    PathNodeActor *heavy = Node(p, {0, 0, 10}, 0xFFFFFFFFu);
    Node(p, {0, 10, 0}, 0xFFFFFFFFu);
    Mover(p);
    SeedRand(1);
    int heavyCount = 0;
    for (int i = 0; i < 100; ++i) {
        p->HandleCommand(cmd::path::PathReset, ParamBlock());
        ASSERT_GE(p->toNode, 0);
        heavyCount += p->toNode == heavy->actorId ? 1 : 0;
    }
    // Rand() stays below the first heavy node's running total.
    EXPECT_EQ(heavyCount, 100);
}

TEST_F(PathTest, ReverseAndLoopRoutes) {
    {
        PathActor *p = NewPath();
        PathNodeActor *a = Node(p, {100, 0, 0});
        PathNodeActor *leaf = Node(a, {200, 0, 0});
        Mover(p);
        p->HandleCommand(cmd::base::Precalculate, ParamBlock());
        const std::vector<int32_t> route = Route(p, 60 * 8);
        ASSERT_GE(route.size(), 5u);
        EXPECT_EQ(route[0], a->actorId);
        EXPECT_EQ(route[1], leaf->actorId);
        EXPECT_EQ(route[2], a->actorId);
        EXPECT_EQ(route[3], p->actorId);
        EXPECT_EQ(route[4], a->actorId);
    }
    {
        PathActor *p = NewPath();
        PathNodeActor *a = Node(p, {100, 0, 0});
        PathNodeActor *leaf = Node(a, {200, 0, 0});
        SendWord(leaf, cmd::path_node::SetPathnodeEndtype, kPathEndLoop);
        Mover(p);
        p->HandleCommand(cmd::base::Precalculate, ParamBlock());
        const std::vector<int32_t> route = Route(p, 60 * 8);
        ASSERT_GE(route.size(), 4u);
        EXPECT_EQ(route[1], leaf->actorId);
        EXPECT_EQ(route[2], p->actorId);
        EXPECT_EQ(route[3], a->actorId);
    }
}

TEST_F(PathTest, NodeTimePausesTheMover) {
    PathActor *p = NewPath();
    PathNodeActor *a = Node(p, {100, 0, 0});
    a->nodeTime = 2.0f;
    p->rootTime = 1.0f;
    a->endType = kPathEndJumpBackToRoot;
    p->useNodeTimePause = 1;
    Actor *mover = Mover(p);
    p->HandleCommand(cmd::base::Precalculate, ParamBlock());
    for (int i = 0; i < 200 && p->pauseLeft <= 0.0f; ++i) {
        Step(p);
    }
    // At a after the jump the next segment starts at the Path: the Path's
    // own time is the pause.
    EXPECT_FLOAT_EQ(p->pauseLeft, 1.0f);
    a->endType = kPathEndReverse;
    p->useNodeTimePause = 1;
    p->pauseLeft = 0.0f;
    p->HandleCommand(cmd::base::Precalculate, ParamBlock());
    for (int i = 0; i < 200 && p->toNode == a->actorId; ++i) {
        Step(p);
    }
    EXPECT_FLOAT_EQ(p->pauseLeft, 2.0f);
    const Vector3 held = mover->position;
    int frames = 0;
    while (p->pauseLeft > 0.0f && frames < 400) {
        Step(p);
        ++frames;
        EXPECT_EQ(mover->position.x, held.x);
    }
    EXPECT_NEAR(frames, 120, 1);
}

TEST_F(PathTest, CircularPresetBuildsTheRouteAndTreeClearsIt) {
    PathActor *p = NewPath();
    SendWord(p, cmd::path::SetPathPredefined, kPathPresetCircular);
    ASSERT_EQ(p->children.size(), 2u);
    Actor *first = p->children[0];
    EXPECT_EQ(first->classId, kPathNodeClassId);
    EXPECT_EQ(first->name, "Node");
    EXPECT_FLOAT_EQ(first->position.x, 100.0f);
    ASSERT_EQ(first->children.size(), 1u);
    Actor *second = first->children[0];
    EXPECT_FLOAT_EQ(second->position.z, 100.0f);
    ASSERT_EQ(second->children.size(), 1u);
    auto *third = static_cast<PathNodeActor *>(second->children[0]);
    EXPECT_FLOAT_EQ(third->position.x, 0.0f);
    EXPECT_EQ(third->endType, kPathEndLoop);
    Actor *mover = p->children[1];
    EXPECT_EQ(mover->name, "Moving Object");
    EXPECT_EQ(mover->classId, 0u);
    ASSERT_EQ(mover->children.size(), 1u);
    EXPECT_EQ(mover->children[0]->name, "Animation");
    EXPECT_EQ(mover->children[0]->classId, 28u);
    EXPECT_EQ(p->movingObject, mover->actorId);
    EXPECT_EQ(p->toNode, first->actorId);
    Step(p);

    // Everything goes, the mover included: later frames move nothing.
    SendWord(p, cmd::path::SetPathPredefined, kPathPresetTree);
    EXPECT_TRUE(p->children.empty());
    for (int i = 0; i < 30; ++i) {
        Step(p);
    }
    EXPECT_EQ(p->toNode, -1);
}

// With a library holding the mesh and its material, the preset's animation
// carries the Mesh Object "Object".
TEST_F(PathTest, CircularPresetMovesAMeshObjectWithALibrary) {
    ResourceLibrary library;
    ASSERT_TRUE(scene::TestLibrary::Load(library));
    ResourceLibrary *previous = ReplaceLibraryForTests(&library);
    PathActor *p = NewPath();
    SendWord(p, cmd::path::SetPathPredefined, kPathPresetCircular);
    ASSERT_EQ(p->children.size(), 2u);
    Actor *animation = p->children[1]->children.at(0);
    ASSERT_EQ(animation->children.size(), 1u);
    EXPECT_EQ(animation->children[0]->name, "Object");
    EXPECT_EQ(animation->children[0]->classId, 3u);
    ResetActorWorldForTests(); // the mesh goes before its library
    ReplaceLibraryForTests(previous);
}

TEST_F(PathTest, DeletedMoverAndNodesAreNotTouched) {
    PathActor *p = NewPath();
    PathNodeActor *a = Node(p, {100, 0, 0});
    PathNodeActor *b = Node(a, {200, 0, 0});
    Actor *mover = Mover(p);
    p->HandleCommand(cmd::base::Precalculate, ParamBlock());
    Step(p);
    ASSERT_EQ(DeleteActor(mover), 1);
    for (int i = 0; i < 10; ++i) {
        Step(p);
    }
    // A new mover; a node deleted mid-segment restarts from the Path.
    Mover(p);
    p->HandleCommand(cmd::base::Precalculate, ParamBlock());
    for (int i = 0; i < 400 && p->toNode != b->actorId; ++i) {
        Step(p);
    }
    ASSERT_EQ(p->toNode, b->actorId);
    Step(p);
    ASSERT_EQ(DeleteActor(a), 1);
    Step(p);
    EXPECT_EQ(p->fromNode, p->actorId);
    EXPECT_EQ(p->toNode, -1); // nothing left to head for
    for (int i = 0; i < 10; ++i) {
        Step(p);
    }
}

TEST_F(PathTest, CopyTakesNoneOfTheTemplatesActors) {
    PathActor *p = NewPath();
    Node(p, {100, 0, 0});
    Mover(p);
    p->speed = 55.0f;
    p->HandleCommand(cmd::base::Precalculate, ParamBlock());
    auto *copy = static_cast<PathActor *>(CreateActor(kPathClassId, "copy", p, scenery, -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_FLOAT_EQ(copy->speed, 55.0f);
    EXPECT_EQ(copy->movingObject, -1);
    EXPECT_EQ(copy->toNode, -1);
}

TEST_F(PathTest, JumpFromAPathWithoutCandidatesEnds) {
    PathActor *p = NewPath();
    PathNodeActor *a = Node(p, {100, 0, 0});
    a->endType = kPathEndJumpBackToRoot;
    Actor *mover = Mover(p);
    p->HandleCommand(cmd::base::Precalculate, ParamBlock());
    a->randWeight = 0;
    for (int i = 0; i < 120; ++i) {
        Step(p);
    }
    EXPECT_EQ(p->toNode, -1);
    EXPECT_EQ(p->forward, 1u);
    const float x = mover->position.x;
    Step(p);
    EXPECT_EQ(mover->position.x, x);
}

TEST_F(PathTest, ZeroLengthSegmentsGiveFinitePositions) {
    PathActor *p = NewPath();
    PathNodeActor *a = Node(p, {0, 0, 0});
    Node(a, {0, 0, 0});
    Actor *mover = Mover(p);
    p->HandleCommand(cmd::base::Precalculate, ParamBlock());
    for (int i = 0; i < 20; ++i) {
        Step(p);
        ASSERT_TRUE(std::isfinite(mover->position.x));
    }
    p->speed = -5.0f;
    Node(p, {10, 0, 0});
    p->HandleCommand(cmd::path::PathReset, ParamBlock());
    for (int i = 0; i < 20; ++i) {
        Step(p);
        ASSERT_TRUE(std::isfinite(mover->position.x));
    }
}

TEST_F(PathTest, FileRecordsLeaveTheSegmentOut) {
    PathActor *p = NewPath();
    PathNodeActor *a = Node(p, {100, 0, 0}, 7);
    SendFloat(p, cmd::path::SetPathSpeed, 50.0f);
    SendWord(p, cmd::path::SetUseNodetimeForPause, 1);
    SendFloat(p, cmd::path_node::SetPathnodeTime, 2.5f);
    SendFloat(a, cmd::path_node::SetPathnodeTime, 1.5f);
    SendWord(a, cmd::path_node::SetPathnodeEndtype, kPathEndJumpBackToRoot);
    Mover(p);
    p->HandleCommand(cmd::base::Precalculate, ParamBlock());
    TempFolder folder;
    // The last bytes of a one-actor file: the class's own fields.
    const auto tail = [&](Actor *actor, size_t n) {
        const std::string path = folder / "one.qva";
        EXPECT_EQ(SaveActors(path, static_cast<uint32_t>(actor->actorId),
                             static_cast<uint32_t>(actor->actorId) + 1, kSerializeSave),
                  1);
        const std::string bytes = folder.Get("one.qva");
        return bytes.size() >= n ? bytes.substr(bytes.size() - n) : std::string();
    };
    // Speed 50, pause 1, time 2.5; time 1.5, weight 7, end type 2; five
    // reserved words each.
    const std::string pathBytes = std::string("\0\0\x48\x42\x01\0\0\0\0\0\x20\x40", 12) +
                                  std::string(20, '\0');
    const std::string nodeBytes = std::string("\0\0\xc0\x3f\x07\0\0\0\x02\0\0\0", 12) +
                                  std::string(20, '\0');
    const std::string atStart = tail(p, 32);
    EXPECT_EQ(atStart, pathBytes);
    EXPECT_EQ(tail(a, 32), nodeBytes);
    for (int i = 0; i < 30; ++i) {
        Step(p);
    }
    ASSERT_GT(p->segmentClock, 0.0f);
    EXPECT_EQ(tail(p, 32), atStart);
}

TEST_F(PathTest, JumpRouteRestartsAtThePathAtOnce) {
    PathActor *p = NewPath({0, 0, 50});
    PathNodeActor *a = Node(p, {100, 0, 0});
    PathNodeActor *leaf = Node(a, {100, 0, 0});
    leaf->endType = kPathEndJumpBackToRoot;
    Actor *mover = Mover(p);
    p->HandleCommand(cmd::base::Precalculate, ParamBlock());
    for (int i = 0; i < 600 && p->toNode != leaf->actorId; ++i) {
        Step(p);
    }
    ASSERT_EQ(p->toNode, leaf->actorId);
    while (p->toNode == leaf->actorId) {
        Step(p);
    }
    // Placed at the Path in the frame the leaf was reached, heading for a
    // first-level node.
    EXPECT_EQ(p->fromNode, p->actorId);
    EXPECT_EQ(p->toNode, a->actorId);
    EXPECT_NEAR(mover->position.x, 0.0f, 1e-3f);
    EXPECT_NEAR(mover->position.z, 0.0f, 1e-3f);
}

} // namespace
