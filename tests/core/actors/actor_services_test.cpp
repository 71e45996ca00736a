#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_tree_dump.h"
#include "core/actors/class_factory.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_table.h"
#include "core/actors/create_source.h"
#include "core/actors/null_actor.h"
#include "core/actors/param_convert.h"
#include "world_fixture.h"

namespace {

using ActorServicesTest = ActorWorldTest;

std::vector<std::string> ChildNames(const Actor *actor) {
    std::vector<std::string> names;
    for (const Actor *child : actor->children)
        names.push_back(child->name);
    return names;
}

bool HasChild(const Actor *parent, const Actor *child) {
    return std::find(parent->children.begin(), parent->children.end(), child) !=
           parent->children.end();
}

// --- the class factory --------------------------------------------------------------

TEST_F(ActorServicesTest, OccupantIsReplacedAndUnlinkedWithItsSubtree) {
    WorldRecorder *old = Make("old");
    WorldRecorder *child = Make("child", old);
    ASSERT_TRUE(old && child);
    const int32_t id = old->actorId;
    const int32_t childId = child->actorId;

    Actor *replacement = CreateActor(kRecorderClass, "new", nullptr, global, id, false);
    ASSERT_NE(replacement, nullptr);
    EXPECT_EQ(GetActorById(id), replacement);
    EXPECT_EQ(GetActorById(childId), nullptr);
    EXPECT_EQ(ChildNames(scenery), std::vector<std::string>{});
    EXPECT_EQ(std::tuple(replacement->parent, replacement->parentId), std::tuple(global, 1));
    // Walking the tree meets no destroyed actor.
    EXPECT_NE(DumpActorTree().find("name=\"new\" parent=1"), std::string::npos);
}

TEST_F(ActorServicesTest, RefusedClassesAndIdsChangeNothing) {
    WorldRecorder *occupant = Make("occupant");
    ASSERT_NE(occupant, nullptr);
    const int32_t id = occupant->actorId;
    const size_t size = ActorTable.size();

    for (int32_t classId : {-1, 1, 39, 54, 100}) {
        EXPECT_EQ(CreateActor(classId, "x", nullptr, scenery, id, false), nullptr) << classId;
        EXPECT_EQ(CreateActor(classId, "x", nullptr, scenery, -1, false), nullptr) << classId;
    }
    EXPECT_EQ(CreateActor(kRecorderClass, "x", nullptr, scenery, 500001, false), nullptr);
    EXPECT_EQ(CreateActor(kRecorderClass, "x", nullptr, scenery, -2, false), nullptr);
    EXPECT_EQ(std::tuple(ActorTable.size(), GetActorById(id)), std::tuple(size, occupant));
    EXPECT_EQ(ChildNames(scenery), std::vector<std::string>{"occupant"});
    // A null actor takes no children.
    EXPECT_EQ(CreateActor(kRecorderClass, "x", nullptr, GetNullActor(true), -1, false), nullptr);
    EXPECT_TRUE(GetNullActor(true)->children.empty());
}

TEST_F(ActorServicesTest, HighIdsGrowTheTable) {
    Actor *actor = CreateActor(kRecorderClass, "far", nullptr, scenery, 9000, false);
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(std::tuple(ActorTable.size(), GetActorById(9000)), std::tuple(10023u, actor));
    // The last id allowed.
    ASSERT_NE(CreateActor(kRecorderClass, "last", nullptr, scenery, 500000, false), nullptr);
    EXPECT_EQ(ActorTable.size(), 501023u);
}

TEST_F(ActorServicesTest, LoneFreeSlotIsSkipped) {
    Actor *a = Make("a");
    Actor *b = Make("b");
    Actor *c = Make("c");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(b->actorId, 8001);
    ASSERT_EQ(DeleteActor(b), 1);
    EXPECT_EQ(FindFreeActorIds(1), 8003u);
    // Two free slots in a row make a run for one id.
    ASSERT_EQ(DeleteActor(c), 1);
    EXPECT_EQ(FindFreeActorIds(1), 8001u);
}

// The id search as the table defines it: the slots from 8000 up, one by one,
// to the first run of free slots longer than count (or the run at the end),
// and the size the table must grow to for it. Nothing changes.
std::pair<uint32_t, size_t> ScanForFreeIds(uint32_t count) {
    const uint64_t size = ActorTable.size();
    uint64_t candidate = kFirstFreeActorId;
    while (candidate < size) {
        uint64_t taken = candidate;
        while (taken < size && ActorTable[taken] == nullptr) {
            ++taken;
        }
        if (taken >= size || taken - candidate > count) {
            break;
        }
        candidate = taken + 1;
    }
    if (candidate + (count > 0 ? count - 1 : 0) > kMaxActorId) {
        return {0, size};
    }
    if (candidate + count <= size) {
        return {static_cast<uint32_t>(candidate), size};
    }
    const uint64_t grown = std::min<uint64_t>(candidate + count + 100, uint64_t{kMaxActorId} + 1);
    return grown <= size ? std::pair<uint32_t, size_t>{0, size}
                         : std::pair<uint32_t, size_t>{static_cast<uint32_t>(candidate), grown};
}

TEST_F(ActorServicesTest, AutomaticIdsAreThoseOfTheTableScan) {
    std::mt19937 random(78);
    const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    std::vector<int32_t> live;
    const auto liveActors = [&] {
        live.clear();
        for (size_t id = kFirstFreeActorId; id < ActorTable.size(); ++id) {
            if (ActorTable[id] != nullptr) {
                live.push_back(static_cast<int32_t>(id));
            }
        }
    };
    const auto someParent = [&]() -> Actor * {
        return live.empty() || pick(3) == 0 ? scenery : GetActorById(live[pick(live.size())]);
    };
    for (int step = 0; step < 3000; ++step) {
        liveActors();
        const size_t op = pick(100);
        SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op));
        if (op < 40) {
            // Made with an automatic id; ends the run of free slots it took.
            const auto [want, size] = ScanForFreeIds(1);
            Actor *made = CreateActor(0, "auto", nullptr, someParent(), -1, false);
            ASSERT_NE(made, nullptr);
            ASSERT_EQ(std::tuple(made->actorId, ActorTable.size()),
                      std::tuple(static_cast<int32_t>(want), size));
        } else if (op < 65) {
            // Deleted with its subtree: single free slots and runs appear.
            if (!live.empty()) {
                ASSERT_EQ(DeleteActor(GetActorById(live[pick(live.size())])), 1);
            }
        } else if (op < 77) {
            // Several ids at once, part of them then filled, as a file is read.
            const auto count = static_cast<uint32_t>(1 + pick(12));
            const auto [want, size] = ScanForFreeIds(count);
            const uint32_t first = FindFreeActorIds(count);
            ASSERT_EQ(std::tuple(first, ActorTable.size()), std::tuple(want, size)) << count;
            for (uint32_t i = 0; i < count; ++i) {
                if (pick(3) != 0) {
                    ASSERT_NE(CreateActor(0, "read", nullptr, scenery,
                                          static_cast<int32_t>(first + i), false),
                              nullptr);
                }
            }
        } else if (op < 85) {
            // Moved to a free id by hand: its old slot emptied directly.
            if (!live.empty()) {
                Actor *actor = GetActorById(live[pick(live.size())]);
                const size_t to = kFirstFreeActorId + pick(ActorTable.size() - kFirstFreeActorId);
                if (ActorTable[to] == nullptr) {
                    ActorTable[static_cast<size_t>(actor->actorId)] = nullptr;
                    SetActorTableEntry(to, actor);
                    actor->actorId = static_cast<int32_t>(to);
                }
            }
        } else if (op < 92) {
            // Made at a given id, now and then past the table's end.
            const size_t id = kFirstFreeActorId + pick(ActorTable.size() + 300 - kFirstFreeActorId);
            if (id >= ActorTable.size() || ActorTable[id] == nullptr) {
                ASSERT_NE(
                    CreateActor(0, "given", nullptr, someParent(), static_cast<int32_t>(id), false),
                    nullptr);
            }
        } else {
            const auto count = static_cast<uint32_t>(pick(3));
            const auto [want, size] = ScanForFreeIds(count);
            ASSERT_EQ(std::tuple(FindFreeActorIds(count), ActorTable.size()),
                      std::tuple(want, size))
                << count;
        }
    }
}

TEST_F(ActorServicesTest, SystemSlotsAreNeverReplaced) {
    EXPECT_EQ(CreateActor(kRecorderClass, "x", nullptr, global, 2, false), nullptr);
    EXPECT_EQ(GetActorById(2), scenery);
    EXPECT_EQ(CreateActor(kRecorderClass, "x", nullptr, global, 0, false), nullptr);
    EXPECT_EQ(GetActorById(0), system);
    // A free system slot can be filled.
    Actor *five = CreateActor(kRecorderClass, "five", nullptr, global, 5, false);
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(CreateActor(kRecorderClass, "again", nullptr, global, 5, false), nullptr);
    EXPECT_EQ(GetActorById(5), five);
}

TEST_F(ActorServicesTest, ParentOrTemplateInsideTheReplacedSubtreeIsRefused) {
    WorldRecorder *old = Make("old");
    WorldRecorder *child = Make("child", old);
    const int32_t id = old->actorId;
    EXPECT_EQ(CreateActor(kRecorderClass, "x", nullptr, old, id, false), nullptr);
    EXPECT_EQ(CreateActor(kRecorderClass, "x", nullptr, child, id, false), nullptr);
    EXPECT_EQ(CreateActor(kRecorderClass, "x", old, scenery, id, true), nullptr);
    EXPECT_EQ(CreateActor(kRecorderClass, "x", child, scenery, id, true), nullptr);
    EXPECT_EQ(std::tuple(GetActorById(id), child->parent), std::tuple(old, old));
}

TEST_F(ActorServicesTest, RefusedCreateLeavesNoTrace) {
    const size_t children = scenery->children.size();
    EXPECT_EQ(CreateActor(kRecorderClass, "refuse", nullptr, scenery, -1, true), nullptr);
    EXPECT_EQ(scenery->children.size(), children);
    EXPECT_EQ(GetActorById(8000), nullptr);
    // "Create" went out with an empty block (no template).
    std::vector<Delivery> log = TakeLog();
    ASSERT_EQ(Ids(log), std::vector<uint32_t>{cmd::base::Create});
    EXPECT_TRUE(log[0].block.empty());

    // With a template the block holds the template pointer.
    WorldRecorder *templateActor = Make("template");
    TakeLog();
    Actor *copy = CreateActor(kRecorderClass, "copy", templateActor, scenery, -1, true);
    ASSERT_NE(copy, nullptr);
    log = TakeLog();
    ASSERT_EQ(Ids(log), std::vector<uint32_t>{cmd::base::Create});
    EXPECT_EQ(log[0].PointerAt(0), templateActor);
}

// Copies its template as every class does, then refuses "Create", as a
// Sound copy whose library item is missing does.
class CopyThenRefuse : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        const int answer = Actor::HandleCommand(commandId, block);
        return commandId == cmd::base::Create ? 0 : answer;
    }
};

TEST_F(ActorServicesTest, RefusedCopyUndoesOnlyWhatTheCopyDid) {
    constexpr uint32_t kRefusing = 2;
    SetActorClassRowForTests(
        kRefusing, {kRefusing, [] { return static_cast<Actor *>(new CopyThenRefuse); }, nullptr});
    WorldRecorder *holder = Make("Holder");
    WorldRecorder *s = Make("S", holder);
    const int32_t sId = s->actorId;
    const uint32_t copyId = FindFreeActorIds(1);
    // The copy had the template's id and parent when it was refused.
    EXPECT_EQ(CreateActor(kRefusing, "Copy", s, scenery, -1, true), nullptr);
    EXPECT_EQ(std::tuple(holder->children == std::vector<Actor *>{s}, s->parent, GetActorById(sId)),
              std::tuple(true, holder, s));
    EXPECT_EQ(ChildNames(scenery), std::vector<std::string>{"Holder"});
    EXPECT_EQ(GetActorById(copyId), nullptr);
    // The template goes with its parent.
    ASSERT_EQ(DeleteActor(holder), 1);
    EXPECT_EQ(GetActorById(sId), nullptr);
}

TEST_F(ActorServicesTest, BaseClassCopiesTheTemplateButNotItsPlace) {
    WorldRecorder *t = Make("t");
    Make("child", t);
    t->position = {1.0f, 2.0f, 3.0f};
    Actor *copy = CreateActor(0, "copy", t, global, -1, true);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->classId, copy->name, copy->position.y),
              std::tuple(0u, "copy", 2.0f));
    EXPECT_TRUE(copy->children.empty());
    EXPECT_EQ(copy->parent, global);
    Actor *loose = CreateActor(0, "loose", t, nullptr, -1, true);
    ASSERT_NE(loose, nullptr);
    EXPECT_EQ(std::tuple(loose->parent, loose->parentId), std::tuple(nullptr, -1));
    EXPECT_EQ(ChildNames(scenery), std::vector<std::string>{"t"});
}

TEST_F(ActorServicesTest, CreateSourceIsATemplateOfTheClassButNotTheActorItself) {
    WorldRecorder *self = Make("self");
    WorldRecorder *other = Make("other");
    NullActor *nullActor = GetNullActor(false);
    auto source = [&](Actor *templateActor) {
        return CreateSource(*self, ParamBlock(&templateActor, sizeof(templateActor)));
    };
    EXPECT_EQ(source(other), other);
    EXPECT_EQ(source(self), nullptr);
    EXPECT_EQ(source(nullActor), nullptr); // another class
    EXPECT_EQ(source(nullptr), nullptr);
    // A block too short for a pointer names no template.
    uint16_t half = 0;
    EXPECT_EQ(CreateSource(*self, ParamBlock(&half, sizeof(half))), nullptr);
}

TEST_F(ActorServicesTest, IdAllocatorStopsAtTheLimit) {
    const size_t size = ActorTable.size();
    EXPECT_EQ(FindFreeActorIds(600000), 0u);
    EXPECT_EQ(FindFreeActorIds(0xFFFFFFFFu), 0u);
    EXPECT_EQ(ActorTable.size(), size);

    // Every id from 8000 to 500000 taken: no free id, nothing grows.
    ActorTable.resize(500001, nullptr);
    std::fill(ActorTable.begin() + 8000, ActorTable.end(), system);
    EXPECT_EQ(CreateActor(kRecorderClass, "x", nullptr, scenery, -1, false), nullptr);
    EXPECT_STREQ(system->errorText, "Error - No Free Actor ID.");
    ASSERT_EQ(ActorTable.size(), 500001u);
    // One free id at the very end is handed out.
    ActorTable[500000] = nullptr;
    EXPECT_EQ(FindFreeActorIds(1), 500000u);
    EXPECT_EQ(FindFreeActorIds(2), 0u);
    std::fill(ActorTable.begin() + 8000, ActorTable.end(), nullptr);
}

TEST_F(ActorServicesTest, FindActorsByName) {
    Actor *a = Make("twin");
    Actor *b = Make("twin", global);
    Make("Twin");
    EXPECT_EQ(FindActorsByName("twin", kRecorderClass), (std::vector<Actor *>{a, b}));
    EXPECT_TRUE(FindActorsByName("twin", 6).empty() && FindActorsByName("Actor System", 1).empty());
    EXPECT_EQ(FindActorsByName("Global", 6), std::vector<Actor *>{global});
}

// --- deleting ---------------------------------------------------------------------

TEST_F(ActorServicesTest, DeleteTellsParentAndAncestors) {
    WorldRecorder *grand = Make("grand");
    WorldRecorder *parent = Make("parent", grand);
    WorldRecorder *victim = Make("victim", parent);
    WorldRecorder *below = Make("below", victim);
    const int32_t victimId = victim->actorId;
    const int32_t belowId = below->actorId;
    TakeLog();

    EXPECT_EQ(DeleteActor(victim), 1);
    std::vector<Delivery> log = TakeLog();
    EXPECT_EQ(Trace(log), (std::vector<std::string>{"parent 102", "grand 103"}));
    for (const Delivery &d : log) {
        EXPECT_EQ(d.block.size(), 2 * sizeof(Actor *));
        EXPECT_EQ(d.PointerAt(sizeof(Actor *)), parent);
    }
    EXPECT_EQ(GetActorById(victimId), nullptr);
    EXPECT_EQ(GetActorById(belowId), nullptr);
    EXPECT_TRUE(parent->children.empty());
}

// A parent whose callback destroys the whole branch: nothing is touched
// afterwards, and the destroyed ancestors hear nothing more.
TEST_F(ActorServicesTest, CallbackDestroyingTheBranch) {
    WorldRecorder *grand = Make("grand");
    WorldRecorder *parent = Make("parent", grand);
    WorldRecorder *victim = Make("victim", parent);
    WorldRecorder *mover = Make("mover", parent);
    const int32_t grandId = grand->actorId;
    parent->onCommand = [grand](uint32_t id, ParamBlock) {
        if (id == cmd::base::CallbackChildRemoved)
            DeleteActor(grand);
    };
    TakeLog();
    EXPECT_EQ(DeleteActor(victim), 1);
    EXPECT_EQ(GetActorById(static_cast<uint32_t>(grandId)), nullptr);
    EXPECT_TRUE(scenery->children.empty());
    std::vector<Delivery> log = TakeLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().commandId, cmd::base::CallbackChildRemoved);

    // The same while re-parenting: the moved actor is gone before 104.
    WorldRecorder *holder = Make("holder");
    mover = Make("mover", holder);
    WorldRecorder *target = Make("target");
    holder->onCommand = [&mover](uint32_t id, ParamBlock) {
        if (id == cmd::base::CallbackChildRemoved)
            DeleteActor(mover);
    };
    TakeLog();
    EXPECT_EQ(ReparentActor(mover, target), 1);
    EXPECT_TRUE(target->children.empty());
    for (const Delivery &d : TakeLog())
        EXPECT_NE(d.commandId, cmd::base::CallbackMovedInTree);
}

TEST_F(ActorServicesTest, SystemActorsAreRefusedBeforeAnyCallback) {
    WorldRecorder *parent = Make("parent");
    Actor *five = CreateActor(kRecorderClass, "five", nullptr, parent, 5, false);
    ASSERT_NE(five, nullptr);
    TakeLog();
    EXPECT_EQ(DeleteActor(five), 0);
    EXPECT_STREQ(system->errorText, "Error - Cant Delete System Actors");
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(GetActorById(5), five);
    EXPECT_TRUE(HasChild(parent, five));
    EXPECT_EQ(DeleteActor(global), 0);
    EXPECT_EQ(DeleteActor(system), 0);

    // A killed parent deletes itself when its last child goes: a refused
    // deletion must not set that off.
    parent->state |= kActorKilled;
    EXPECT_EQ(DeleteActor(five), 0);
    EXPECT_FALSE(parent->HasFlag(kActorQueuedForDeletion));
    WorldRecorder *killed = Make("killed");
    killed->state |= kActorKilled;
    EXPECT_EQ(DeleteActor(Make("last", killed)), 1);
    EXPECT_TRUE(killed->HasFlag(kActorQueuedForDeletion));
}

TEST_F(ActorServicesTest, ActorsOutsideTheirSlotAreNeverDestroyed) {
    EXPECT_EQ(DeleteActor(nullptr), 0);
    EXPECT_EQ(DeleteActor(GetNullActor(true)), 0);
    EXPECT_EQ(DeleteActor(GetNullActor(false)), 0);
    EXPECT_EQ(GetNullActor(true)->name, "NULLACTOR(safe)");

    WorldRecorder stray;
    stray.actorId = 8000;
    EXPECT_EQ(DeleteActor(&stray), 0);
    Actor *holder = Make("holder");
    ASSERT_EQ(holder->actorId, 8000);
    EXPECT_EQ(DeleteActor(&stray), 0);
    EXPECT_EQ(GetActorById(8000), holder);
}

TEST_F(ActorServicesTest, DeleteAllChildrenGoesLastFirstAndLetsGoWhatItCannotDelete) {
    WorldRecorder *parent = Make("parent");
    WorldRecorder *first = Make("first", parent);
    WorldRecorder stray; // outside the table: DeleteActor refuses it
    stray.actorId = 123456;
    stray.parent = parent;
    parent->children.push_back(&stray);
    WorldRecorder *last = Make("last", parent);
    const int32_t firstId = first->actorId;
    const int32_t lastId = last->actorId;
    TakeLog();

    DeleteAllChildren(parent);
    std::vector<const Actor *> removed;
    for (const Delivery &d : TakeLog()) {
        if (d.actorName == "parent" && d.commandId == cmd::base::CallbackChildRemoved) {
            removed.push_back(d.PointerAt(0));
        }
    }
    EXPECT_EQ(removed, (std::vector<const Actor *>{last, first}));
    EXPECT_TRUE(parent->children.empty());
    EXPECT_EQ(GetActorById(firstId), nullptr);
    EXPECT_EQ(GetActorById(lastId), nullptr);
    EXPECT_EQ(stray.parent, nullptr);

    DeleteAllChildren(nullptr);
}

// --- re-parenting -----------------------------------------------------------------

// How a child left its parent's list: the first entry that is the actor or
// holds its id, found from the front.
void UnlinkAsTheListDid(std::vector<Actor *> &list, const Actor *actor) {
    const auto at = std::find_if(list.begin(), list.end(), [actor](const Actor *child) {
        return child == actor ||
               (actor->actorId >= 0 && child != nullptr && child->actorId == actor->actorId);
    });
    if (at != list.end()) {
        list.erase(at);
    }
}

TEST_F(ActorServicesTest, ChildListsKeepTheirOrderThroughRandomRemovals) {
    std::mt19937 random(31);
    const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    Actor *p = CreateActor(0, "P", nullptr, scenery, -1, false);
    Actor *q = CreateActor(0, "Q", nullptr, scenery, -1, false);
    ASSERT_TRUE(p && q);
    std::map<const Actor *, std::vector<Actor *>> lists{{p, {}}, {q, {}}};
    const auto make = [&](Actor *parent) {
        Actor *child = CreateActor(0, "c", nullptr, parent, -1, false);
        lists[parent].push_back(child);
    };
    for (int i = 0; i < 120; ++i) {
        make(p);
    }
    for (int i = 0; i < 8; ++i) {
        make(q);
    }
    const auto entries = [&](const Actor *actor) {
        return std::count(lists[p].begin(), lists[p].end(), actor) +
               std::count(lists[q].begin(), lists[q].end(), actor);
    };
    // One actor listed twice, and one outside the table that holds the id of
    // another.
    Actor *twice = lists[p][7];
    p->children.push_back(twice);
    lists[p].push_back(twice);
    auto stranger = std::make_unique<Actor>();
    stranger->actorId = lists[p][40]->actorId;

    for (int step = 0; step < 1500; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        Actor *from = pick(3) != 0 ? p : q;
        Actor *other = from == p ? q : p;
        std::vector<Actor *> &list = lists[from];
        const size_t op = pick(100);
        // Often one of the first or last few: the ends move over holes.
        Actor *x = nullptr;
        if (!list.empty()) {
            const size_t few = std::min<size_t>(list.size(), 3);
            const size_t end = pick(3);
            x = list[end == 0   ? pick(few)
                     : end == 1 ? list.size() - 1 - pick(few)
                                : pick(list.size())];
        }
        if (x == nullptr || op >= 88) {
            if (op >= 96 && entries(stranger.get()) == 0) {
                from->children.push_back(stranger.get());
                list.push_back(stranger.get());
            } else if (op >= 92 && entries(twice) < 2) {
                twice->parent->children.push_back(twice);
                lists[twice->parent].push_back(twice);
            } else {
                make(from);
            }
        } else if (op < 30) {
            // Deleted, when nothing else lists it.
            if (x->parent == from && entries(x) == 1 && x != twice &&
                x->actorId != stranger->actorId) {
                UnlinkAsTheListDid(list, x);
                ASSERT_EQ(DeleteActor(x), 1);
            }
        } else if (op < 62) {
            // Moved to the other parent, or to the end of its own.
            if (x->parent != nullptr) {
                Actor *to = pick(3) == 0 ? x->parent : other;
                UnlinkAsTheListDid(lists[x->parent], x);
                lists[to].push_back(x);
                ASSERT_EQ(ReparentActor(x, to), 1);
            }
        } else if (op < 82) {
            // Taken out by hand and listed again at the end.
            list.erase(std::find(list.begin(), list.end(), x));
            list.push_back(x);
            from->children.erase(std::find(from->children.begin(), from->children.end(), x));
            from->children.push_back(x);
        } else if (op < 84) {
            // Every child of the smaller list, when each is its own.
            std::vector<Actor *> &small = lists[q];
            if (std::all_of(small.begin(), small.end(), [&](Actor *c) {
                    return c->parent == q && entries(c) == 1 && c != twice && c != stranger.get() &&
                           c->actorId != stranger->actorId;
                })) {
                DeleteAllChildren(q);
                small.clear();
            }
        } else {
            from->children.pop_back();
            if (list.back()->parent == from && entries(list.back()) == 1) {
                // Its parent keeps the actor: listed again.
                from->children.push_back(list.back());
            } else {
                list.pop_back();
            }
        }
        for (Actor *owner : {p, q}) {
            const std::vector<Actor *> &want = lists[owner];
            ASSERT_EQ(owner->children.size(), want.size());
            if (!want.empty()) {
                ASSERT_EQ(std::tuple(owner->children.front(), owner->children.back()),
                          std::tuple(want.front(), want.back()));
            }
            // Reading the whole list now and then lets holes gather between.
            if (step % 13 == 0) {
                ASSERT_EQ(owner->children, want);
            }
        }
    }
    // Each actor listed once, by its parent, for the world to take down.
    for (Actor *owner : {p, q}) {
        owner->children.RemoveWhere(
            [&](const Actor *child) { return child == stranger.get() || child->parent != owner; });
        std::vector<Actor *> seen;
        for (size_t i = 0; i < owner->children.size();) {
            Actor *child = owner->children[i];
            if (std::find(seen.begin(), seen.end(), child) != seen.end()) {
                owner->children.erase(owner->children.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                seen.push_back(child);
                ++i;
            }
        }
    }
}

TEST_F(ActorServicesTest, NothingJoinsAnActorWaitingForDestruction) {
    // A deleted during a delivery, with a short and with a long list.
    for (const int count : {10, 40}) {
        SCOPED_TRACE(count);
        Actor *a = CreateActor(0, "A", nullptr, scenery, -1, false);
        for (int i = 0; i < count; ++i) {
            CreateActor(0, "c", nullptr, a, -1, false);
        }
        WorldRecorder *other = Make("other");
        {
            ActorDeliveryScope delivery;
            ASSERT_EQ(DeleteActor(a), 1);
            // T2 would take the id of one of A's waiting children.
            Actor *t1 = CreateActor(0, "T1", nullptr, a, -1, false);
            Actor *t2 = CreateActor(0, "T2", nullptr, a, -1, false);
            EXPECT_EQ(std::tuple(t1, t2), std::tuple(nullptr, nullptr));
            DeleteActor(t2);
            Actor *waiting = a->children.front();
            EXPECT_EQ(CopyActorTree(other, waiting), nullptr);
            EXPECT_EQ(ReparentActor(other, waiting), 0);
            EXPECT_EQ(ReparentActor(waiting, scenery), 0);
            EXPECT_EQ(ReparentActor(a, scenery), 0);
        }
        EXPECT_EQ(ChildNames(scenery), std::vector<std::string>{"other"});
        ASSERT_EQ(DeleteActor(other), 1);
        EXPECT_EQ(NextActorId(17), ActorTable.size());
    }
    // A removal by id takes the first entry holding the id at every length
    // of the list, also one whose slot was emptied while it stayed listed.
    for (size_t count = 1; count <= 70; ++count) {
        for (const size_t at : {size_t{0}, count / 2, count - 1}) {
            SCOPED_TRACE(std::to_string(count) + " " + std::to_string(at));
            Actor *p = CreateActor(0, "P", nullptr, scenery, -1, false);
            for (size_t i = 0; i < count; ++i) {
                CreateActor(0, "c", nullptr, p, -1, false);
            }
            Actor *emptied = p->children[at];
            SetActorTableEntry(static_cast<size_t>(emptied->actorId), nullptr);
            Actor *t = CreateActor(0, "T", nullptr, p, emptied->actorId, false);
            ASSERT_NE(t, nullptr);
            std::vector<Actor *> want = p->children;
            UnlinkAsTheListDid(want, t);
            EXPECT_TRUE(p->children.RemoveFirst(t));
            EXPECT_EQ(p->children, want);
            p->children.RemoveWhere([&](const Actor *c) { return c == t || c == emptied; });
            t->parent = nullptr;
            delete emptied;
            ASSERT_EQ(DeleteActor(t) + DeleteActor(p), 2);
        }
    }
}

TEST_F(ActorServicesTest, ReparentSendsEveryCallback) {
    WorldRecorder *oldGrand = Make("oldGrand");
    WorldRecorder *oldParent = Make("oldParent", oldGrand);
    WorldRecorder *newGrand = Make("newGrand", global);
    WorldRecorder *newParent = Make("newParent", newGrand);
    WorldRecorder *actor = Make("actor", oldParent);
    Make("c1", actor);
    Make("c2", actor);
    TakeLog();

    EXPECT_EQ(ReparentActor(actor, newParent), 1);
    std::vector<Delivery> log = TakeLog();
    ASSERT_EQ(Trace(log), (std::vector<std::string>{"oldParent 102", "oldGrand 103", "newParent 100",
                                                    "newGrand 101", "actor 104", "c1 97", "c2 97"}));
    EXPECT_EQ(log[0].PointerAt(0), actor);
    EXPECT_EQ(log[0].PointerAt(sizeof(Actor *)), oldParent);
    EXPECT_EQ(log[1].PointerAt(sizeof(Actor *)), oldParent);
    EXPECT_EQ(log[2].PointerAt(sizeof(Actor *)), newParent);
    EXPECT_EQ(log[3].PointerAt(sizeof(Actor *)), newParent);
    for (size_t i : {5u, 6u}) {
        EXPECT_EQ(log[i].innerId, cmd::base::CallbackRelParentMovedInTree);
        Actor *moved = nullptr;
        ASSERT_EQ(log[i].innerBlock.size(), sizeof(moved));
        std::memcpy(&moved, log[i].innerBlock.data(), sizeof(moved));
        EXPECT_EQ(moved, actor);
    }
    EXPECT_EQ(actor->parent, newParent);
    EXPECT_EQ(actor->parentId, newParent->actorId);
    EXPECT_TRUE(oldParent->children.empty());
    EXPECT_EQ(newParent->children, std::vector<Actor *>{actor});
    EXPECT_TRUE(actor->HasFlag(kActorMoved));
    EXPECT_FALSE(actor->HasFlag(kActorWorldMatrixValid));
}

TEST_F(ActorServicesTest, ReparentRefusesRootsCyclesAndNullActors) {
    WorldRecorder *actor = Make("actor");
    WorldRecorder *child = Make("child", actor);
    TakeLog();

    EXPECT_EQ(ReparentActor(actor, system), 0);
    EXPECT_STREQ(system->errorText, "Error - Cant Paste Objects In Root");
    EXPECT_EQ(ReparentActor(actor, actor), 0);
    EXPECT_STREQ(system->errorText, "Error - Cant Paste Objects Into Themselves");
    system->errorText[0] = '\0';
    EXPECT_EQ(ReparentActor(actor, child), 0);
    EXPECT_STREQ(system->errorText, "Error - Cant Paste Objects Into Themselves");
    EXPECT_EQ(ReparentActor(nullptr, global), 0);
    EXPECT_EQ(ReparentActor(actor, nullptr), 0);
    EXPECT_EQ(ReparentActor(GetNullActor(true), global), 0);
    EXPECT_TRUE(global->children.size() == 2 && GetNullActor(true)->parent == nullptr);
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(std::tuple(actor->parent, child->parent), std::tuple(scenery, actor));
}

TEST_F(ActorServicesTest, ReparentOfAParentlessActorSkipsTheOldParent) {
    WorldRecorder *actor = Make("actor");
    WorldRecorder *target = Make("target");
    // As loaded, before its tree is built.
    scenery->children.erase(std::find(scenery->children.begin(), scenery->children.end(), actor));
    actor->parent = nullptr;
    TakeLog();
    EXPECT_EQ(ReparentActor(actor, target), 1);
    std::vector<Delivery> log = TakeLog();
    EXPECT_EQ(Ids(log), (std::vector<uint32_t>{100, 104}));
    EXPECT_EQ(target->children, std::vector<Actor *>{actor});
}

// --- copying ----------------------------------------------------------------------

TEST_F(ActorServicesTest, CopyIsDepthFirstAndTheTopCopyIsPrepared) {
    WorldRecorder *t = Make("t");
    WorldRecorder *t1 = Make("t1", t);
    Make("t11", t1);
    Make("t2", t);
    WorldRecorder *dest = Make("dest", global);
    dest->drawGroupId = 7;
    TakeLog();

    Actor *copy = CopyActorTree(t, dest);
    ASSERT_NE(copy, nullptr);
    std::vector<Delivery> log = TakeLog();
    EXPECT_EQ(Names(log, cmd::base::Create), (std::vector<std::string>{"t", "t1", "t11", "t2"}));
    // Only the top copy hears more, after every creation.
    std::vector<Delivery> rest(log.begin() + 4, log.end());
    ASSERT_EQ(Ids(rest), (std::vector<uint32_t>{39, 152, 65, 97}));
    for (const Delivery &d : rest)
        EXPECT_EQ(d.actorId, copy->actorId);
    EXPECT_EQ(rest[0].Read<uint32_t>(0, rest[0].block), 1u);
    EXPECT_EQ(rest[3].innerId, cmd::base::SetDrawGroup);
    EXPECT_EQ(rest[3].InnerI32(), 7);

    EXPECT_EQ(copy->parent, dest);
    EXPECT_NE(copy, t);
    EXPECT_EQ(ChildNames(copy), (std::vector<std::string>{"t1", "t2"}));
    EXPECT_EQ(ChildNames(copy->children[0]), std::vector<std::string>{"t11"});
    EXPECT_EQ(copy->children[0]->parent, copy);
    EXPECT_EQ(ChildNames(t), (std::vector<std::string>{"t1", "t2"}));
}

TEST_F(ActorServicesTest, CopyRefusals) {
    WorldRecorder *t = Make("t");
    WorldRecorder *inner = Make("inner", t);
    TakeLog();
    EXPECT_EQ(CopyActorTree(t, system), nullptr);
    EXPECT_EQ(CopyActorTree(t, t), nullptr);
    EXPECT_STREQ(system->errorText, "Error - Cant Paste Objects Into Themselves");
    EXPECT_EQ(CopyActorTree(t, inner), nullptr);
    EXPECT_EQ(CopyActorTree(nullptr, global), nullptr);
    EXPECT_EQ(CopyActorTree(t, nullptr), nullptr);
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(ChildNames(inner), std::vector<std::string>{});

    // A refused top copy: null, nothing more sent.
    WorldRecorder *refused = Make("refuse");
    TakeLog();
    EXPECT_EQ(CopyActorTree(refused, global), nullptr);
    EXPECT_EQ(Ids(TakeLog()), std::vector<uint32_t>{cmd::base::Create});
}

TEST_F(ActorServicesTest, RefusedChildCopySkipsItsSubtree) {
    WorldRecorder *t = Make("t");
    Make("keep", t);
    WorldRecorder *refused = Make("refuse", t);
    Make("below", refused);
    Make("after", t);
    Actor *copy = CopyActorTree(t, global);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(ChildNames(copy), (std::vector<std::string>{"keep", "after"}));
    EXPECT_EQ(FindActorsByName("below", kRecorderClass).size(), 1u);
}

// --- sending ------------------------------------------------------------------------

TEST_F(ActorServicesTest, SendCommandChecksTheId) {
    Actor *a = Make("a");
    EXPECT_EQ(SendCommand(static_cast<uint32_t>(a->actorId), 500, ParamBlock()), 1u);
    for (uint32_t id : {8001u, 1000000u, 0xFFFFFFFFu})
        EXPECT_EQ(SendCommand(id, 500, ParamBlock()), 0u) << id;
    EXPECT_EQ(SendCommandToChildren(nullptr, 500, ParamBlock()), 0u);
}

TEST_F(ActorServicesTest, HandlerDeletingASiblingDuringChildWalk) {
    WorldRecorder *parent = Make("parent");
    WorldRecorder *first = Make("first", parent);
    WorldRecorder *second = Make("second", parent);
    Make("third", parent);
    first->onCommand = [&](uint32_t id, ParamBlock) {
        if (id == 500) {
            DeleteActor(second);
            Make("late", parent); // made during the walk: not reached
        }
    };
    TakeLog();
    EXPECT_EQ(SendCommandToChildren(parent, 500, ParamBlock()), 1u);
    EXPECT_EQ(Names(TakeLog(), 500), (std::vector<std::string>{"first", "third"}));
}

TEST_F(ActorServicesTest, BroadcastReachesActorsMadeOnTheWay) {
    WorldRecorder *maker = Make("maker");
    WorldRecorder *victim = Make("victim");
    maker->onCommand = [&](uint32_t id, ParamBlock) {
        if (id == 500 && GetActorById(20000) == nullptr) {
            DeleteActor(victim);
            // Grows (and moves) the table.
            CreateActor(kRecorderClass, "made", nullptr, scenery, 20000, false);
        }
    };
    TakeLog();
    EXPECT_EQ(BroadcastCommand(500, ParamBlock()), 1);
    EXPECT_EQ(Trace(TakeLog()), (std::vector<std::string>{"maker 500", "made 500"}));
}

TEST_F(ActorServicesTest, WalksGoFromActorToActor) {
    WorldRecorder *low = Make("low");
    Actor *middle = CreateActor(kRecorderClass, "middle", nullptr, scenery, 250000, false);
    Actor *high = CreateActor(kRecorderClass, "high", nullptr, scenery, 500000, false);
    ASSERT_TRUE(low && middle && high);
    const auto id = [](const Actor *a) { return static_cast<size_t>(a->actorId); };
    EXPECT_EQ(std::tuple(NextActorId(0), NextActorId(id(low) + 1), NextActorId(250001),
                         NextActorId(500001)),
              std::tuple(size_t{0}, size_t{250000}, size_t{500000}, ActorTable.size()));
    // An emptied slot is passed over, and the broadcast visits what is left.
    ASSERT_EQ(DeleteActor(middle), 1);
    EXPECT_EQ(NextActorId(id(low) + 1), size_t{500000});
    TakeLog();
    EXPECT_EQ(BroadcastCommand(500, ParamBlock()), 1);
    EXPECT_EQ(Names(TakeLog(), 500), (std::vector<std::string>{"low", "high"}));

    // An actor stored straight into its slot is never handed out over.
    WorldRecorder raw;
    raw.actorId = static_cast<int32_t>(id(low) + 1);
    ActorTable[id(low) + 1] = &raw;
    EXPECT_EQ(FindFreeActorIds(1), id(low) + 2);
    EXPECT_EQ(NextActorId(id(low) + 1), id(low) + 1);
    ActorTable[id(low) + 1] = nullptr;
    EXPECT_EQ(FindFreeActorIds(1), id(low) + 1);
    // Walks end at the table's end, wherever the actors were.
    ActorTable.resize(id(low) + 1);
    EXPECT_EQ(NextActorId(id(low) + 1), ActorTable.size());
    ActorTable.resize(501023, nullptr);
    ActorTable[500000] = high;
}

TEST_F(ActorServicesTest, TreeQueries) {
    Actor *inventory = GetActorById(16);
    EXPECT_EQ(FindChildByName(global, "Inventory"), inventory);
    EXPECT_EQ(FindChildByName(system, "Inventory"), nullptr);
    EXPECT_EQ(FindDescendantByName(system, "Inventory"), inventory);
    EXPECT_EQ(FindDescendantByName(system, "inventory"), nullptr);
    EXPECT_EQ(FindDescendantByClass(system, 10), inventory);
    EXPECT_EQ(FindDescendantByClass(system, 6), global);
    EXPECT_EQ(FindDescendantByClass(system, 45), nullptr);
    for (Actor *none : {FindChildByName(nullptr, "Global"), FindChildByName(system, nullptr),
                        FindDescendantByName(nullptr, "Global"), FindDescendantByName(system, nullptr),
                        FindDescendantByClass(nullptr, 6)}) {
        EXPECT_EQ(none, nullptr);
    }

    // Depth first: a deep match under an earlier child wins over a later
    // child.
    WorldRecorder *a = Make("a");
    WorldRecorder *deep = Make("x", a);
    Make("x");
    EXPECT_EQ(FindDescendantByName(scenery, "x"), deep);

    // 172 collects, skipping the subtree of the class not to enter.
    std::vector<Actor *> found;
    uint8_t block[16] = {};
    const int32_t any = -1;
    const int32_t skip = 7;
    std::vector<Actor *> *out = &found;
    std::memcpy(block, &any, 4);
    std::memcpy(block + 4, &skip, 4);
    std::memcpy(block + 8, &out, sizeof(out));
    system->HandleCommand(cmd::base::CollectDescendants, ParamBlock(block, sizeof(block)));
    std::vector<std::string> names;
    std::transform(found.begin(), found.end(), std::back_inserter(names), [](Actor *a) { return a->name; });
    EXPECT_EQ(names, (std::vector<std::string>{"Global", "Inventory", "Scenery", "a", "x", "x",
                                               "Clipboard"}));
}

// --- the network hooks ---------------------------------------------------------------

struct NameResolver : ActorPathResolver {
    Actor *FindActorByPath(std::string_view, Actor *) const override { return nullptr; }
    std::string ActorRelativePath(Actor *actor, Actor *context) const override {
        lastContext = context;
        return actor->name;
    }
    mutable Actor *lastContext = nullptr;
};

std::vector<NetMessage> g_sent;
std::vector<uint32_t> g_recipients;

int RecordSend(const NetMessage &message) {
    g_sent.push_back(message);
    g_recipients.push_back(0xFFFFFFFFu);
    return 0;
}

int RecordSendTo(uint32_t recipient, const NetMessage &message) {
    g_sent.push_back(message);
    g_recipients.push_back(recipient);
    return 0;
}

TEST_F(ActorServicesTest, CommandLogHoldsPortableCopies) {
    NameResolver resolver;
    const ActorPathResolver *previous = InstallActorPathResolver(&resolver);
    system->recordMode = 2;
    system->commandStamp = 42;

    // 141: {ActorPointer, Real, Real, Real}.
    uint8_t block[20] = {};
    Actor *target = GetActorById(14);
    const float strength = 2.5f;
    std::memcpy(block, &target, sizeof(target));
    std::memcpy(block + 8, &strength, 4);
    system->NetSendCommand(16, 141, ParamBlock(block, sizeof(block)));
    // Short and null blocks are zero-filled.
    const float x = 1.0f;
    system->NetSendCommand(16, 63, ParamBlock(const_cast<float *>(&x), sizeof(x)));
    system->NetSendCommand(16, 63, ParamBlock());
    // Never logged: "Recursive Command"; no parameters for unknown ids.
    RecursiveCommandParams recursive{63, nullptr};
    system->NetSendCommand(16, 97, ParamBlock(&recursive, sizeof(recursive)));
    system->NetSendCommandTo(3, 16, 99999, ParamBlock(block, sizeof(block)));

    ASSERT_EQ(system->commandLog.size(), 4u);
    const CommandLogRecord &first = system->commandLog[0];
    EXPECT_EQ(std::tuple(first.stamp, first.actorId, first.commandId), std::tuple(42u, 16u, 141u));
    std::vector<uint8_t> expected = {'E', 'n', 'v', 'i', 'r', 'o', 'n', 'm', 'e', 'n', 't', 0};
    expected.resize(expected.size() + 12, 0);
    std::memcpy(expected.data() + 12, &strength, 4);
    EXPECT_EQ(first.params, expected);
    EXPECT_EQ(resolver.lastContext, GetActorById(16));

    std::vector<uint8_t> position(12, 0);
    std::memcpy(position.data(), &x, 4);
    EXPECT_EQ(system->commandLog[1].params, position);
    EXPECT_EQ(system->commandLog[2].params, std::vector<uint8_t>(12, 0));
    EXPECT_EQ(system->commandLog[3].commandId, 99999u);
    EXPECT_TRUE(system->commandLog[3].params.empty());
    InstallActorPathResolver(previous);
}

TEST_F(ActorServicesTest, NetworkSendsOnlyWithBothFlags) {
    g_sent.clear();
    g_recipients.clear();
    InstallNetTransport({&RecordSend, &RecordSendTo});
    float position[3] = {1.0f, 2.0f, 3.0f};
    ParamBlock block(position, sizeof(position));

    system->NetSendCommand(16, 63, block); // networking off
    EXPECT_TRUE(g_sent.empty() && system->commandLog.empty());

    g_NetworkEnabled = 1;
    system->NetSendCommand(16, 63, block);
    system->NetSendCommandTo(9, 16, 63, block);
    system->NetSendCommandAlt(16, 63, block);
    system->NetSendCommand(16, 97, block);
    ASSERT_EQ(g_sent.size(), 3u);
    EXPECT_EQ(g_recipients, (std::vector<uint32_t>{0xFFFFFFFFu, 9, 0xFFFFFFFFu}));
    const std::vector<uint8_t> &bytes = g_sent[0].bytes;
    ASSERT_EQ(bytes.size(), 12u + 8u);
    uint32_t words[2];
    std::memcpy(words, bytes.data(), 8);
    EXPECT_EQ(std::tuple(words[0], words[1]), std::tuple(63u, 16u));
    EXPECT_EQ(std::memcmp(bytes.data() + 8, position, 12), 0);
    EXPECT_TRUE(system->commandLog.empty());

    system->networkSync = 0;
    system->NetSendCommand(16, 63, block);
    EXPECT_EQ(g_sent.size(), 3u);
}

} // namespace
