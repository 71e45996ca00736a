// The action system: start, stop and kill with delays and transitions.
#include <cmath>
#include <tuple>

#include "base_handler_fixture.h"
#include "core/actors/actor_services.h"

namespace {

class ActionTest : public BaseHandlerTest {
  protected:
    static std::vector<float> Values(const RecordingActor *actor, uint32_t id) {
        return actor->Floats(id);
    }
    static void SetFlag(Actor *actor, int bit) { actor->actionFlags |= 1u << bit; }
};

TEST_F(ActionTest, StartTransitionRisesToExactlyOneAtMostThirtyTimesASecond) {
    RecordingActor *actor = MakeActor();
    actor->actionStartTime = 1.0f;
    Send(actor, 211);
    RunFor(1.5f, 0.005f);
    std::vector<float> values = Values(actor, 205);
    ASSERT_GE(values.size(), 20u);
    EXPECT_LE(values.size(), 33u);
    EXPECT_EQ(std::tuple(values.front(), values.back()), std::tuple(0.0f, 1.0f));
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(actor->Count(214), 1u);
    // Both entries ran: nothing of the transition is left.
    RunFor(0.1f);
    EXPECT_EQ(FindScheduledCommandByTag(actor, 255), nullptr);
    EXPECT_EQ(FindScheduledCommandByTag(actor, 254), nullptr);
}

TEST_F(ActionTest, StopHalfWayContinuesFromTheCurrentValue) {
    RecordingActor *actor = MakeActor();
    actor->actionStartTime = 2.0f;
    actor->actionStopTime = 2.0f;
    Send(actor, 211);
    RunFor(1.0f);
    Send(actor, 212);
    std::vector<float> stops = Values(actor, 206);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_NEAR(stops[0], 0.5f, 0.02f);
    RunFor(3.0f);
    EXPECT_EQ(actor->Count(214), 0u); // the pending "Action Start Post" went
    EXPECT_EQ(actor->Count(215), 1u);
    stops = Values(actor, 206);
    EXPECT_EQ(stops.back(), 0.0f);
    EXPECT_TRUE(std::is_sorted(stops.rbegin(), stops.rend()));
    // The start transition stopped feeding 205 once the stop took over.
    EXPECT_LT(Values(actor, 205).back(), 0.6f);
}

TEST_F(ActionTest, StopWithoutRunningTransitionStartsAtOne) {
    RecordingActor *actor = MakeActor();
    actor->actionStopTime = 0.5f;
    Send(actor, 212);
    EXPECT_EQ(Values(actor, 206).front(), 1.0f);
}

TEST_F(ActionTest, StartAndStopCancelEachOthersPendingEntries) {
    RecordingActor *actor = MakeActor();
    actor->actionStopDelay = 0.5f;
    actor->actionStartDelay = 0.5f;
    Send(actor, 209); // schedules "Action Stop"
    Send(actor, 211); // cancels it
    RunFor(1.0f);
    EXPECT_EQ(actor->Count(212), 0u);
    Send(actor, 208); // schedules "Action Start"
    Send(actor, 212); // cancels it
    RunFor(1.0f);
    EXPECT_EQ(actor->Count(211), 1u);
    // The pre commands wait for their delays.
    Send(actor, 208);
    RunFor(0.3f);
    EXPECT_EQ(actor->Count(211), 1u);
    RunFor(0.3f);
    EXPECT_EQ(actor->Count(211), 2u);
}

TEST_F(ActionTest, StartPassesDownUnlessBlocked) {
    RecordingActor *parent = MakeActor();
    RecordingActor *open = MakeActor(parent);
    RecordingActor *closed = MakeActor(parent);
    SetFlag(closed, 0); // BlockStartFromParent
    Send(parent, 211);
    EXPECT_EQ(std::tuple(open->Count(208), open->Count(211), closed->Count(208)),
              std::tuple(1u, 1u, 0u));
    SetFlag(parent, 4); // BlockStartToChildren
    Send(parent, 211);
    EXPECT_EQ(open->Count(208), 1u);
    // Stop and kill have their own switches.
    SetFlag(closed, 1);
    Send(parent, 212);
    EXPECT_EQ(std::tuple(open->Count(209), closed->Count(209)), std::tuple(1u, 0u));
}

TEST_F(ActionTest, PostCommandsChainByTheirBits) {
    RecordingActor *actor = MakeActor();
    SetFlag(actor, 9);  // StopPre on StartPost
    SetFlag(actor, 11); // KillPre on StartPost
    SetFlag(actor, 12); // force delete
    actor->AddColObj(std::make_unique<ColObj>(actor));
    actor->flags &= ~kActorCollisionEnabled;
    actor->calls.clear();
    Send(actor, 211);
    std::vector<uint32_t> ids = actor->Ids();
    std::erase_if(ids, [](uint32_t id) { return id < 145 || id > 216 || id == 153; });
    // Collision first, then "Kill Pre", then "Action Stop Pre".
    const std::vector<uint32_t> expected = {211, 214, 145, 210, 213, 216, 209, 212, 215, 145};
    EXPECT_EQ(ids, expected);
    EXPECT_NE(actor->state & kActorKilled, 0u);
    EXPECT_EQ(actor->Count(48), 1u);
    EXPECT_FALSE(actor->HasFlag(kActorCollisionEnabled));

    RecordingActor *other = MakeActor();
    SetFlag(other, 10); // StartPre on StopPost
    Send(other, 212);
    EXPECT_EQ(other->Count(208), 1u);
    // A killed actor ignores "Action Start".
    Send(actor, 211);
    EXPECT_EQ(actor->Count(214), 1u);
}

TEST_F(ActionTest, KillWithChildrenWaitsForTheLastChild) {
    RecordingActor *parent = MakeActor();
    RecordingActor *a = MakeActor(parent);
    RecordingActor *b = MakeActor(parent);
    Send(parent, 213);
    EXPECT_NE(parent->state & kActorKilled, 0u);
    EXPECT_EQ(a->Count(210), 1u); // passed down
    // The children were killed too (no children of their own): queued.
    EXPECT_TRUE(a->HasFlag(kActorQueuedForDeletion));
    EXPECT_EQ(parent->Count(48), 0u);
    ASSERT_EQ(DeleteActor(a), 1);
    EXPECT_EQ(parent->Count(48), 0u);
    ASSERT_EQ(DeleteActor(b), 1);
    EXPECT_EQ(parent->Count(48), 1u);
    EXPECT_TRUE(parent->HasFlag(kActorQueuedForDeletion));

    RecordingActor *forced = MakeActor();
    MakeActor(forced);
    SetFlag(forced, 12);
    SetFlag(forced, 6); // children not told
    Send(forced, 213);
    EXPECT_EQ(forced->Count(48), 1u);
}

TEST_F(ActionTest, TimedKillPostIsNotCancelledByAStart) {
    RecordingActor *actor = MakeActor();
    actor->killTime = 0.5f;
    actor->actionStartTime = 0.2f;
    Send(actor, 213);
    EXPECT_EQ(Values(actor, 207).front(), 1.0f);
    Send(actor, 211); // takes over the transition, leaves "Kill Post"
    RunFor(1.0f);
    EXPECT_EQ(std::tuple(actor->Count(216), actor->Count(48)), std::tuple(1u, 1u));
}

TEST_F(ActionTest, ActionCommandRespectsItsSwitches) {
    RecordingActor *parent = MakeActor();
    RecordingActor *child = MakeActor(parent);
    RecordingActor *grandchild = MakeActor(child);
    SetFlag(parent, 8); // passed on, not executed here
    SetFlag(child, 7);  // executed here, not passed on
    Send(parent, 217, {ParamValue::Command(63, {Vector3{1, 2, 3}})});
    EXPECT_EQ(std::tuple(parent->position.x, child->position.y, grandchild->Count(217)),
              std::tuple(0.0f, 2.0f, 0u));
}

TEST_F(ActionTest, CalcActionTimeGivesTheSubtreeMaximum) {
    RecordingActor *root = MakeActor();
    RecordingActor *a = MakeActor(root);
    RecordingActor *b = MakeActor(a);
    root->actionTime = 1.0f;
    a->actionTime = 2.0f;
    b->actionTime = 3.5f;
    float answer = 0.0f;
    root->HandleCommand(203, ParamBlock(&answer, sizeof(answer)));
    EXPECT_EQ(answer, 3.5f);
    Send(root, 204);
    EXPECT_EQ(root->actionTime, 3.5f);
}

} // namespace
