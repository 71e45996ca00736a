// Copying and destroying actors: owned records, spies, slots, lists.
#include <algorithm>

#include "actor_fixture.h"
#include "core/actors/actor_services.h"

#include "core/script/byte_buffer.h"

namespace {

class CountingExtra : public ColObjExtra {
  public:
    explicit CountingExtra(int v) : value(v) { ++alive; }
    ~CountingExtra() override { --alive; }
    std::unique_ptr<ColObjExtra> Clone() const override {
        return std::make_unique<CountingExtra>(value);
    }
    int value;
    static inline int alive = 0;
};

using LifecycleTest = ActorCoreTest;

TEST_F(LifecycleTest, CopyTakesFieldsButOwnsItsRecords) {
    CountingExtra::alive = 0;
    RecordingActor *tmpl = MakeActor(nullptr, "Template");
    tmpl->position = {1, 2, 3};
    tmpl->userWord = 77;
    tmpl->actionTime = 4.0f;
    tmpl->flags |= kActorQueuedForDeletion | kActorInDrawGroup | kActorMaster;
    tmpl->simState = std::make_unique<SimState>();
    tmpl->simState->touches.resize(3);
    tmpl->simParams = std::make_unique<SimParams>();
    tmpl->simParams->SetFloat(9, 2.5f);
    tmpl->AddColObj(std::make_unique<ColObj>(tmpl));
    tmpl->colObjs[0]->extra = std::make_unique<CountingExtra>(5);
    auto script = std::make_unique<ScriptRecord>();
    script->name = "s";
    script->eventId = 44;
    script->compiled = std::make_shared<ByteBuffer>();
    tmpl->scripts.push_back(std::move(script));
    RecordingActor *kid = MakeActor(tmpl);
    tmpl->InvalidateTransform();
    ActorLink link(kid);
    link.Assign(tmpl);

    RecordingActor *copy = MakeActor(nullptr, "Copy");
    ScheduledCommand *own = copy->ScheduleCommand(189, ParamBlock(), 512, 1, 0, 0);
    *copy = *tmpl;
    *copy = *tmpl; // a class part, then the base: twice is fine

    EXPECT_EQ(copy->name, "Template");
    EXPECT_EQ((std::vector<float>{static_cast<float>(copy->userWord), copy->actionTime, copy->position.z}),
              (std::vector<float>{77, 4, 3}));
    // Flags 16 (queued) and 10 (in a draw group) are not copied.
    EXPECT_EQ(copy->flags & (kActorMaster | kActorQueuedForDeletion | kActorInDrawGroup), kActorMaster);
    EXPECT_NE(copy->simState.get(), tmpl->simState.get());
    EXPECT_EQ(copy->simState->touches.size(), 3u);
    EXPECT_EQ(copy->simParams->GetFloat(9), 2.5f);
    EXPECT_EQ(CountingExtra::alive, 2); // the first copy's clone was freed
    EXPECT_NE(copy->colObjs[0]->extra.get(), tmpl->colObjs[0]->extra.get());
    ASSERT_EQ(copy->scripts.size(), 1u);
    EXPECT_EQ(copy->scripts[0]->eventId, 44u);
    EXPECT_EQ(copy->scripts[0]->compiled, nullptr);
    EXPECT_EQ(copy->scripts[0]->serial, tmpl->scripts[0]->serial);
    // Never shared: children, back-links, entries, entry pointers.
    EXPECT_TRUE(copy->children.empty() && copy->backLinks.empty());
    EXPECT_EQ(copy->scheduledCommands, (std::vector<ScheduledCommand *>{own}));
    EXPECT_EQ(copy->baseProcessEntry, nullptr);

    // Destroying the template leaves the copy whole (ASan watches).
    tmpl->flags &= ~kActorQueuedForDeletion;
    Destroy(tmpl);
    EXPECT_EQ(std::tuple(link.target, CountingExtra::alive, copy->simState->touches.size()),
              std::tuple(nullptr, 1, 3u));
    Frame();
    Destroy(copy);
    EXPECT_EQ(CountingExtra::alive, 0);
}

TEST_F(LifecycleTest, CopyKeepsItsOwnQueuedFlag) {
    RecordingActor *tmpl = MakeActor();
    RecordingActor *copy = MakeActor();
    ActorSystem::QueueActorForDeletion(copy);
    copy->CopyFrom(*tmpl);
    EXPECT_TRUE(copy->HasFlag(kActorQueuedForDeletion));
    Destroy(copy);
    EXPECT_TRUE(system->pendingDeletion.empty());
}

TEST_F(LifecycleTest, SpiesAreCountedAndForgottenOnDestruction) {
    RecordingActor *target = MakeActor();
    RecordingActor *spy = MakeActor();
    RecordingActor *other = MakeActor();
    AddCommandSpy(target, spy);
    AddCommandSpy(target, spy);
    AddCommandSpy(other, spy);
    AddCommandSpy(target, nullptr);
    EXPECT_EQ(target->spies.size(), 2u);
    ASSERT_EQ(spy->spiedActors.size(), 2u);
    EXPECT_EQ(spy->spiedActors[0].second, 2u);
    RemoveCommandSpy(target, spy); // removes one
    EXPECT_EQ(std::tuple(target->spies.size(), spy->spiedActors[0].second), std::tuple(1u, 1u));

    // The spy dies: every list it is on forgets it.
    AddCommandSpy(target, other);
    Destroy(spy);
    EXPECT_EQ(target->spies, (std::vector<Actor *>{other}));
    EXPECT_TRUE(other->spies.empty());

    // The spied actor dies: its spies' records go.
    Destroy(target);
    EXPECT_TRUE(other->spiedActors.empty());

    RecordingActor *t2 = MakeActor();
    AddCommandSpy(t2, other);
    AddCommandSpy(t2, other);
    RemoveAllCommandSpies(t2);
    EXPECT_TRUE(other->spiedActors.empty());
}

TEST_F(LifecycleTest, CopiedSpiesEnterTheRecordsOnce) {
    RecordingActor *tmpl = MakeActor();
    RecordingActor *spy = MakeActor();
    AddCommandSpy(tmpl, spy);
    RecordingActor *copy = MakeActor();
    copy->CopyFrom(*tmpl);
    copy->CopyFrom(*tmpl);
    EXPECT_EQ(copy->spies, (std::vector<Actor *>{spy}));
    ASSERT_EQ(spy->spiedActors.size(), 2u);
    EXPECT_EQ(spy->spiedActors[1].first, copy);
    EXPECT_EQ(spy->spiedActors[1].second, 1u);
    Destroy(spy);
    EXPECT_TRUE(copy->spies.empty() && tmpl->spies.empty());
}

Actor *g_destroyedSeen = nullptr;
size_t g_spiesAtNotice = 99;

TEST_F(LifecycleTest, DestroyedHookRunsFirst) {
    g_destroyedSeen = nullptr;
    AddActorDestroyedHook([](Actor *actor) {
        g_destroyedSeen = actor;
        g_spiesAtNotice = actor->scheduledCommands.size();
    });
    RecordingActor *a = MakeActor();
    a->ScheduleCommand(189, ParamBlock(), 512, 1, 0, 0);
    Destroy(a);
    EXPECT_EQ(g_destroyedSeen, a);
    EXPECT_EQ(g_spiesAtNotice, 1u); // before the entries went
}

std::vector<Actor *> g_destroyOrder;
Actor *g_dyingParent = nullptr;
Actor *g_lateChild = nullptr;
Actor *g_deletedSibling = nullptr;
Actor *g_movedSibling = nullptr;
Actor *g_newParent = nullptr;

// A long flat list of children goes front first, each child's subtree before
// the next child, every slot cleared. What the first child's destruction does
// to the list is honoured: a sibling it deletes goes once, one it moves away
// stays, and one it lists goes last.
TEST_F(LifecycleTest, ChildrenAreDestroyedInListOrderWithTheirSubtrees) {
    g_destroyOrder.clear();
    AddActorDestroyedHook([](Actor *actor) {
        g_destroyOrder.push_back(actor);
        if (actor == g_lateChild) {
            g_lateChild = nullptr;
        } else if (g_dyingParent != nullptr && g_destroyOrder.size() == 2) {
            g_lateChild = new RecordingActor();
            g_lateChild->parent = g_dyingParent;
            g_dyingParent->children.push_back(g_lateChild);
            DeleteActor(g_deletedSibling);
            ReparentActor(g_movedSibling, g_newParent);
        }
    });
    RecordingActor *bystander = MakeActor();
    g_newParent = bystander;
    RecordingActor *top = MakeActor();
    std::vector<Actor *> expected;
    std::vector<int32_t> ids;
    for (int i = 0; i < 60; ++i) {
        RecordingActor *child = MakeActor(top);
        expected.push_back(child);
        ids.push_back(child->actorId);
        if (i % 20 == 0) {
            RecordingActor *grandchild = MakeActor(child);
            expected.push_back(grandchild);
            ids.push_back(grandchild->actorId);
        }
    }
    // The first child's subtree, then the sibling it deleted, then the rest
    // but the sibling it moved.
    g_deletedSibling = expected[7];
    g_movedSibling = expected[9];
    const int32_t movedId = g_movedSibling->actorId;
    std::vector<Actor *> order{top, expected[0], g_deletedSibling};
    for (size_t i = 1; i < expected.size(); ++i) {
        if (expected[i] != g_deletedSibling && expected[i] != g_movedSibling) {
            order.push_back(expected[i]);
        }
    }
    g_dyingParent = top;
    Destroy(top);
    g_dyingParent = nullptr;
    ASSERT_EQ(g_destroyOrder.size(), order.size() + 1);
    EXPECT_TRUE(std::equal(order.begin(), order.end(), g_destroyOrder.begin()));
    EXPECT_EQ(g_lateChild, nullptr); // the late child went last
    EXPECT_EQ(ActorTable[static_cast<size_t>(movedId)], g_movedSibling);
    EXPECT_EQ(bystander->children, std::vector<Actor *>{g_movedSibling});
    for (int32_t id : ids) {
        ASSERT_GE(id, 0);
        EXPECT_EQ(ActorTable[static_cast<size_t>(id)] == nullptr, id != movedId);
    }
}

TEST_F(LifecycleTest, SlotIsFreedOnlyByTheActorItHolds) {
    RecordingActor *tmpl = MakeActor(nullptr, "GA9");
    tmpl->BindGlobalSlot();
    RecordingActor *copy = MakeActor();
    copy->CopyFrom(*tmpl); // carries flag 17, refused before "Init Copy"
    EXPECT_TRUE(copy->HasFlag(kActorGlobalSlotBound));
    Destroy(copy);
    EXPECT_EQ(GetGlobalActor(9), tmpl);
    tmpl->name = "Renamed"; // renamed while bound
    Destroy(tmpl);
    EXPECT_EQ(GetGlobalActor(9), nullptr);
}

TEST_F(LifecycleTest, DestructorReleasesEverything) {
    RecordingActor *top = MakeActor();
    RecordingActor *child = MakeActor(top);
    RecordingActor *grandchild = MakeActor(child);
    RecordingActor *bystander = MakeActor();
    const int32_t childId = child->actorId;
    const int32_t grandchildId = grandchild->actorId;
    grandchild->InvalidateTransform();
    child->ScheduleCommand(189, ParamBlock(), 512, 1, 0, 0);
    ScheduledCommand *queued = top->ScheduleCommand(189, ParamBlock(), 512, 1, 0, 0);
    ActorSystem::CancelScheduledCommand(queued);
    ScheduledCommand *foreign = bystander->ScheduleCommand(189, ParamBlock(), 512, 1, 0, 0);
    top->scheduledCommands.push_back(foreign); // listed, not owned
    ActorSystem::QueueActorForDeletion(top);
    ActorSystem::QueueActorForDeletion(top);
    EXPECT_EQ(system->pendingDeletion.size(), 1u);
    top->simParams = std::make_unique<SimParams>();
    Destroy(top);
    EXPECT_TRUE(system->pendingDeletion.empty() && system->removalList.empty());
    EXPECT_EQ(ActorTable[childId], nullptr);
    EXPECT_EQ(ActorTable[grandchildId], nullptr);
    EXPECT_TRUE(RootTimeRecord()->layers[3].Empty());
    EXPECT_EQ(bystander->scheduledCommands, (std::vector<ScheduledCommand *>{foreign}));
    EXPECT_EQ(foreign->owner, bystander);
    EXPECT_EQ(ActorSystem::QueueActorForDeletion(nullptr), 1);
}

} // namespace
