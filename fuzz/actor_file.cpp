// Actor files from untrusted bytes, loaded from memory into a headless actor system through both
// readers (into the recorded ids, and below a container under fresh ids). Loading may fail; it
// must not crash, leak, touch the system actors 0-9 or grow the table past the id limit.
//
// The system is made once. After each input every actor it did not start with is deleted, and the
// table and the draw-group registry go back to their first sizes, which gives the world of a fresh
// start again. A starting actor above the system ids that a record replaced (the Inventory's id is
// a user id) is made again as the start made it, under its parent. When that does not give the
// starting world back (the parent's children in another order), or an input changed the starting
// actors otherwise (moved them or gave them other children), the whole world is made anew
// instead, which costs the time of many inputs.
//
// A loaded file's scripts may save captures, games or actor files when an
// event they are bound to comes during the load (a changed Timer key of the
// sample's "LevelRun.qva" saves a capture): the run writes no file, so that a
// long run leaves nothing behind in its folder. Such names are taken below
// the actor system's base folder, which here lies below a file that is no
// folder, and the current file system opens nothing for writing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "actor_checks.h"
#include "app/class_list.h"
#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/subsystem_hooks.h"
#include "read_only_files.h"

namespace {

ReadOnlyFiles g_readOnlyFiles;

// A base folder no file can be made in.
constexpr const char *kNoFolder = "/dev/null/actor-file-fuzz";

using fuzzcheck::kSystemIds;

// The world as start-up leaves it: the table, the ids it holds actors at, each actor's parent and
// children, and the draw groups registered.
struct Baseline {
    std::vector<Actor *> table;
    std::vector<Actor *> drawGroups;
    std::vector<size_t> actorIds;
    std::vector<Actor *> parents;
    std::vector<std::vector<Actor *>> children;
    // The class, name and parent id each starting actor was made with.
    std::vector<uint32_t> classIds;
    std::vector<int32_t> parentIds;
    std::vector<std::string> names;
};

Baseline g_baseline;
bool g_ready = false;

// The set-up and reset are the harness, not the code under test, and stay out of the coverage
// feedback (which would make them the slowest part of a run).
#if defined(__clang__)
#define HARNESS_ONLY __attribute__((no_sanitize("coverage")))
#else
#define HARNESS_ONLY
#endif

HARNESS_ONLY void MakeWorld() {
    ResetActorWorldForTests();
    if (InitActorSystem() == 0) {
        std::abort();
    }
    GetActorSystem()->baseFolder = kNoFolder;
    g_baseline.table = ActorTable;
    g_baseline.drawGroups = DrawGroupRegistry;
    g_baseline.actorIds.clear();
    g_baseline.parents.assign(ActorTable.size(), nullptr);
    g_baseline.children.assign(ActorTable.size(), {});
    g_baseline.classIds.assign(ActorTable.size(), 0);
    g_baseline.parentIds.assign(ActorTable.size(), -1);
    g_baseline.names.assign(ActorTable.size(), {});
    for (size_t id = 0; id < ActorTable.size(); ++id) {
        if (const Actor *actor = ActorTable[id]) {
            g_baseline.actorIds.push_back(id);
            g_baseline.parents[id] = actor->parent;
            g_baseline.children[id] = actor->children;
            g_baseline.classIds[id] = actor->classId;
            g_baseline.parentIds[id] = actor->parent != nullptr ? actor->parent->actorId : -1;
            g_baseline.names[id] = actor->name;
        }
    }
}

// Makes again, as the start made it, a starting actor that a record replaced (the replacement is
// gone by now): same class, name and id, under the same parent, sent "Create". The baseline then
// names the new actor. False when it cannot stand where the old one stood.
HARNESS_ONLY bool MakeStartingActorAgain(size_t id) {
    Actor *parent = g_baseline.parents[id];
    const int32_t parentId = g_baseline.parentIds[id];
    if (id < kSystemIds || ActorTable[id] != nullptr || parent == nullptr || parentId < 0 ||
        static_cast<size_t>(parentId) >= ActorTable.size() ||
        ActorTable[static_cast<size_t>(parentId)] != parent) {
        return false;
    }
    Actor *old = g_baseline.table[id];
    Actor *actor = CreateActor(static_cast<int32_t>(g_baseline.classIds[id]), g_baseline.names[id],
                               nullptr, parent, static_cast<int32_t>(id), true);
    if (actor == nullptr || ActorTable[id] != actor || actor->parent != parent) {
        return false;
    }
    g_baseline.table[id] = actor;
    std::vector<Actor *> &siblings = g_baseline.children[static_cast<size_t>(parentId)];
    std::replace(siblings.begin(), siblings.end(), old, actor);
    return true;
}

// Deletes every actor the start did not make; false when what is left is not the starting world.
HARNESS_ONLY bool RemoveAddedActors() {
    const std::vector<Actor *> &table = g_baseline.table;
    for (size_t id = NextActorId(kSystemIds); id < ActorTable.size(); id = NextActorId(id + 1)) {
        Actor *actor = ActorTable[id];
        if (id >= table.size() || actor != table[id]) {
            DeleteActor(actor);
            if (ActorTable[id] == actor) {
                return false;
            }
        }
    }
    if (ActorTable.size() < table.size()) {
        return false;
    }
    ActorTable.resize(table.size());
    for (size_t id : g_baseline.actorIds) {
        if (ActorTable[id] == nullptr && !MakeStartingActorAgain(id)) {
            return false;
        }
    }
    // The loaded draw groups left empty slots behind them; an input's slots kept from one input to
    // the next would make every later load sort and search more of them.
    const std::vector<Actor *> &groups = g_baseline.drawGroups;
    if (DrawGroupRegistry.size() < groups.size() ||
        !std::equal(groups.begin(), groups.end(), DrawGroupRegistry.begin()) ||
        std::any_of(DrawGroupRegistry.begin() + static_cast<std::ptrdiff_t>(groups.size()),
                    DrawGroupRegistry.end(), [](const Actor *group) { return group != nullptr; })) {
        return false;
    }
    DrawGroupRegistry.resize(groups.size());
    for (size_t id : g_baseline.actorIds) {
        const Actor *actor = ActorTable[id];
        if (actor != table[id] || actor->parent != g_baseline.parents[id] ||
            actor->children != g_baseline.children[id]) {
            return false;
        }
    }
    return GetActorSystem() != nullptr && GetActorSystem()->pendingDeletion.empty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!g_ready) {
        SetCurrentFileSystem(&g_readOnlyFiles);
        InstallEngineClasses();
        MakeWorld();
        g_ready = true;
    }
    if (size > (1u << 20)) {
        return 0;
    }
    const fuzzcheck::SystemActors before = fuzzcheck::Capture();
    {
        Archive archive;
        archive.OpenMemory(data, static_cast<uint32_t>(size));
        LoadActorsFrom(archive, kSerializeLoad);
    }
    fuzzcheck::Check(before);
    fuzzcheck::CheckReadEnded();
    Actor *container = CreateActor(0, "F", nullptr, GetActorById(kSceneryRootId), -1, false);
    if (container != nullptr) {
        Archive archive;
        archive.OpenMemory(data, static_cast<uint32_t>(size));
        SerializeFileActors(archive, container);
    }
    fuzzcheck::Check(before);
    if (!RemoveAddedActors()) {
        MakeWorld();
    }
    return 0;
}
