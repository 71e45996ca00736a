// ActorSystem::Process: the queued deletions and the pending level load,
// performed in one go behind the loading screen.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/pack_archive.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/command_ids.h"
#include "core/actors/loading_screen.h"
#include "core/actors/subsystem_hooks.h"
#include "library/resource_library.h"

namespace {

constexpr uint32_t kLoadStepsPerUpdate = 1500;
constexpr uint32_t kLoadExpectedSteps = 1000;

void SendSetGlobalTimeZero(ActorSystem *system) {
    uint32_t zero = 0;
    system->HandleCommand(cmd::actor_system::SetGlobalTime, ParamBlock(&zero, sizeof(zero)));
}

void SetDeferLoads(ActorSystem *system, uint32_t value) {
    system->HandleCommand(cmd::actor_system::SetDeferLoads, ParamBlock(&value, sizeof(value)));
}

// Destroys the actor at the table entry alone: its children were let go
// first, so each actor is destroyed by its own entry.
void DestroyEntry(size_t id) {
    Actor *actor = ActorTable[id];
    ActorTable[id] = nullptr;
    for (Actor *child : actor->children) {
        if (child != nullptr && child->parent == actor) {
            child->parent = nullptr;
        }
    }
    actor->children.clear();
    if (actor->parent != nullptr) {
        actor->parent->children.RemoveAll(actor);
        actor->parent = nullptr;
    }
    delete actor;
}

// Every actor from id 10 up, the Draw Groups in a second pass.
void DestroyWorld() {
    for (size_t id = kFirstUserActorId; id < ActorTable.size(); ++id) {
        if (ActorTable[id] != nullptr && ActorTable[id]->classId != kDrawGroupClassId) {
            DestroyEntry(id);
        }
    }
    for (size_t id = kFirstUserActorId; id < ActorTable.size(); ++id) {
        if (ActorTable[id] != nullptr) {
            DestroyEntry(id);
        }
    }
}

std::string LoadingText(const char *dots) { return LoadingTextEntry() + dots; }

// Reads one file of the load; a file that does not read whole is told on
// stderr with the reader's error.
bool ReadLevelFile(ActorSystem *system, const std::string &file) {
    if (GetActorSystemHooks().loadActors(file, 0) != 0) {
        return true;
    }
    std::fprintf(stderr, "Level load: cannot read %s: %s\n", PathForDisplay(file).c_str(),
                 system->errorText);
    return false;
}

// Loading-screen step with a text of its own.
void DrawStep(const std::string &text) { DrawLoadingScreen(text.c_str()); }

} // namespace

void ActorSystem::Process() {
    // 1. Queued deletions, last queued first.
    while (!pendingDeletion.empty()) {
        Actor *actor = pendingDeletion.back();
        pendingDeletion.pop_back();
        if (actor != nullptr) {
            actor->flags &= ~kActorQueuedForDeletion;
            DeleteActor(actor);
        }
    }

    // 2.
    if (loadPending == 0) {
        return;
    }
    ActorSystemHooks &hooks = GetActorSystemHooks();

    // 3.-5. The world goes, apart from the system actors.
    BroadcastCommand(cmd::base::InvalidateDrawgroupID, ParamBlock());
    DestroyWorld();
    for (Actor *actor : pendingDeletion) {
        if (actor != nullptr) {
            actor->flags &= ~kActorQueuedForDeletion;
        }
    }
    pendingDeletion.clear();
    DrawGroupRegistry.resize(kSystemDrawGroupCount, nullptr);
    ClearStaticColObjs();
    for (int32_t rootId : {kGlobalRootId, kSceneryRootId, kClipboardRootId}) {
        if (Actor *root = GetActorById(static_cast<uint32_t>(rootId))) {
            root->children.clear();
        }
    }
    ClearFileCounts();

    // 6.-9. The loading screen and the files.
    LoadingScreenState &screen = GetLoadingScreenState();
    screen.stepsPerUpdate = kLoadStepsPerUpdate;
    BeginLoadingScreen(this, kLoadExpectedSteps);
    loadingText = LoadingText(".");
    SendSetGlobalTimeZero(this);
    bool read = true;
    if (newGame != 0) {
        read = ReadLevelFile(this, firstFile);
    }
    loadingText = LoadingText("..");
    read = ReadLevelFile(this, secondFile) && read;

    // 10.-12.
    if (Actor *definition = hooks.findActorByPath("/Global/Definition")) {
        uint32_t off = 0;
        definition->HandleCommand(cmd::base::SetOperational, ParamBlock(&off, sizeof(off)));
    }
    SendSetGlobalTimeZero(this);
    HandleCommand(cmd::base::PrecalculateRecursive, ParamBlock());
    const std::string threeDots = LoadingText("...");
    DrawStep(threeDots);

    // 13. The Mesh Objects load their resources. The list is looked up again
    // before each send: a handler may have deleted a listed actor.
    std::vector<Actor *> meshes;
    if (Actor *scenery = GetActorById(kSceneryRootId)) {
        struct {
            int32_t classId;
            int32_t skipClass;
            std::vector<Actor *> *out;
        } query{static_cast<int32_t>(kMeshObjectClassId), -1, &meshes};
        scenery->HandleCommand(cmd::base::CollectDescendants, ParamBlock(&query, sizeof(query)));
    }
    std::vector<ChildRef> meshRefs;
    meshRefs.reserve(meshes.size());
    for (Actor *mesh : meshes) {
        if (mesh != nullptr) {
            meshRefs.push_back({mesh->actorId, mesh});
        }
    }
    const float share = (screen.barWidth - screen.progress) * 0.45f;
    const auto n = static_cast<uint32_t>(meshes.size());
    if (n > 0) {
        screen.stepsSinceUpdate = 0;
        screen.stepsPerUpdate = n / 10;
        screen.increment = static_cast<float>(n / 10) * share / static_cast<float>(n);
        for (const ChildRef &ref : meshRefs) {
            if (Actor *mesh = ActorTableEntry(ref.id); mesh != nullptr && mesh == ref.pointer) {
                mesh->HandleCommand(cmd::base::LoadResources, ParamBlock());
            }
            DrawStep(threeDots);
        }
    }

    // 14.-16. The tree names its resources; their loads are collected.
    screen.stepsSinceUpdate = 1;
    screen.stepsPerUpdate = 0;
    const std::string fourDots = LoadingText("....");
    DrawStep(fourDots);
    SetDeferLoads(this, 1);
    RecursiveCommandParams preload{cmd::base::InitPreload, nullptr};
    HandleCommand(kRecursiveCommandId, ParamBlock(&preload, sizeof(preload)));
    SetDeferLoads(this, 0);

    // 17. The collected loads, the bar moving every fourth.
    const auto m = static_cast<uint32_t>(deferredLoads.size());
    if (m > 0) {
        screen.stepsSinceUpdate = 0;
        screen.stepsPerUpdate = 4;
        screen.increment = share / static_cast<float>(m) * 4.0f;
        const std::vector<LibraryItem *> items = deferredLoads;
        for (LibraryItem *item : items) {
            DrawStep(fourDots);
            if (ResourceLibrary *library = GetLibrary()) {
                library->LoadItem(item);
            }
        }
        deferredLoads.clear();
    }

    // 18.-19.
    DrawStep(LoadingText("....."));
    if (newGame != 0) {
        HandleCommand(cmd::base::StartGame, ParamBlock());
    }

    // 20.-21.
    EndLoadingScreen(this);
    if (GamePackArchive != nullptr) {
        GamePackArchive->ReleaseEntryBuffers();
    }
    listenerEffects.clear();
    GetActorSystemHooks().traceSound(kDefaultListenerEffect);
    loadPending = 0;
    newGame = 0;
    firstFile.clear();
    secondFile.clear();

    // 22. A load that did not read whole gives way to the files start-up
    // opened, as start-up opened them.
    if (!read && loadingStartFiles == 0 && !startGlobalsFile.empty()) {
        const std::string data = baseFolder + "\\Data\\";
        loadingStartFiles = 1;
        loadPending = 1;
        newGame = startSceneFile.empty() ? 0 : 1;
        firstFile = data + startGlobalsFile;
        secondFile = newGame != 0 ? data + startSceneFile : firstFile;
        Process();
        loadingStartFiles = 0;
    }
}
