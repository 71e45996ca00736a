#include <cmath>
#include <iterator>
#include <tuple>

#include "actor_fixture.h"
#include "base/random.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/param_convert.h"

namespace {

constexpr uint32_t kKillDelay = 189;

void ExpectVec(const Vector3 &v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-5f);
    EXPECT_NEAR(v.y, y, 1e-5f);
    EXPECT_NEAR(v.z, z, 1e-5f);
}

// Draw-group hook calls, in order: 'R' leave, 'A' enter, 'U' update.
std::string g_drawGroupCalls;

class ActorTest : public ActorCoreTest {
  protected:
    void SetUp() override {
        ActorCoreTest::SetUp();
        g_drawGroupCalls.clear();
        DrawGroupHooks hooks;
        hooks.removeActor = [](Actor *, uint32_t) { g_drawGroupCalls += 'R'; };
        hooks.addActor = [](Actor *, uint32_t) { g_drawGroupCalls += 'A'; };
        hooks.updateActor = [](Actor *) { g_drawGroupCalls += 'U'; };
        SetDrawGroupHooks(hooks);
    }
    size_t BaseProcessEntries() {
        size_t n = 0;
        for (Actor *actor : ActorTable) {
            if (actor != nullptr) {
                for (ScheduledCommand *e : actor->scheduledCommands)
                    n += e->command == cmd::base::BaseProcess ? 1 : 0;
            }
        }
        return n;
    }
};

TEST_F(ActorTest, NewActorAndSimParamsDefaults) {
    Actor actor;
    EXPECT_EQ(actor.name, "()");
    ExpectVec(actor.scale, 1, 1, 1);
    EXPECT_EQ(actor.rotation.w, 1.0f);
    EXPECT_EQ((std::vector<int64_t>{actor.flags, actor.state, actor.drawGroupId, actor.currentColObj,
                                    actor.actorId, actor.parentId}),
              (std::vector<int64_t>{0x9900, 3, -1, -1, -1, -1}));
    EXPECT_EQ(actor.timeRecord, RootTimeRecord());
    SimParams p;
    const std::pair<int, float> floats[] = {{1, 1}, {11, 900}, {12, 36}, {13, 36}, {19, 1}, {34, 1}};
    for (const auto &[word, value] : floats)
        EXPECT_EQ(p.GetFloat(word), value) << word;
    EXPECT_EQ(p.words[15], 4u);
}

TEST_F(ActorTest, TransformsComposeOverAThreeLevelChain) {
    RecordingActor *a = MakeActor();
    RecordingActor *b = MakeActor(a);
    RecordingActor *c = MakeActor(b);
    a->position = {10, 0, 0};
    QuaternionRotationAxis(&a->rotation, {0, 1, 0}, 3.14159265f / 2); // +Z turns to +X
    b->scale = {2, 2, 2};
    b->position = {0, 0, 1};
    c->position = {0, 0, 1};
    for (Actor *x : {a, b, c})
        x->InvalidateTransform();
    Matrix s, r, expected;
    MatrixScaling(&s, 2, 2, 2);
    MatrixFromQuaternion(&r, b->rotation);
    MatrixMultiply(&expected, s, r);
    b->UpdateWorldMatrix();
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            EXPECT_FLOAT_EQ(b->localMatrix.m[i][j], expected.m[i][j]);
    }
    ExpectVec({b->localMatrix.m[3][0], b->localMatrix.m[3][1], b->localMatrix.m[3][2]}, 0, 0, 1);
    ExpectVec(b->GetWorldPosition(), 11, 0, 0);
    ExpectVec(c->GetWorldPosition(), 13, 0, 0); // (0,0,1) scaled by 2, then a's turn
    EXPECT_TRUE(c->HasFlag(kActorWorldMatrixValid));

    c->UpdateInverseWorldMatrix();
    EXPECT_TRUE(c->HasFlag(kActorInverseMatrixValid));
    Vector3 back;
    Vec3TransformCoord(&back, {13, 0, 0}, c->inverseWorldMatrix);
    ExpectVec(back, 0, 0, 0);

    Quaternion q;
    QuaternionRotationAxis(&q, {1, 0, 0}, 0.5f);
    c->SetWorldRotation(q);
    std::vector<RecordedCommand> sent = c->Only(cmd::base::SetMatrix);
    ASSERT_EQ(sent.size(), 1u);
    Matrix m = sent[0].Read<Matrix>();
    MatrixFromQuaternion(&r, q);
    EXPECT_FLOAT_EQ(m.m[1][2], r.m[1][2]);
    ExpectVec({m.m[3][0], m.m[3][1], m.m[3][2]}, 13, 0, 0);
}

TEST_F(ActorTest, MovingAParentSchedulesOneBaseProcessPerOperationalDescendant) {
    RecordingActor *top = MakeActor();
    RecordingActor *idle = MakeActor(top);
    RecordingActor *grandchild = MakeActor(idle);
    idle->state &= ~kActorOperational;
    for (Actor *x : {top, idle, grandchild})
        x->flags |= kActorLocalMatrixValid | kActorWorldMatrixValid | kActorInverseMatrixValid;
    top->position = {1, 2, 3};
    top->InvalidateTransform();
    for (Actor *x : {top, idle, grandchild})
        EXPECT_EQ(x->flags & 0x17u, kActorMoved) << x->actorId;
    EXPECT_EQ(BaseProcessEntries(), 2u);
    EXPECT_EQ(idle->baseProcessEntry, nullptr); // recursed through, no entry
    ASSERT_NE(grandchild->baseProcessEntry, nullptr);
    EXPECT_EQ(grandchild->baseProcessEntry->layer, 3);
    EXPECT_EQ(grandchild->baseProcessEntry->kind, kScheduleEveryPass);
    top->InvalidateTransform();
    EXPECT_EQ(BaseProcessEntries(), 2u);
}

TEST_F(ActorTest, BaseProcessEntryLivesAsLongAsTheActorMoves) {
    RecordingActor *a = MakeActor();
    a->InvalidateTransform();
    Frame(); // moved: draw group left and re-entered, at rest cleared
    EXPECT_EQ(g_drawGroupCalls, "RA");
    EXPECT_FALSE(a->HasFlag(kActorStatic));
    EXPECT_TRUE(a->HasFlag(kActorMovedBefore));
    EXPECT_NE(a->baseProcessEntry, nullptr);
    Frame(); // first pass without movement: the entry goes
    EXPECT_EQ(g_drawGroupCalls, "RARA");
    EXPECT_TRUE(a->HasFlag(kActorStatic));
    EXPECT_EQ(a->baseProcessEntry, nullptr);
    Frame();
    EXPECT_EQ(a->Count(cmd::base::BaseProcess), 2u);
    EXPECT_TRUE(a->scheduledCommands.empty());

    RecordingActor *sim = MakeActor();
    sim->flags |= kActorSimulated;
    sim->InvalidateTransform();
    for (int i = 0; i < 4; ++i)
        Frame();
    EXPECT_EQ(sim->Count(cmd::base::BaseProcess), 4u);
    EXPECT_NE(sim->baseProcessEntry, nullptr);
    EXPECT_EQ(g_drawGroupCalls, "RARARAUUUU");
}

TEST_F(ActorTest, BaseProcessTakesTheActorsOwnEntryOnlyWhileItIsFree) {
    RecordingActor *a = MakeActor();
    a->InvalidateTransform();
    ScheduledCommand *own = a->baseProcessEntry;
    ASSERT_EQ(own, &a->ownBaseProcessEntry);
    EXPECT_EQ(own->state, kEntryLinked); // never the scheduler's to free
    Frame();
    Frame(); // at rest: cancelled, listed until the next pump
    ASSERT_EQ(a->scheduledCommands, (std::vector<ScheduledCommand *>{own}));
    a->InvalidateTransform(); // moved again meanwhile: a second entry
    ScheduledCommand *second = a->baseProcessEntry;
    ASSERT_NE(second, own);
    EXPECT_EQ(second->state & kEntryAllocated, kEntryAllocated);
    Frame(); // the cancelled one goes and is free again; the second runs
    EXPECT_EQ(a->scheduledCommands, (std::vector<ScheduledCommand *>{second}));
    EXPECT_EQ(std::tuple(own->owner, own->prev, own->next), std::tuple(nullptr, nullptr, nullptr));
    Frame();
    Frame();
    EXPECT_EQ(a->Count(cmd::base::BaseProcess), 4u);
    EXPECT_TRUE(a->scheduledCommands.empty());

    a->InvalidateTransform(); // free again: taken once more
    EXPECT_EQ(a->baseProcessEntry, own);
    EXPECT_EQ(a->scheduledCommands, (std::vector<ScheduledCommand *>{own}));
    Destroy(a); // goes with the actor, out of the layer first
    EXPECT_TRUE(RootTimeRecord()->layers[3].Empty());
    Frame();
}

TEST_F(ActorTest, BaseProcessDeltaPositionRules) {
    RecordingActor *a = MakeActor();
    a->simState = std::make_unique<SimState>();
    a->simState->w1 = 7;
    a->simState->touches.resize(2);
    Frame();
    system->Update(); // currentTime = previous time of the next frame
    a->position = {1, 0, 0};
    a->InvalidateTransform();
    Frame();
    ExpectVec(a->deltaPosition, 1, 0, 0);
    ExpectVec(a->simState->previousPosition, 0, 0, 0);
    ExpectVec(a->oldPosition, 1, 0, 0);
    ExpectVec(a->oldWorldPosition, 1, 0, 0);
    EXPECT_EQ(a->simState->w1, 0u);
    EXPECT_TRUE(a->simState->touches.empty());

    // Not updated in the previous frame: no delta, old values still taken.
    a->position = {3, 0, 0};
    a->InvalidateTransform();
    Frame();
    ExpectVec(a->deltaPosition, 1, 0, 0);
    ExpectVec(a->oldPosition, 3, 0, 0);

    // Collision disabled: a moving actor keeps its old delta; simState still
    // takes oldPosition.
    system->Update();
    a->flags &= ~kActorCollisionEnabled;
    a->position = {4, 0, 0};
    a->InvalidateTransform();
    Frame();
    ExpectVec(a->deltaPosition, 1, 0, 0);
    ExpectVec(a->simState->previousPosition, 3, 0, 0);

    // At rest and not simulated: delta cleared.
    Frame();
    ExpectVec(a->deltaPosition, 0, 0, 0);
}

TEST_F(ActorTest, BaseProcessStepOneCTakesTheStaleWorldPosition) {
    RecordingActor *a = MakeActor();
    Frame();
    a->position = {5, 0, 0};
    a->InvalidateTransform(); // not updated last frame: 1b skipped, no refresh
    Frame();
    ExpectVec(a->oldWorldPosition, 0, 0, 0);
    EXPECT_FALSE(a->HasFlag(kActorWorldMatrixValid));
}

TEST_F(ActorTest, UpdateStoresTimeAndRecursesOnlyWhenOperational) {
    RecordingActor *a = MakeActor();
    RecordingActor *b = MakeActor(a);
    FrameDelta = 0.5f;
    Frame();
    system->Update();
    EXPECT_EQ(b->currentTime, 0.5f);
    a->state &= ~kActorOperational;
    Frame();
    system->Update();
    EXPECT_EQ(std::tuple(a->currentTime, b->currentTime), std::tuple(0.5f, 0.5f));
}

// A child whose update deletes its next sibling and adds a new child.
class MeddlingActor : public RecordingActor {
  public:
    void Update() override {
        Actor::Update();
        if (victim != nullptr) {
            destroy(victim);
            victim = nullptr;
        }
    }
    Actor *victim = nullptr;
    std::function<void(Actor *)> destroy;
};

TEST_F(ActorTest, UpdateSurvivesChildrenChangingUnderIt) {
    RecordingActor *top = MakeActor();
    auto *meddler = new MeddlingActor();
    meddler->parent = top;
    top->children.push_back(meddler);
    RecordingActor *victim = MakeActor(top);
    RecordingActor *last = MakeActor(top);
    meddler->victim = victim;
    meddler->destroy = [this](Actor *x) { Destroy(x); };
    Frame();
    top->Update(); // under ASan: the deleted sibling is never touched
    EXPECT_EQ(last->currentTime, RootTimeRecord()->time);
    EXPECT_EQ(top->children.size(), 2u);
}

TEST_F(ActorTest, GlobalSlotNumbers) {
    const std::pair<const char *, int> names[] = {
        {"GA1_Player", 1}, {"GA20", 20}, {"GA123", 123}, {"GA01", 1}, {"GA12/Child", 12},
        {"GA1234", 0},     {"GA", 0},    {"GAx", 0},     {"GAx1", 0}, {"ga5", 0}};
    for (const auto &[name, slot] : names)
        EXPECT_EQ(GlobalSlotNumber(name), slot) << name;
    for (int slot : {0, 1000, -3})
        EXPECT_EQ(GetGlobalActor(slot), nullptr) << slot;
}

TEST_F(ActorTest, FirstBinderKeepsTheSlotAndTheDestructorFreesIt) {
    RecordingActor *first = MakeActor(nullptr, "GA20");
    RecordingActor *second = MakeActor(nullptr, "GA20");
    first->BindGlobalSlot();
    second->BindGlobalSlot();
    EXPECT_EQ(GetGlobalActor(20), first);
    EXPECT_FALSE(second->HasFlag(kActorGlobalSlotBound));
    Destroy(second); // unbound: slot untouched
    EXPECT_EQ(GetGlobalActor(20), first);
    Destroy(first);
    EXPECT_EQ(GetGlobalActor(20), nullptr);
}

// Resolves a path as the name of an actor in the table; "" is the context.
class NameResolver : public ActorPathResolver {
  public:
    Actor *FindActorByPath(std::string_view path, Actor *context) const override {
        if (path.empty())
            return context;
        for (Actor *actor : ActorTable) {
            if (actor != nullptr && actor->name == path)
                return actor;
        }
        return nullptr;
    }
    std::string ActorRelativePath(Actor *actor, Actor *) const override { return actor->name; }
};

TEST_F(ActorTest, LinksResolveReleaseAndHearOfTheirTargetsDeath) {
    NameResolver resolver;
    const ActorPathResolver *previous = InstallActorPathResolver(&resolver);
    RecordingActor *holder = MakeActor(nullptr, "Holder");
    RecordingActor *target = MakeActor(nullptr, "Target");
    MakeActor(nullptr, "GA7")->BindGlobalSlot();
    RecordingActor *child = MakeActor(GetGlobalActor(7), "Inner");
    {
        ActorLink link(holder);
        EXPECT_EQ(link.Resolve(), 0); // empty path
        link.path = "Target";
        EXPECT_EQ(link.Resolve(), 1);
        EXPECT_EQ(link.target, target);
        link.path = "Nobody";
        EXPECT_EQ(link.Resolve(), 1); // unresolved: unchanged
        EXPECT_EQ(link.target, target);
        link.path = "GA7/Inner";
        link.Resolve();
        EXPECT_EQ(link.target, child);
        EXPECT_TRUE(target->backLinks.empty());
        EXPECT_EQ(child->backLinks.size(), 1u);
        link.path = "GA7";
        link.Resolve();
        EXPECT_EQ(link.target, GetGlobalActor(7));
        link.Release();
        EXPECT_EQ(link.target, nullptr);
        EXPECT_TRUE(GetGlobalActor(7)->backLinks.empty());
    }
    ActorLink a(holder);
    ActorLink b(holder);
    ActorLink orphan;
    a.Assign(target);
    b.Assign(target);
    orphan.Assign(target);
    ActorLink copy(a);
    EXPECT_EQ(std::tuple(copy.target, target->backLinks.size()), std::tuple(nullptr, 3u));
    Destroy(target);
    EXPECT_EQ(std::tuple(a.target, b.target, orphan.target), std::tuple(nullptr, nullptr, nullptr));
    std::vector<RecordedCommand> told = holder->Only(cmd::base::InvalidActorPointer);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].Read<ActorLink *>(), &a);
    EXPECT_EQ(told[1].Read<ActorLink *>(), &b);
    InstallActorPathResolver(previous);
}

TEST_F(ActorTest, PointerListsWalkInPlaceAndCountTheirChangesAsObjectsDoTheirs) {
    RecordingActor *a = MakeActor(nullptr, "A");
    RecordingActor *b = MakeActor(nullptr, "B");
    PointerList<Actor> list;
    EXPECT_EQ(list.begin(), list.end());
    list.Append(a);
    list.Append(b);
    list.Append(a); // duplicates stay
    std::vector<Actor *> walked;
    const PointerList<Actor> &view = list;
    for (Actor *actor : view) {
        walked.push_back(actor);
    }
    EXPECT_EQ(walked, list.Items());
    EXPECT_EQ(std::distance(list.begin(), list.end()), 3);
    // Appending and unlinking count; walking does not.
    EXPECT_EQ(list.Changes(), 3u);
    list.UnlinkFirst(b);
    list.UnlinkFirst(b); // not there: nothing changes
    EXPECT_EQ(list.Changes(), 4u);
    list.Clear();
    EXPECT_EQ(list.Changes(), 6u);

    // Making, copying, putting on, taking off and freeing a collision
    // object each move the shape count.
    uint64_t version = ColObjShapeVersion();
    auto moved = [&version] {
        const bool changed = ColObjShapeVersion() != version;
        version = ColObjShapeVersion();
        return changed;
    };
    auto object = std::make_unique<ColObj>(a);
    EXPECT_TRUE(moved());
    ColObj copy(*object);
    EXPECT_TRUE(moved());
    copy = *object;
    EXPECT_TRUE(moved());
    a->AddColObj(std::move(object));
    EXPECT_TRUE(moved());
    EXPECT_FALSE(moved());
    a->RemoveColObj(0);
    EXPECT_TRUE(moved());
}

// The seed whose first draw gives value v: state = seed x 214013 + 2531011
// must have v in bits 16-30.
uint32_t SeedForDraw(uint32_t v) {
    uint32_t inverse = 1;
    for (int i = 0; i < 5; ++i) {
        inverse *= 2 - 214013u * inverse; // Newton: inverse of 214013 mod 2^32
    }
    return ((v << 16) - 2531011u) * inverse;
}

TEST_F(ActorTest, RandomHelpersOverEveryGeneratorValue) {
    float minSigned = 2, maxSigned = -2, minUnit = 2, maxUnit = -2;
    for (uint32_t v = 0; v <= static_cast<uint32_t>(kRandMax); ++v) {
        SeedRand(SeedForDraw(v));
        float s = RandomSigned();
        SeedRand(SeedForDraw(v));
        float u = RandomUnit();
        minSigned = std::min(minSigned, s);
        maxSigned = std::max(maxSigned, s);
        minUnit = std::min(minUnit, u);
        maxUnit = std::max(maxUnit, u);
    }
    SeedRand(SeedForDraw(12345));
    EXPECT_EQ(Rand(), 12345);
    EXPECT_EQ(minSigned, -1.0f);
    EXPECT_NEAR(maxSigned, 0.9998f, 1e-6f);
    EXPECT_LT(maxSigned, 1.0f);
    EXPECT_EQ(minUnit, 0.0f);
    EXPECT_NEAR(maxUnit, 0.9999f, 1e-6f);
    EXPECT_LT(maxUnit, 1.0f);
}

TEST_F(ActorTest, ColourPackingClampsRoundsAndTakesNaNAsZero) {
    EXPECT_EQ(PackColor(1.0f, 0.0f, 0.5f, 2.0f), 0xFFFF0080u);
    EXPECT_EQ(PackColor(-1.0f, 0.2f, 1.0f, 0.0f), 0x000033FFu);
    EXPECT_EQ(PackColorChannel(std::nanf("")), 0u);
    EXPECT_EQ(PackColorChannel(-std::nanf("")), 0u);
    EXPECT_EQ(std::tuple(PackColorChannel(0.999f), PackColorChannel(1e-9f)), std::tuple(255u, 0u));
}

TEST_F(ActorTest, SendCommandArgsPacksByTypeOrRefuses) {
    RecordingActor *a = MakeActor();
    EXPECT_EQ(SendCommandArgs(a, kKillDelay, 2.5f), 1);
    ASSERT_EQ(a->calls.size(), 1u);
    EXPECT_EQ(std::tuple(a->calls[0].block.size(), a->calls[0].F32()), std::tuple(4u, 2.5f));
    EXPECT_EQ(SendCommandArgs(a, kKillDelay, "text"), 0); // wrong type: not sent
    EXPECT_EQ(SendCommandArgs(a, kKillDelay), 0);         // wrong count
    ASSERT_EQ(a->calls.size(), 1u);
    EXPECT_EQ(SendCommandArgs(a, 553, 1.0f, 2.0f), 1); // no types: natural sizes
    EXPECT_EQ(a->calls.back().block.size(), 8u);
    EXPECT_EQ(a->calls.back().F32(4), 2.0f);
    EXPECT_EQ(SendCommandArgs(a, 32, "GA3"), 1);
    EXPECT_EQ(a->calls.back().block.size(), 4u);
    EXPECT_EQ(SendCommandArgs(nullptr, kKillDelay, 1.0f), 0);
}

TEST_F(ActorTest, ScheduledCommandWrappersUseTheRefreshedRecord) {
    RecordingActor *instance = MakeActor();
    TimeRecord record;
    record.owner = instance;
    record.flags = 0;
    RecordingActor *a = MakeActor();
    a->timeRecord = &record;
    float one = 1.0f, two = 2.0f;
    ScheduledCommand *e1 = a->ScheduleCommand(kKillDelay, ParamBlock(&one, 4), 512, 5.0f, 0, 0);
    ScheduledCommand *e2 = a->ScheduleCommand(kKillDelay, ParamBlock(&two, 4), 512, 5.0f, 0, 0);
    EXPECT_EQ(std::tuple(e1->layer, a->FindScheduledCommand(kKillDelay)), std::tuple(1, e1));
    EXPECT_EQ(a->FindScheduledCommandWithParam(kKillDelay, ParamBlock(&two, 4)), e2);
    EXPECT_EQ(a->FindScheduledCommandWithParam(kKillDelay, ParamBlock()), nullptr);
    FrameDelta = 0.5f;
    Frame();
    Frame(); // record stale, currentTime field still 0
    EXPECT_FLOAT_EQ(a->ScheduledCommandTimeLeft(e1), 5.0f - 0.5f);
    a->SetScheduledCommandTime(e2, 1.0f);
    EXPECT_FLOAT_EQ(e2->due, 1.5f);
    a->CancelScheduledCommands(kKillDelay);
    EXPECT_EQ(system->removalList.size(), 2u);
    a->CancelScheduledCommandIfAny(nullptr);
    Frame();
    EXPECT_TRUE(a->scheduledCommands.empty());
    a->timeRecord = RootTimeRecord();
}

} // namespace
