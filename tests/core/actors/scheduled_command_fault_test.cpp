// Scheduling under hostile conditions: owners deleted mid-walk, intervals
// that never advance, data that later comes from files, reused entries.
#include <memory>
#include <tuple>

#include "actor_fixture.h"
#include "core/actors/command_ids.h"

namespace {

constexpr uint32_t kKillDelay = 189;
constexpr uint32_t kKillTime = 191;

uint32_t Flags(uint32_t kind, uint32_t tag = 0) { return (kind << 8) | tag; }

class ScheduleFaultTest : public ActorCoreTest {
  protected:
    ScheduledCommand *Every(Actor *owner, uint32_t command, uint32_t layer = 1) {
        return ScheduleCommand(owner, command, ParamBlock(), Flags(1), 0, 0, 0, nullptr, layer);
    }
};

// Destroys itself when its first command arrives, then reads the block it
// was handed; touches nothing of its own afterwards.
class SelfDestroyingActor : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == kKillDelay) {
            parent->children.erase(
                std::find(parent->children.begin(), parent->children.end(), this));
            ActorTable[actorId] = nullptr;
            delete this;
            seenAfterDelete = block.ReadF32(0);
            return 1;
        }
        ++otherCommands;
        return Actor::HandleCommand(commandId, block);
    }
    static inline float seenAfterDelete = 0.0f;
    static inline int otherCommands = 0;
};

TEST_F(ScheduleFaultTest, ActorDestroyedInsideItsOwnEntryWhileTheWalkGoesOn) {
    auto *victim = new SelfDestroyingActor();
    victim->parent = system;
    system->children.push_back(victim);
    victim->actorId = 50;
    ActorTable[50] = victim;
    RecordingActor *other = MakeActor();
    float payload = 42.0f;
    SelfDestroyingActor::seenAfterDelete = 0.0f;
    SelfDestroyingActor::otherCommands = 0;
    ScheduleCommand(victim, kKillDelay, ParamBlock(&payload, 4), Flags(1), 0, 0, 0, nullptr, 1);
    ScheduleCommand(victim, kKillTime, ParamBlock(), Flags(1), 0, 0, 0, nullptr, 1);
    ScheduledCommand *later = Every(other, kKillDelay);
    Frame();
    EXPECT_EQ(SelfDestroyingActor::seenAfterDelete, 42.0f); // freed only after the walk
    EXPECT_EQ(SelfDestroyingActor::otherCommands, 0);       // its second entry never ran
    EXPECT_EQ(other->Count(kKillDelay), 1u);                // the later entry of another actor ran
    EXPECT_EQ(RootTimeRecord()->layers[1].everyPassHead.next, later);
    Frame();
    EXPECT_EQ(other->Count(kKillDelay), 2u);
}

TEST_F(ScheduleFaultTest, EntryDeletedByAnEarlierEntryNeverRuns) {
    RecordingActor *a = MakeActor();
    RecordingActor *b = MakeActor();
    ScheduledCommand *doomed = nullptr;
    Every(a, kKillDelay);
    doomed = Every(b, kKillDelay);
    Every(b, kKillTime);
    a->onCommand = [&](uint32_t, ParamBlock) { ActorSystem::DeleteScheduledCommand(doomed); };
    Frame();
    EXPECT_EQ(std::tuple(b->Count(kKillDelay), b->Count(kKillTime), b->scheduledCommands.size()),
              std::tuple(0u, 1u, 1u));
}

TEST_F(ScheduleFaultTest, TimedEntryDeletingItselfStopsCatchingUp) {
    RecordingActor *a = MakeActor();
    ScheduledCommand *e =
        ScheduleCommand(a, kKillDelay, ParamBlock(), Flags(3), 0, 0, 0.1f, nullptr, 1);
    a->onCommand = [&](uint32_t, ParamBlock) { ActorSystem::DeleteScheduledCommand(e); };
    FrameDelta = 1.0f;
    Frame();
    EXPECT_EQ(a->Count(kKillDelay), 1u);
    EXPECT_TRUE(a->scheduledCommands.empty());
}

TEST_F(ScheduleFaultTest, IntervalsThatDoNotAdvanceRunOncePerPass) {
    RecordingActor *a = MakeActor();
    ScheduledCommand *entries[] = {
        ScheduleCommand(a, kKillDelay, ParamBlock(), Flags(3), 0, 0, 0, nullptr, 1),
        ScheduleCommand(a, kKillTime, ParamBlock(), Flags(4), 0, 100, -1, nullptr, 1),
        ScheduleCommand(a, 205, ParamBlock(), Flags(5), 0, 100, 0, nullptr, 1)};
    Frame();
    EXPECT_EQ(a->calls.size(), 3u);
    for (ScheduledCommand *e : entries)
        EXPECT_EQ(e->due, RootTimeRecord()->time) << e->kind;
    Frame();
    EXPECT_EQ(a->calls.size(), 6u);

    // A positive interval that float precision swallows counts the same.
    RootTimeRecord()->time = 1000.0f;
    RecordingActor *b = MakeActor();
    ScheduledCommand *tiny =
        ScheduleCommand(b, kKillDelay, ParamBlock(), Flags(3), 0, 0, 1e-5f, nullptr, 1);
    Frame();
    EXPECT_EQ(std::tuple(b->Count(kKillDelay), tiny->due), std::tuple(1u, RootTimeRecord()->time));
}

TEST_F(ScheduleFaultTest, CatchingUpIsCappedPerPassAndKeepsTheTotal) {
    RecordingActor *a = MakeActor();
    ScheduleCommand(a, kKillDelay, ParamBlock(), Flags(3), 0, 0, 0.25f, nullptr, 1);
    FrameDelta = 3000.0f; // 12000 intervals in one frame
    Frame();
    EXPECT_EQ(a->Count(kKillDelay), static_cast<size_t>(kMaxCatchUpRuns));
    FrameDelta = 0.1f; // 3000.1: the rest follows, as many as one uncapped pass
    Frame();           // would have made by now (due 0 .. 3000)
    EXPECT_EQ(a->Count(kKillDelay), 12001u);
}

TEST_F(ScheduleFaultTest, LerpValueWithEndNotAfterStartIsTheEndValue) {
    RecordingActor *a = MakeActor();
    // Command Lerp block: t, then "from" {id, value}, then "to" {id, value}.
    struct {
        float t;
        uint32_t fromId;
        float from;
        uint32_t toId;
        float to;
    } lerp = {0.0f, kKillDelay, 2.0f, kKillDelay, 6.0f};
    static_assert(sizeof(lerp) == 20);
    ScheduledCommand *e =
        ScheduleCommand(a, kKillDelay, ParamBlock(), 0, 1.0f, 1.0f, 0, nullptr, 1);
    e->params = std::make_unique<uint8_t[]>(sizeof(lerp));
    std::memcpy(e->params.get(), &lerp, sizeof(lerp));
    e->paramSize = sizeof(lerp);
    EXPECT_EQ(ScheduledCommandLerpValue(e), 6.0f);
    e->end = 0.0f; // before the start
    EXPECT_EQ(ScheduledCommandLerpValue(e), 6.0f);
    e->end = 3.0f;
    e->due = 2.0f; // halfway
    EXPECT_EQ(ScheduledCommandLerpValue(e), 4.0f);
    e->paramSize = 12; // short: the "to" value reads as 0
    EXPECT_EQ(ScheduledCommandLerpValue(e), 1.0f);
    EXPECT_EQ(ScheduledCommandLerpValue(nullptr), 0.0f);
}

TEST_F(ScheduleFaultTest, LayerAboveThreeIsNeverIndexed) {
    RecordingActor *a = MakeActor();
    ScheduledCommand *e =
        ScheduleCommand(a, kKillDelay, ParamBlock(), Flags(1), 0, 0, 0, nullptr, 7);
    EXPECT_EQ(std::tuple(e->state & kEntryLinked, a->scheduledCommands.size()), std::tuple(0, 1u));
    e->layer = 200;
    LinkScheduledCommand(e);
    EXPECT_EQ(e->prev, nullptr);
    Frame();
    EXPECT_TRUE(a->calls.empty());
}

TEST_F(ScheduleFaultTest, TagLookupSkipsCancelledEntries) {
    RecordingActor *a = MakeActor();
    ScheduledCommand *old =
        ScheduleCommand(a, 250, ParamBlock(), Flags(13, 255), 0, 1, 0, nullptr, 1);
    ActorSystem::CancelScheduledCommand(old);
    EXPECT_EQ(FindScheduledCommandByTag(a, 255), nullptr);
    ScheduledCommand *fresh =
        ScheduleCommand(a, 250, ParamBlock(), Flags(13, 255), 0, 1, 0, nullptr, 1);
    EXPECT_EQ(FindScheduledCommandByTag(a, 255), fresh);
    EXPECT_EQ(a->FindScheduledCommand(250), old); // by command: still listed
    CancelScheduledCommandsByTag(a, 255);
    EXPECT_EQ(system->removalList.size(), 2u);
    EXPECT_EQ(FindScheduledCommandByTag(nullptr, 255), nullptr);
}

TEST_F(ScheduleFaultTest, ReusedEntryIsUnlinkedFirstAndNeverFreed) {
    RecordingActor *a = MakeActor();
    auto mine = std::make_unique<ScheduledCommand>();
    float value = 5.0f;
    ScheduledCommand *e =
        ScheduleCommand(a, kKillDelay, ParamBlock(&value, 4), Flags(1), 0, 0, 0, mine.get(), 1);
    EXPECT_EQ(std::tuple(e, e->state), std::tuple(mine.get(), kEntryLinked));
    ScheduledCommand *neighbour =
        ScheduleCommand(a, kKillTime, ParamBlock(), Flags(1), 0, 0, 0, nullptr, 1);
    ActorSystem::CancelScheduledCommand(e);

    // Reuse while linked and queued: off the list, the owner's list and the
    // removal list before it is filled again.
    ScheduleCommand(a, kKillDelay, ParamBlock(&value, 4), Flags(2), 1.0f, 0, 0, mine.get(), 2);
    EXPECT_TRUE(system->removalList.empty());
    EXPECT_EQ(RootTimeRecord()->layers[1].everyPassHead.next, neighbour);
    EXPECT_EQ(neighbour->next, &RootTimeRecord()->layers[1].everyPassTail);
    EXPECT_EQ(RootTimeRecord()->layers[2].timedHead.next, mine.get());
    EXPECT_EQ(a->scheduledCommands, (std::vector<ScheduledCommand *>{neighbour, mine.get()}));

    ActorSystem::DeleteScheduledCommand(mine.get());
    EXPECT_EQ(mine->owner, a); // caller-owned: left alone
    EXPECT_EQ(mine->params, nullptr);
    EXPECT_TRUE(RootTimeRecord()->layers[2].Empty());
    EXPECT_EQ(a->scheduledCommands.size(), 1u);
}

TEST_F(ScheduleFaultTest, HandlersSeeBoundedViewsOfTheirCopies) {
    RecordingActor *a = MakeActor();
    size_t size = 99;
    a->onCommand = [&](uint32_t, ParamBlock block) {
        size = block.size();
        block.WriteF32(8, 1.0f); // past the end: dropped
    };
    ScheduleCommand(a, kKillDelay, ParamBlock(), Flags(1), 0, 0, 0, nullptr, 1);
    Frame();
    EXPECT_EQ(size, 4u);
}

// Keeps its own pointer to an entry and hears when the scheduler deletes it.
class EntryKeepingActor : public RecordingActor {
  public:
    void ScheduledCommandDeleted(ScheduledCommand *entry) override {
        deleted.push_back(entry);
        if (entry == kept) {
            kept = nullptr;
        }
    }
    ScheduledCommand *kept = nullptr;
    std::vector<ScheduledCommand *> deleted;
};

// "Delete TimerCommands By CMD" on the entries an actor keeps in its own
// fields: the fields are cleared when the entries go, so "BaseProcess" and
// "Process" are scheduled again and no later cancel reads a freed entry.
TEST_F(ScheduleFaultTest, DeletingTheActorsOwnEntriesClearsItsFields) {
    auto *actor = new EntryKeepingActor();
    actor->actorId = 8100;
    ActorTable.resize(8101, nullptr);
    ActorTable[8100] = actor;
    actor->parent = system;
    system->children.push_back(actor);

    actor->InvalidateTransform(); // a move schedules "BaseProcess"
    ScheduledCommand *baseProcess = actor->baseProcessEntry;
    ASSERT_NE(baseProcess, nullptr);
    actor->processEntry = Every(actor, cmd::base::Process, 2);
    actor->kept = actor->processEntry;
    SendCommandArgs(actor, 244, uint32_t{cmd::base::BaseProcess});
    SendCommandArgs(actor, 244, uint32_t{cmd::base::Process});
    Frame(); // the cancels are carried out at the start of the pump
    EXPECT_EQ(std::tuple(actor->baseProcessEntry, actor->processEntry, actor->kept),
              std::tuple(nullptr, nullptr, nullptr));
    EXPECT_EQ(actor->deleted.size(), 2u);

    actor->calls.clear();
    actor->InvalidateTransform(); // the next move schedules it anew
    ASSERT_NE(actor->baseProcessEntry, nullptr);
    Frame();
    EXPECT_EQ(actor->Count(cmd::base::BaseProcess), 1u);
    actor->CancelScheduledCommandIfAny(actor->baseProcessEntry);
}

} // namespace
