// The base command handler: spies, naming and state, initialisation, the
// tree, transforms, forwarding and conditions.
#include <cmath>
#include <tuple>

#include "actors/world/world_seams.h"
#include "base/random.h"
#include "base_handler_fixture.h"

namespace {

struct SpyNotice {
    uint32_t commandId;
    const ParamBlock *block;
    Actor *actor;
};

using SpyTest = BaseHandlerTest;

TEST_F(SpyTest, SpiesHearEveryCommandBeforeTheActorActs) {
    RecordingActor *actor = MakeActor();
    RecordingActor *spy = MakeActor();
    Send(actor, 94, {uint32_t(99)}); // names no actor: skipped
    Send(actor, 94, {uint32_t(spy->actorId)});
    ASSERT_EQ(actor->spies.size(), 1u);

    std::vector<float> seenX;
    spy->onCommand = [&](uint32_t id, ParamBlock block) {
        if (id == 93) {
            SpyNotice notice{};
            block.ReadBytes(0, &notice, sizeof(notice));
            EXPECT_EQ(notice.actor, actor);
            seenX.push_back(notice.actor->position.x); // not moved yet
            if (notice.commandId == 63) {
                EXPECT_EQ(notice.block->ReadF32(0), 5.0f);
            }
        }
    };
    Send(actor, 63, {Vector3{5, 0, 0}});
    actor->HandleCommand(20, ParamBlock()); // no family serves it
    ASSERT_EQ(spy->Only(93).size(), 2u);
    EXPECT_EQ(spy->Only(93)[1].Read<uint32_t>(0), 20u);
    EXPECT_EQ(seenX, (std::vector<float>{0.0f, 5.0f}));

    // Duplicates allowed; removal takes one.
    Send(actor, 94, {uint32_t(spy->actorId)});
    Send(actor, 95, {uint32_t(spy->actorId)});
    EXPECT_EQ(actor->spies.size(), 1u);
    Send(actor, 96);
    EXPECT_TRUE(actor->spies.empty() && spy->spiedActors.empty());
}

TEST_F(SpyTest, SelfSpyAndMutualSpiesDoNotRecurse) {
    RecordingActor *a = MakeActor();
    RecordingActor *b = MakeActor();
    Send(a, 94, {uint32_t(a->actorId)});
    Send(a, 94, {uint32_t(b->actorId)});
    Send(b, 94, {uint32_t(a->actorId)});
    a->calls.clear();
    b->calls.clear();
    Send(a, 64, {Vector3{}});
    EXPECT_EQ(a->Count(93), 1u); // itself, once
    EXPECT_EQ(std::tuple(b->Count(93), a->Count(64)), std::tuple(1u, 1u));
}

TEST_F(SpyTest, DestroyedSpyIsNeverNotified) {
    RecordingActor *actor = MakeActor();
    RecordingActor *spy = MakeActor();
    RecordingActor *other = MakeActor();
    Send(actor, 94, {uint32_t(spy->actorId)});
    Send(actor, 94, {uint32_t(other->actorId)});
    Send(actor, 94, {uint32_t(spy->actorId)});
    Destroy(spy);
    EXPECT_EQ(actor->spies, std::vector<Actor *>{other});
    other->calls.clear();
    Send(actor, 36);
    EXPECT_EQ(other->Count(93), 2u); // 36 and the 205 it sends

    // A spy that destroys another spy while being told.
    RecordingActor *victim = MakeActor();
    Send(actor, 94, {uint32_t(victim->actorId)});
    other->onCommand = [&](uint32_t id, ParamBlock) {
        if (id == 93 && victim != nullptr) {
            Destroy(victim);
            victim = nullptr;
        }
    };
    Send(actor, 64, {Vector3{}});
    EXPECT_EQ(actor->spies, std::vector<Actor *>{other});
}

using StateTest = BaseHandlerTest;

TEST_F(StateTest, SetEnabledSendsStartOrStopOnlyOnChange) {
    RecordingActor *actor = MakeActor();
    Send(actor, 34, {true});
    EXPECT_EQ(actor->Count(36) + actor->Count(37) + actor->Count(205), 0u);
    Send(actor, 34, {false});
    ASSERT_EQ(actor->Only(37).size(), 1u);
    ASSERT_EQ(actor->Only(205).size(), 1u);
    EXPECT_EQ(actor->Only(205)[0].F32(), 0.0f);
    // The base classes never change the bit themselves.
    EXPECT_EQ(Query<uint32_t>(actor, 35), 1u);
    Send(actor, 36);
    EXPECT_EQ(actor->Only(205).back().F32(), 1.0f);
}

TEST_F(StateTest, EventScriptsRunForEventCommandsOnly) {
    RecordingActor *actor = MakeActor();
    AddScript(actor, "onEnter", 98);
    AddScript(actor, "onPos", 63);
    AddScript(actor, "onEnter2", 98);
    Send(actor, 98, {uint32_t(3)}); // an event no family serves
    Send(actor, 63, {Vector3{}});   // not an event
    EXPECT_EQ(runner.Names(), (std::vector<std::string>{"onEnter", "onEnter2"}));
    EXPECT_EQ(runner.runs[0].local, nullptr);
}

TEST_F(StateTest, NameBindsAndFreesGlobalSlots) {
    RecordingActor *actor = MakeActor();
    Send(actor, 32, {"GA20"});
    EXPECT_EQ(GetGlobalActor(20), actor);
    RecordingActor *second = MakeActor();
    Send(second, 32, {"GA20"});
    EXPECT_EQ(GetGlobalActor(20), actor); // first binder keeps it
    Send(actor, 32, {"plain"});
    EXPECT_EQ(GetGlobalActor(20), nullptr);
    EXPECT_FALSE(actor->HasFlag(kActorGlobalSlotBound));
    char name[64] = {};
    actor->HandleCommand(33, ParamBlock(name, sizeof(name)));
    EXPECT_STREQ(name, "plain");
    char tiny[3] = {'x', 'x', 'x'};
    actor->HandleCommand(33, ParamBlock(tiny, sizeof(tiny)));
    EXPECT_EQ(tiny[2], '\0'); // cut, terminated

    Send(second, 32, {"GA7"});
    Send(second, 48);
    EXPECT_EQ(std::tuple(second->name, GetGlobalActor(7)), std::tuple("__GA7", nullptr));
    Send(second, 48); // again before it goes: renamed once
    EXPECT_EQ(second->name, "__GA7");
    EXPECT_TRUE(second->HasFlag(kActorQueuedForDeletion));
    EXPECT_EQ(system->pendingDeletion, std::vector<Actor *>{second});
}

TEST_F(StateTest, SetOperationalWakesAncestorsDirectlyRootFirst) {
    RecordingActor *a = MakeActor();
    RecordingActor *b = MakeActor(a);
    RecordingActor *sibling = MakeActor(a);
    RecordingActor *c = MakeActor(b);
    RecordingActor *leaf = MakeActor(c);
    std::vector<Actor *> precalculated;
    for (RecordingActor *x : {a, b, c, sibling, leaf}) {
        x->state &= ~kActorOperational;
        x->onCommand = [&precalculated, x](uint32_t id, ParamBlock) {
            if (id == 153)
                precalculated.push_back(x);
        };
    }
    b->flags |= kActorPrecalculated; // already precalculated: no 153
    Send(c, 39, {true});
    EXPECT_EQ(precalculated, (std::vector<Actor *>{a, c, leaf}));
    EXPECT_TRUE(a->IsOperational() && b->IsOperational() && c->IsOperational());
    EXPECT_TRUE(leaf->IsOperational());
    EXPECT_EQ(a->Count(39) + b->Count(39) + sibling->Count(39), 0u);
    EXPECT_FALSE(sibling->IsOperational());
    EXPECT_TRUE(a->HasFlag(kActorPrecalculated));

    Send(b, 39, {false});
    EXPECT_FALSE(c->IsOperational());
    EXPECT_TRUE(a->IsOperational());
}

using InitTest = BaseHandlerTest;

TEST_F(InitTest, InitLoadRebindsSlotsRelinksEntriesAndDerivesGroups) {
    RecordingActor *actor = MakeActor();
    actor->name = "GA12";
    actor->classId = 0;
    ScheduledCommand *entry = NewScheduledCommand();
    entry->owner = actor;
    entry->command = 36;
    entry->kind = 2;
    actor->scheduledCommands.push_back(entry);
    actor->actionFlags = 0x2A;
    system->SetFileVersion(57);
    Send(actor, 45);
    EXPECT_EQ(actor->actionFlags, 0x2Au); // a file that has them
    EXPECT_EQ(GetGlobalActor(12), actor);
    EXPECT_NE(entry->state & kEntryLinked, 0);
    EXPECT_FALSE(actor->HasFlag(kActorCollisionEnabled)); // no collision object

    RecordingActor *mesh = MakeActor();
    mesh->classId = 3;
    mesh->AddColObj(std::make_unique<ColObj>(mesh));
    mesh->colObjs[0]->groups = 0xFFFF0005u;
    mesh->colObjs[0]->flags = (1u << 1) | (1u << 2); // a pure event object
    mesh->colObjs[0]->type = 7;
    mesh->AddColObj(std::make_unique<ColObj>(mesh)); // default: solid
    mesh->actionFlags = 0x2A;
    system->SetFileVersion(56);
    Send(mesh, 45);
    EXPECT_EQ(mesh->actionFlags, 0u); // older files carry none
    EXPECT_EQ(mesh->colObjs[0]->groups, 0x5u | (1u << 17) | (1u << 18) | (1u << 21) | (1u << 30));
    EXPECT_EQ(mesh->colObjs[1]->groups, 1u | (1u << 16) | (1u << 30));
    EXPECT_TRUE(mesh->HasFlag(kActorCollisionEnabled));
}

TEST_F(InitTest, CopyOfSlotBoundActorLeavesTheSlot) {
    RecordingActor *tmpl = MakeActor();
    Send(tmpl, 32, {"GA5"});
    RecordingActor *copy = MakeActor();
    Send(copy, 158, {static_cast<Actor *>(tmpl)});
    EXPECT_EQ(copy->name, "OGA5");
    EXPECT_FALSE(copy->HasFlag(kActorGlobalSlotBound));
    EXPECT_EQ(std::tuple(GetGlobalActor(5), copy->Count(46)), std::tuple(tmpl, 1u));
    // A null template makes a new actor.
    RecordingActor *fresh = MakeActor();
    Send(fresh, 158, {static_cast<Actor *>(nullptr)});
    EXPECT_EQ(fresh->Count(44), 1u);
}

TEST_F(InitTest, CopyOwnsItsStateAndOutlivesTheTemplate) {
    RecordingActor *tmpl = MakeActor(nullptr, "T");
    tmpl->simParams = std::make_unique<SimParams>();
    tmpl->simState = std::make_unique<SimState>();
    Send(tmpl, 108);
    RecordingActor *kid = MakeActor(tmpl);
    (void)kid;
    Send(tmpl, 57, {1.0f, ParamValue::Command(36, {})});
    ActorLink link(tmpl);
    link.Assign(tmpl);
    tmpl->InvalidateTransform();

    RecordingActor *copy = MakeActor(nullptr, "C");
    // The class part scheduled an entry on the copy before the base part.
    ScheduledCommand *own = copy->ScheduleCommand(37, ParamBlock(), 512, 5.0f, 0, 0);
    Send(copy, 158, {static_cast<Actor *>(tmpl)});
    // Its own entry and the "BaseProcess" of its invalidation; none of the
    // template's.
    ASSERT_EQ(copy->scheduledCommands.size(), 2u);
    EXPECT_EQ(copy->scheduledCommands[0], own);
    EXPECT_EQ(copy->scheduledCommands[1], copy->baseProcessEntry);
    EXPECT_TRUE(copy->backLinks.empty() && copy->children.empty());
    EXPECT_NE(copy->baseProcessEntry, tmpl->baseProcessEntry);
    EXPECT_EQ(std::tuple(copy->colObjs.size(), copy->colObjs[0]->owner), std::tuple(1u, copy));

    Destroy(tmpl); // the copy keeps nothing of it
    EXPECT_EQ(link.target, nullptr);
    Frame();
    Send(copy, 63, {Vector3{1, 1, 1}});
    Frame();
    Destroy(copy); // its own entry dies with it
    Frame();
}

TEST_F(InitTest, CopyOnTimeInstanceRecordReconnectsThroughItsOwner) {
    RecordingActor *instance = MakeActor(nullptr, "Time Instance");
    instance->classId = 47;
    TimeRecord record;
    record.owner = instance;
    RecordingActor *tmpl = MakeActor();
    tmpl->timeRecord = &record;
    RecordingActor *copy = MakeActor();
    Send(copy, 158, {static_cast<Actor *>(tmpl)});
    ASSERT_EQ(instance->Only(1781).size(), 1u);
    EXPECT_EQ(instance->Only(1781)[0].Read<Actor *>(0), copy);
    EXPECT_EQ(copy->timeRecord, RootTimeRecord());
    tmpl->timeRecord = RootTimeRecord();

    // A "Global" Time Instance owning the root record hears of every copy.
    RecordingActor *global = MakeActor(nullptr, "Global");
    global->classId = 47;
    RootTimeRecord()->owner = global;
    RecordingActor *second = MakeActor();
    Send(second, 158, {static_cast<Actor *>(tmpl)});
    EXPECT_EQ(global->Count(1781), 1u);
    EXPECT_EQ(second->timeRecord, RootTimeRecord());
    RootTimeRecord()->owner = nullptr;
}

using TreeTest = BaseHandlerTest;

TEST_F(TreeTest, BuildTreeLinksOrQueuesOrphans) {
    RecordingActor *parent = MakeActor();
    RecordingActor *child = MakeActor(parent);
    parent->children.clear();
    child->parent = nullptr;
    Send(child, 159);
    Send(child, 159);
    EXPECT_EQ(parent->children, std::vector<Actor *>{child});
    EXPECT_EQ(child->parent, parent);

    RecordingActor *orphan = MakeActor();
    orphan->parentId = 77; // no such actor
    Send(orphan, 159);
    EXPECT_TRUE(orphan->HasFlag(kActorQueuedForDeletion));
    RecordingActor *loose = MakeActor();
    loose->parentId = -1;
    Send(loose, 159);
    EXPECT_FALSE(loose->HasFlag(kActorQueuedForDeletion));
}

// "Delete" renames on its first send, whatever queued the actor before (here
// the tree's own queueing of an orphan), so that look-ups by name no longer
// find the dying actor; a second send leaves the name.
TEST_F(TreeTest, DeleteRenamesOnItsFirstSendWhateverQueuedTheActor) {
    RecordingActor *crate = MakeActor(nullptr, "Crate");
    SetActorTableEntry(static_cast<size_t>(crate->actorId), crate); // noted for look-ups
    crate->parentId = 77; // no such actor: an orphan
    Send(crate, 159);
    ASSERT_TRUE(crate->HasFlag(kActorQueuedForDeletion));
    EXPECT_EQ(FindActorByName("Crate", -1), crate);
    Send(crate, 48);
    Send(crate, 48);
    EXPECT_EQ(std::tuple(crate->name, FindActorByName("Crate", -1)),
              std::tuple("__Crate", nullptr));
}

TEST_F(TreeTest, BuildTreeNeverHangsAnActorBelowItselfOrItsSubtree) {
    RecordingActor *top = MakeActor();
    RecordingActor *middle = MakeActor(top);
    RecordingActor *bottom = MakeActor(middle);
    // Asked to hang below its grandchild, or below itself, an actor stays
    // where it is and goes as an orphan would.
    for (int32_t asked : {bottom->actorId, top->actorId}) {
        top->parentId = asked;
        Send(top, 159);
        EXPECT_TRUE(top->HasFlag(kActorQueuedForDeletion));
        EXPECT_EQ(std::tuple(top->parent, bottom->children.size(), middle->parent),
                  std::tuple(static_cast<Actor *>(system), size_t{0}, static_cast<Actor *>(top)));
    }
    // An actor of another branch still links below it.
    RecordingActor *side = MakeActor();
    system->children.pop_back();
    side->parent = nullptr;
    side->parentId = middle->actorId;
    Send(side, 159);
    EXPECT_EQ(std::tuple(side->parent, middle->children.back()),
              std::tuple(static_cast<Actor *>(middle), static_cast<Actor *>(side)));
}

// The callback block: {child, parent}.
int ChildRemovedCallback(Actor *parent, Actor *child) {
    Actor *block[2] = {child, parent};
    return parent->HandleCommand(102, ParamBlock(block, sizeof(block)));
}

TEST_F(TreeTest, KilledParentGoesWithItsLastChildWhetherDeletedOrMoved) {
    RecordingActor *parent = MakeActor();
    RecordingActor *a = MakeActor(parent);
    RecordingActor *b = MakeActor(parent);
    parent->state |= kActorKilled;
    // a moves away: told after it left the list; b remains.
    parent->children.erase(parent->children.begin());
    ChildRemovedCallback(parent, a);
    EXPECT_EQ(parent->Count(48), 0u);
    // b is deleted: told while still listed; it was the last.
    ChildRemovedCallback(parent, b);
    EXPECT_EQ(parent->Count(48), 1u);

    RecordingActor *lone = MakeActor();
    RecordingActor *only = MakeActor(lone);
    lone->state |= kActorKilled;
    lone->children.clear(); // moved away
    ChildRemovedCallback(lone, only);
    EXPECT_EQ(lone->Count(48), 1u);
    Destroy(only);
    Destroy(a);

    RecordingActor *alive = MakeActor();
    ChildRemovedCallback(alive, MakeActor(alive));
    EXPECT_EQ(alive->Count(48), 0u);
}

TEST_F(TreeTest, DrawGroupCommands) {
    RecordingActor *parent = MakeActor();
    RecordingActor *child = MakeActor(parent);
    RecordingActor *grandchild = MakeActor(child);
    parent->drawGroupId = 6;
    Send(grandchild, 828);
    EXPECT_EQ(grandchild->drawGroupId, 6);
    EXPECT_TRUE(grandchild->HasFlag(kActorDrawGroupInherited));

    parent->drawGroupId = 9;
    Send(child, 104); // moved: the subtree takes the parent's group
    EXPECT_EQ(std::tuple(child->drawGroupId, grandchild->drawGroupId), std::tuple(9, 9));

    child->flags |= kActorInDrawGroup;
    Send(child, 157);
    EXPECT_EQ(child->drawGroupId, -1);
    EXPECT_FALSE(child->HasFlag(kActorInDrawGroup));
    EXPECT_EQ(Query<uint32_t>(child, 827), 1u);
}

TEST_F(TreeTest, SubtreeWalksAndQueries) {
    RecordingActor *root = MakeActor(nullptr, "root");
    RecordingActor *a = MakeActor(root, "a");
    RecordingActor *a1 = MakeActor(a, "a1");
    RecordingActor *b = MakeActor(root, "b");
    a1->classId = 3;
    b->classId = 3;
    a->classId = 19;

    std::vector<Actor *> spawned;
    Send(root, 346, {static_cast<void *>(&spawned)});
    EXPECT_EQ(spawned, (std::vector<Actor *>{root, a, a1, b}));

    Send(root, 246, {uint32_t(0)});
    EXPECT_FALSE(a1->HasFlag(kActorSaved) || root->HasFlag(kActorSaved));

    struct Collect {
        uint32_t wanted, barrier;
        std::vector<Actor *> *out;
    } __attribute__((packed));
    std::vector<Actor *> found;
    Collect collect{3, 0xFFFFFFFFu, &found};
    root->HandleCommand(172, ParamBlock(&collect, sizeof(collect)));
    EXPECT_EQ(found, (std::vector<Actor *>{a1, b}));
    found.clear();
    collect.barrier = 19; // do not enter cameras
    root->HandleCommand(172, ParamBlock(&collect, sizeof(collect)));
    EXPECT_EQ(found, std::vector<Actor *>{b});

    struct {
        uint32_t classId;
        Actor *out;
    } __attribute__((packed)) byClass{3, nullptr};
    // The packed field is read into a local: the checks take it by reference.
    root->HandleCommand(173, ParamBlock(&byClass, sizeof(byClass)));
    Actor *out = byClass.out;
    EXPECT_EQ(out, b);
    byClass.out = nullptr;
    root->HandleCommand(174, ParamBlock(&byClass, sizeof(byClass)));
    out = byClass.out;
    EXPECT_EQ(out, a1);

    struct {
        const char *name;
        Actor *out;
    } byName{"a1", nullptr};
    root->HandleCommand(175, ParamBlock(&byName, sizeof(byName)));
    EXPECT_EQ(byName.out, nullptr);
    root->HandleCommand(176, ParamBlock(&byName, sizeof(byName)));
    EXPECT_EQ(byName.out, a1);
    // Short and empty blocks do nothing.
    root->HandleCommand(176, ParamBlock());
    root->HandleCommand(172, ParamBlock(&collect, 4));
}

TEST_F(TreeTest, ChildWalksSurviveChildrenLeavingMidWalk) {
    RecordingActor *root = MakeActor();
    RecordingActor *a = MakeActor(root);
    RecordingActor *b = MakeActor(root);
    RecordingActor *c = MakeActor(root);
    a->onCommand = [&](uint32_t id, ParamBlock) {
        if (id == 65 && b != nullptr) {
            Destroy(b);
            b = nullptr;
            // c moves under a: it is not visited again from root.
            root->children.erase(std::find(root->children.begin(), root->children.end(), c));
            c->parent = a;
            a->children.push_back(c);
        }
    };
    Send(root, 65);
    EXPECT_EQ(c->Count(65), 1u); // reached once, as a's child
}

// Short child lists are noted on the stack, long ones on the heap: at either
// length every child is reached once, in list order, and one destroyed by an
// earlier sibling's handler is skipped.
TEST_F(TreeTest, ChildWalksOfEveryLengthReachEachChildOnceInOrder) {
    for (size_t count : {1u, 15u, 16u, 17u, 40u}) {
        SCOPED_TRACE(count);
        RecordingActor *root = MakeActor();
        std::vector<RecordingActor *> kids;
        std::vector<Actor *> order;
        for (size_t i = 0; i < count; ++i) {
            kids.push_back(MakeActor(root));
            RecordingActor *kid = kids.back();
            kid->onCommand = [&order, kid](uint32_t id, ParamBlock) {
                if (id == 65) {
                    order.push_back(kid);
                }
            };
        }
        RecordingActor *doomed = count > 1 ? kids.back() : nullptr;
        kids.front()->onCommand = [&, first = kids.front()](uint32_t id, ParamBlock) {
            if (id == 65) {
                order.push_back(first);
                if (doomed != nullptr) {
                    Destroy(doomed);
                    doomed = nullptr;
                }
            }
        };
        Send(root, 65);
        std::vector<Actor *> expected(kids.begin(), kids.end());
        if (count > 1) {
            expected.pop_back();
        }
        EXPECT_EQ(order, expected);
        Destroy(root);
    }
}

using TransformTest = BaseHandlerTest;

bool Near(const Matrix &a, const Matrix &b, float eps = 1e-4f) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (std::fabs(a.m[r][c] - b.m[r][c]) > eps)
                return false;
        }
    }
    return true;
}

TEST_F(TransformTest, SetMatrixUnderRotatedTranslatedParent) {
    RecordingActor *parent = MakeActor();
    RecordingActor *child = MakeActor(parent);
    Quaternion q;
    QuaternionRotationYawPitchRoll(&q, 0.7f, 0.2f, -0.3f);
    Send(parent, 79, {q});
    Send(parent, 63, {Vector3{10, -4, 2}});

    Matrix given;
    MatrixRotationYawPitchRoll(&given, -1.1f, 0.4f, 0.25f);
    std::tie(given.m[3][0], given.m[3][1], given.m[3][2]) = std::make_tuple(3.0f, 7.0f, -5.0f);
    Send(child, 84, {given});
    EXPECT_TRUE(child->HasFlag(kActorLocalMatrixValid) && child->HasFlag(kActorWorldMatrixValid));
    EXPECT_TRUE(Near(child->worldMatrix, given));
    // Recomputed from position and rotation, the world matrix is the same.
    child->flags &= ~(kActorLocalMatrixValid | kActorWorldMatrixValid);
    EXPECT_TRUE(Near(child->GetWorldMatrix(), given));
    EXPECT_EQ(child->scale.x, 1.0f);
}

TEST_F(TransformTest, LocalMatrixGivesScaleRotationAndPosition) {
    RecordingActor *actor = MakeActor();
    Matrix rot, scaling, m;
    MatrixRotationY(&rot, 0.5f);
    MatrixScaling(&scaling, 2, 3, 4);
    MatrixMultiply(&m, scaling, rot);
    std::tie(m.m[3][0], m.m[3][1], m.m[3][2]) = std::make_tuple(1.0f, 2.0f, 3.0f);
    actor->HandleCommand(85, ParamBlock(&m, sizeof(m)));
    for (float s : {actor->scale.x - 2, actor->scale.y - 3, actor->scale.z - 4})
        EXPECT_NEAR(s, 0, 1e-5);
    EXPECT_EQ(actor->position.z, 3.0f);
    EXPECT_NEAR(std::fabs(actor->rotation.y), std::sin(0.25f), 1e-5);
    EXPECT_TRUE(Near(actor->GetWorldMatrix(), m));
    actor->HandleCommand(85, ParamBlock()); // empty block: a zero matrix, no crash
}

using ForwardTest = BaseHandlerTest;

TEST_F(ForwardTest, RecursiveCommandReachesTheSubtreeParentFirst) {
    RecordingActor *root = MakeActor();
    RecordingActor *a = MakeActor(root);
    RecordingActor *a1 = MakeActor(a);
    RecordingActor *b = MakeActor(root);
    std::vector<Actor *> order;
    for (RecordingActor *x : {root, a, a1, b}) {
        x->onCommand = [&order, x](uint32_t id, ParamBlock block) {
            if (id == 20) {
                EXPECT_EQ(block.size(), 0u);
                order.push_back(x);
            }
        };
    }
    RecursiveCommandParams params{20, nullptr};
    root->HandleCommand(97, ParamBlock(&params, sizeof(params)));
    EXPECT_EQ(order, (std::vector<Actor *>{root, a, a1, b}));

    // Short or self-nested blocks do nothing harmful.
    root->HandleCommand(97, ParamBlock(&params, 2));
    RecursiveCommandParams nested{97, nullptr};
    root->HandleCommand(97, ParamBlock(&nested, sizeof(nested)));
    // 229: the subtree below executes "Load Resources", not the actor.
    Send(root, 229);
    EXPECT_EQ(root->Count(226), 0u);
    EXPECT_EQ(a->Count(226) + a1->Count(226) + b->Count(226), 3u);
}

TEST_F(ForwardTest, RandCommandFollowsThePercentage) {
    RecordingActor *actor = MakeActor();
    SeedRand(1234);
    for (int i = 0; i < 1000; ++i) {
        Send(actor, 58, {100.0f, ParamValue::Command(20, {})});
        Send(actor, 58, {0.0f, ParamValue::Command(21, {})});
    }
    EXPECT_EQ(std::tuple(actor->Count(20), actor->Count(21)), std::tuple(1000u, 0u));
}

TEST_F(ForwardTest, ElseBranchesFindTheSecondCommandAfterTheFirst) {
    RecordingActor *actor = MakeActor();
    RecordingActor *a = MakeActor();
    RecordingActor *b = MakeActor();
    auto ifElse = [&](float percent, const char *name, Vector3 position) {
        Send(actor, 59, {percent, static_cast<Actor *>(a), ParamValue::Command(32, {name}),
                         static_cast<Actor *>(b), ParamValue::Command(63, {position})});
    };
    // The first command has a variable-size block: the second lies after it.
    ifElse(0.0f, "a long new name", Vector3{4, 5, 6});
    EXPECT_EQ(std::tuple(a->Count(32), b->position.y), std::tuple(0u, 5.0f));
    ifElse(100.0f, "renamed", Vector3{});
    EXPECT_EQ(a->name, "renamed");

    // 62: a non-answering query counts as 0.
    for (auto [query, x] : {std::pair(20u, 9.0f), std::pair(40u, 0.0f)}) {
        Send(actor, 62, {static_cast<Actor *>(a), query, static_cast<Actor *>(a),
                         ParamValue::Command(32, {"yes"}), static_cast<Actor *>(b),
                         ParamValue::Command(63, {Vector3{x, x, x}})});
        EXPECT_EQ(b->position.x, 9.0f);
    }
    EXPECT_EQ(a->name, "yes");
}

TEST_F(ForwardTest, ConditionsQueryTheTarget) {
    RecordingActor *actor = MakeActor();
    RecordingActor *target = MakeActor();
    // {condition command, query, forwarded id}: 61 is "not".
    const uint32_t cases[][3] = {{60, 40, 20}, {376, 40, 21}, {61, 40, 22}, {61, 24, 23}};
    for (const auto &c : cases)
        Send(actor, c[0], {static_cast<Actor *>(target), c[1], ParamValue::Command(c[2], {})});
    EXPECT_EQ(actor->Ids(), (std::vector<uint32_t>{60, 20, 376, 21, 61, 61, 23}));
}

TEST_F(ForwardTest, NullTargetsAreSkipped) {
    RecordingActor *actor = MakeActor();
    Actor *none = nullptr;
    Send(actor, 59, {100.0f, none, ParamValue::Command(36, {}), none, ParamValue::Command(36, {})});
    Send(actor, 60, {none, uint32_t(40), ParamValue::Command(20, {})});
    Send(actor, 376, {none, uint32_t(40), ParamValue::Command(20, {})});
    Send(actor, 61, {none, uint32_t(40), ParamValue::Command(21, {})});
    Send(
        actor, 62,
        {none, uint32_t(40), none, ParamValue::Command(36, {}), none, ParamValue::Command(36, {})});
    Send(actor, 349, {uint32_t(63), none, uint32_t(64)});
    Send(actor, 141, {none, 1.0f, 0.0f, 0.0f});
    Send(actor, 143, {none, 1.0f, 1.0f, 0.0f, 0.0f});
    Send(actor, 270, {none});
    EXPECT_EQ(actor->Count(20), 0u);
    EXPECT_EQ(actor->Count(21), 1u); // "not" of a result that stays 0
    EXPECT_EQ(actor->Count(63), 0u);
    // Empty blocks of every forwarding command are harmless.
    for (uint32_t id : {53u,  54u,  55u,  56u, 57u,  58u,  59u,  60u,  61u,  62u,  217u, 249u, 250u,
                        273u, 349u, 376u, 93u, 172u, 173u, 174u, 175u, 176u, 219u, 246u, 346u}) {
        actor->HandleCommand(id, ParamBlock());
    }
}

TEST_F(ForwardTest, CopyValueUsesItsOwnBlock) {
    RecordingActor *actor = MakeActor();
    RecordingActor *source = MakeActor();
    Send(source, 63, {Vector3{1, 2, 3}});
    Send(actor, 349, {uint32_t(63), static_cast<Actor *>(source), uint32_t(64)});
    EXPECT_EQ(actor->position.y, 2.0f);
    std::string longName(200, 'n');
    Send(source, 32, {longName});
    Send(actor, 349, {uint32_t(32), static_cast<Actor *>(source), uint32_t(33)});
    EXPECT_EQ(actor->name, longName);
}

TEST_F(ForwardTest, CopyValueMakesNoAddressOfAnAnswer) {
    RecordingActor *actor = MakeActor();
    RecordingActor *child = MakeActor(actor);
    // A word (303 "Get Sim Style") or floats (64 "Get Position") into the
    // actor of 270 "Set Orientation": refused, never an address.
    Send(actor, 302, {0x41414141u});
    Send(actor, 349, {uint32_t(270), static_cast<Actor *>(actor), uint32_t(303)});
    Send(actor, 63, {Vector3{100.5f, 200.25f, 300.125f}});
    Send(actor, 349, {uint32_t(270), static_cast<Actor *>(actor), uint32_t(64)});
    EXPECT_EQ(actor->Count(270), 0u);
    // An answer (to 470 "Get Diffuse Color", which a base actor leaves to
    // its hook) that names a command the table does not register, nested in
    // 56 "CommandChildren": 172 "Collect Descendants" would take the
    // answer's later bytes as the address of its list.
    RecordingActor *source = MakeActor();
    source->onCommand = [](uint32_t id, ParamBlock block) {
        if (id == 470) {
            block.WriteU32(0, 172);
            block.WriteU32(12, 0x41414141u);
        }
    };
    Send(actor, 349, {uint32_t(56), static_cast<Actor *>(source), uint32_t(470)});
    EXPECT_EQ(child->Count(172), 0u);
    // Words into words, and a nested command the table registers, are
    // handed on.
    Send(actor, 302, {7u});
    Send(child, 349, {uint32_t(302), static_cast<Actor *>(actor), uint32_t(303)});
    EXPECT_EQ(Query<uint32_t>(child, 303), 7u);
    source->onCommand = [](uint32_t id, ParamBlock block) {
        if (id == 470) {
            block.WriteU32(0, 36); // "Start"
        }
    };
    Send(actor, 349, {uint32_t(56), static_cast<Actor *>(source), uint32_t(470)});
    EXPECT_EQ(child->Count(36), 1u);
}

// 270 "Set Orientation" takes the other actor's world matrix, unless one
// of its numbers is not finite: then the actor stays where it is.
TEST_F(ForwardTest, SetOrientationFromAnActorPlacedNowhereChangesNothing) {
    RecordingActor *actor = MakeActor();
    RecordingActor *other = MakeActor();
    Send(actor, 63, {Vector3{1, 2, 3}});
    for (const float bad : {NAN, INFINITY, -INFINITY}) {
        Send(other, 63, {Vector3{bad, 5, 6}});
        Send(actor, 270, {static_cast<Actor *>(other)});
        EXPECT_EQ(std::tuple(actor->position.x, actor->position.y), std::tuple(1.0f, 2.0f)) << bad;
        EXPECT_TRUE(MatrixIsFinite(actor->GetWorldMatrix())) << bad;
    }
    Send(other, 63, {Vector3{4, 5, 6}});
    Send(actor, 270, {static_cast<Actor *>(other)});
    EXPECT_EQ(std::tuple(actor->position.x, actor->position.z), std::tuple(4.0f, 6.0f));
}

TEST_F(ForwardTest, TimerCommandSchedulesOnceSavedOnLayerOne) {
    RecordingActor *actor = MakeActor();
    Send(actor, 57, {0.05f, ParamValue::Command(63, {Vector3{7, 0, 0}})});
    ASSERT_EQ(actor->scheduledCommands.size(), 1u);
    ScheduledCommand *entry = actor->scheduledCommands[0];
    EXPECT_EQ(std::tuple(entry->kind, entry->layer), std::tuple(2, 1));
    EXPECT_NE(entry->state & kEntrySaved, 0);
    EXPECT_EQ(entry->command, 63u);
    RunFor(0.1f);
    EXPECT_EQ(actor->position.x, 7.0f);
    // 244 and 273 cancel by id.
    Send(actor, 57, {1.0f, ParamValue::Command(36, {})});
    Send(actor, 57, {1.0f, ParamValue::Command(37, {})});
    Send(actor, 244, {uint32_t(36)});
    Send(actor, 273, {ParamValue::Command(37, {})});
    RunFor(1.2f, 0.1f);
    EXPECT_EQ(actor->Count(36) + actor->Count(37), 0u);
}

TEST_F(ForwardTest, TimedCommandLerpInterpolates) {
    RecordingActor *actor = MakeActor();
    Send(actor, 249,
         {0.0f, 1.0f, ParamValue::Command(63, {Vector3{0, 0, 0}}),
          ParamValue::Command(63, {Vector3{10, 20, 0}})});
    ASSERT_EQ(actor->scheduledCommands.size(), 1u);
    EXPECT_EQ(actor->scheduledCommands[0]->kind, 13);
    EXPECT_EQ(actor->scheduledCommands[0]->state & kEntrySaved, 0);
    RunFor(0.5f, 0.1f);
    EXPECT_GT(actor->position.x, 2.0f);
    EXPECT_LT(actor->position.x, 7.0f);
    EXPECT_FLOAT_EQ(actor->position.y, 2.0f * actor->position.x);
    RunFor(1.0f, 0.1f);
    EXPECT_EQ(actor->position.x, 10.0f);
    // Different ids: nothing.
    Send(actor, 250,
         {0.5f, ParamValue::Command(63, {Vector3{}}), ParamValue::Command(66, {Vector3{}})});
    EXPECT_EQ(actor->position.x, 10.0f);
}

TEST_F(ForwardTest, NormalizedTimeWithoutTotalIsZero) {
    RecordingActor *actor = MakeActor();
    EXPECT_EQ(Query<float>(actor, 255), 0.0f);
    actor->onCommand = [](uint32_t id, ParamBlock block) {
        if (id == 257) {
            block.WriteF32(0, 4.0f);
        } else if (id == 252) {
            block.WriteF32(0, 1.0f);
        }
    };
    EXPECT_EQ(Query<float>(actor, 255), 0.25f);
    Send(actor, 254, {0.5f});
    EXPECT_EQ(actor->Only(251).back().F32(), 2.0f);
    Send(actor, 253, {0.5f});
    EXPECT_EQ(actor->Only(251).back().F32(), 1.5f);
}

TEST_F(ForwardTest, ConnectToTimeInstance) {
    RecordingActor *actor = MakeActor();
    RecordingActor *instance = MakeActor();
    Send(actor, 355, {static_cast<Actor *>(instance)});
    ASSERT_EQ(instance->Only(1781).size(), 1u);
    EXPECT_EQ(instance->Only(1781)[0].Read<Actor *>(0), actor);
    Send(actor, 355, {static_cast<Actor *>(nullptr)});
}

TEST_F(ForwardTest, DrawGroupForwardingChecksTheRegistry) {
    RecordingActor *actor = MakeActor();
    RecordingActor *group = MakeActor();
    DrawGroupRegistry.assign(4, nullptr);
    DrawGroupRegistry[3] = group;
    actor->drawGroupId = 3;
    Send(actor, 55, {ParamValue::Command(20, {})});
    Send(actor, 53, {ParamValue::Command(21, {})});
    Send(actor, 54, {ParamValue::Command(22, {})});
    EXPECT_EQ(group->Ids(), (std::vector<uint32_t>{20, 836, 22, 836}));
    EXPECT_EQ(group->Only(836)[0].Read<uint32_t>(0), 21u);

    // No such entry, or an empty one: nothing, no read past the registry.
    group->calls.clear();
    for (int32_t id : {-1, 2, 4, 5000}) {
        actor->drawGroupId = id;
        Send(actor, 54, {ParamValue::Command(20, {})});
    }
    EXPECT_TRUE(group->calls.empty());
    DrawGroupRegistry.clear();
}

} // namespace
