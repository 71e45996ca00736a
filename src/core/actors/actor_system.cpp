#include "core/actors/actor_system.h"

#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "core/actors/command_ids.h"
#include "core/actors/actor_path.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/class_factory.h"
#include "core/actors/command_table.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/null_actor.h"
#include "core/actors/subsystem_hooks.h"
#include "core/script/script_interpreter.h"
#include "platform/timer.h"

std::vector<Actor *> ActorTable;

namespace {

ActorSystem *g_system = nullptr;

// The ids NextActorId visits: a bit per id that may hold an actor, and a
// summary bit per word of those bits that may be non-zero. They cover every
// id the table can reach (the last id plus the growth CreateActor adds).
constexpr size_t kNotedIds = size_t{kMaxActorId} + 1024;
constexpr size_t kIdWords = (kNotedIds + 63) / 64;
constexpr size_t kSummaryWords = (kIdWords + 63) / 64;
uint64_t g_idBits[kIdWords] = {};
uint64_t g_idSummary[kSummaryWords] = {};
// The lowest id whose slot was seen emptied since TakeLowestEmptiedActorId
// last asked; 0 after the table was started anew.
size_t g_lowestEmptied = 0;

void ForgetActorIds() {
    std::fill(std::begin(g_idBits), std::end(g_idBits), 0);
    std::fill(std::begin(g_idSummary), std::end(g_idSummary), 0);
    g_lowestEmptied = 0;
}

void ForgetActorId(size_t id) {
    const size_t word = id / 64;
    g_idBits[word] &= ~(uint64_t{1} << (id % 64));
    if (g_idBits[word] == 0) {
        g_idSummary[word / 64] &= ~(uint64_t{1} << (word % 64));
    }
}

// The first word from `word` on, below `end`, whose bits may be non-zero;
// kIdWords when there is none.
size_t NextNotedWord(size_t word, size_t end) {
    size_t at = word / 64;
    const size_t summaryEnd = std::min(kSummaryWords, (end + 63) / 64);
    if (at >= summaryEnd) {
        return kIdWords;
    }
    uint64_t bits = g_idSummary[at] & (~uint64_t{0} << (word % 64));
    while (bits == 0) {
        if (++at >= summaryEnd) {
            return kIdWords;
        }
        bits = g_idSummary[at];
    }
    const size_t found = at * 64 + static_cast<size_t>(std::countr_zero(bits));
    return found < end ? found : kIdWords;
}

void NoteEmptiedActorId(size_t id) {
    if (id < kNotedIds) {
        ForgetActorId(id);
    }
    g_lowestEmptied = std::min(g_lowestEmptied, id);
}

// Process-wide raw references drop an actor that is being destroyed.
void ForgetDestroyedActor(Actor *actor) {
    // Its slot, emptied by whoever destroys it, is free again.
    if (actor->actorId >= 0 && static_cast<size_t>(actor->actorId) < ActorTable.size() &&
        ActorTable[static_cast<size_t>(actor->actorId)] == nullptr) {
        NoteEmptiedActorId(static_cast<size_t>(actor->actorId));
    }
    if (ActorSystem *system = GetActorSystem();
        system != nullptr && system != actor && system->frontEndActor == actor) {
        system->SetRunMode(0, nullptr, 0);
    }
    if (CurrentCamera != nullptr && static_cast<Actor *>(CurrentCamera) == actor) {
        CurrentCamera = nullptr;
    }
    for (Actor *&entry : DrawGroupRegistry) {
        if (entry == actor) {
            entry = nullptr;
        }
    }
}

// clang-format off
const BasicSheetRow kActorSystemSheet[] = {
    {"Actor System", PropertyKind::PageTitle, 0, 0},
    {"Set Grid Snap Unit.", PropertyKind::Caption, 0, 0},
    {"Meter:|4.0 m|0|3.0 m|1|2.0 m|2|1.5 m|3|1.0 m|4|0.5 m|5|0.25 m|6|0.1 m|7|0.05 m|8|",
     PropertyKind::Enumeration, cmd::actor_system::SetSnapSetting,
     cmd::actor_system::GetSnapSetting},
    {"Set Grid Space.", PropertyKind::Caption, 0, 0},
    {"Meter:|4.0 m|0|3.0 m|1|1.0 m|2|", PropertyKind::Enumeration, cmd::actor_system::SetGridSetting, cmd::actor_system::GetGridSetting},
    {"Load/Unload File Actors", PropertyKind::Caption, 0, 0},
    {"Load All File Actors:|Load|", PropertyKind::Button, cmd::actor_system::LoadAllFileobjects, 0},
    {"Unload All File Actors:|Unload|", PropertyKind::Button, cmd::actor_system::UnloadAllFileobjects, 0},
};
// clang-format on

void FillActorSystemDescriptor() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kActorSystemClassId);
    descriptor.lineage = {kActorSystemClassId};
    descriptor.items.clear();
    AppendPropertyRows(descriptor, kActorSystemSheet);
}

// Creates a fixed actor through the factory's normal path; when it cannot be
// made, the system's error text names it.
Actor *CreateFixedActor(int32_t classId, const char *name, Actor *parent, int32_t id) {
    Actor *actor = CreateActor(classId, name, nullptr, parent, id, true);
    if (actor == nullptr) {
        SetActorSystemError(GetActorSystem(),
                            "cannot make the fixed actor \"%s\" (class %d, id %d)", name, classId,
                            id);
    }
    return actor;
}

} // namespace

ActorSystem::ActorSystem() {
    classId = kActorSystemClassId;
    actorId = 0;
    name = "Actor System";
    g_system = this;
    FillActorSystemDescriptor();

    TimeRecord *root = RootTimeRecord();
    root->owner = this;
    root->flags = kTimeRecordFixed | kTimeRecordRawTime;

    FirstNullActor()->name = "NULLACTOR(safe)";

    ActorTable.assign(kActorTableInitialSize, nullptr);
    ForgetActorIds();
    SetActorTableEntry(0, this);

    AddActorDestroyedHook(&ForgetDestroyedActor);
}

ActorSystem::~ActorSystem() {
    // The tree goes first, while the removal and pending-deletion lists
    // still exist for the destructors that use them.
    DestroyChildren();
    DeleteScheduledCommands();
    for (ScheduledCommand *entry : removalList) {
        entry->state &= static_cast<uint8_t>(~kEntryQueued);
    }
    removalList.clear();
    for (Actor *actor : pendingDeletion) {
        actor->flags &= ~kActorQueuedForDeletion;
    }
    pendingDeletion.clear();
    flags &= ~kActorQueuedForDeletion;

    if (!ActorTable.empty() && ActorTable[0] == this) {
        ActorTable[0] = nullptr;
    }
    TimeRecord *root = RootTimeRecord();
    if (root->owner == this) {
        root->owner = nullptr;
    }
    if (g_system == this) {
        g_system = nullptr;
    }
}

int ActorSystem::QueueActorForDeletion(Actor *actor) {
    ActorSystem *system = GetActorSystem();
    if (system == nullptr) {
        return 0;
    }
    if (actor == nullptr || actor->HasFlag(kActorQueuedForDeletion)) {
        return 1;
    }
    system->pendingDeletion.push_back(actor);
    actor->flags |= kActorQueuedForDeletion;
    return 1;
}

// Leaving the front end drops the time spent there: one frame time is read
// from the frame timer and discarded, so the next frame has an ordinary one.
void ActorSystem::SetRunMode(uint32_t mode, Actor *frontEnd, uint32_t flags_) {
    runMode = mode;
    frontEndActor = frontEnd;
    runFlags = flags_;
    if (mode == 0) {
        if (FrameTimer *timer = GetFrameTimer()) {
            (void)timer->GetDeltaTime();
        }
    }
}

int InitActorSystem() {
    if (!RegisterAllCommands()) {
        return SetActorSystemError(GetActorSystem(), "the command table cannot be made");
    }
    RegisterActorClasses();
    InstallActorPaths();

    ActorSystem *system = GetActorSystem();
    if (system == nullptr) {
        system = new ActorSystem();
    } else {
        // Made before the registrations, which emptied its descriptor.
        FillActorSystemDescriptor();
    }

    Actor *global = CreateFixedActor(6, "Global", system, kGlobalRootId);
    Actor *scenery = CreateFixedActor(6, "Scenery", system, kSceneryRootId);
    Actor *clipboard = CreateFixedActor(6, "Clipboard", system, kClipboardRootId);
    if (global == nullptr || scenery == nullptr || clipboard == nullptr) {
        return 0;
    }
    if (!SetRootRange(global, 10, 2999, "Globals.qva") ||
        !SetRootRange(scenery, 3000, 6999, "Scenery.qva") ||
        !SetRootRange(clipboard, 7000, 7999, "Clipboard.qva")) {
        return SetActorSystemError(system, "cannot give the roots their id ranges");
    }
    if (CreateFixedActor(7, "Environment", global, kEnvironmentActorId) == nullptr ||
        CreateFixedActor(10, "Inventory", global, kInventoryActorId) == nullptr) {
        return 0;
    }
    return 1;
}

ActorSystem *GetActorSystem() { return g_system; }

Actor *ActorTableEntry(int32_t id) {
    if (id < 0 || static_cast<size_t>(id) >= ActorTable.size()) {
        return nullptr;
    }
    return ActorTable[static_cast<size_t>(id)];
}

bool IsInActorTable(const Actor *actor) {
    return actor != nullptr && ActorTableEntry(actor->actorId) == actor;
}

void SetActorTableEntry(size_t id, Actor *actor) {
    if (actor == nullptr) {
        ChildList::NoteSlotEmptied(ActorTable[id]);
    }
    ActorTable[id] = actor;
    if (actor == nullptr) {
        NoteEmptiedActorId(id);
        return;
    }
    if (id < kNotedIds) {
        g_idBits[id / 64] |= uint64_t{1} << (id % 64);
        g_idSummary[id / 4096] |= uint64_t{1} << (id / 64 % 64);
    }
    // An actor stored under a new id leaves its old slot, emptied by hand.
    const int32_t old = actor->actorId;
    if (old >= 0 && static_cast<size_t>(old) != id &&
        static_cast<size_t>(old) < ActorTable.size() &&
        ActorTable[static_cast<size_t>(old)] == nullptr) {
        NoteEmptiedActorId(static_cast<size_t>(old));
    }
}

size_t TakeLowestEmptiedActorId() {
    const size_t lowest = g_lowestEmptied;
    g_lowestEmptied = SIZE_MAX;
    return lowest;
}

namespace {

// NextActorId's body, inlined into the walks of this file: a broadcast asks
// for the next id once per actor.
[[gnu::always_inline]] inline size_t NextNotedActorId(size_t from) {
    const size_t size = ActorTable.size();
    size_t word = from / 64;
    uint64_t bits = word < kIdWords ? g_idBits[word] & (~uint64_t{0} << (from % 64)) : 0;
    for (;;) {
        while (bits != 0) {
            const size_t id = word * 64 + static_cast<size_t>(std::countr_zero(bits));
            bits &= bits - 1;
            if (id >= size) {
                return size;
            }
            if (ActorTable[id] != nullptr) {
                return id;
            }
            ForgetActorId(id);
        }
        // Words past the table's end hold no id of it.
        word = word + 1 < kIdWords ? NextNotedWord(word + 1, (size + 63) / 64) : kIdWords;
        if (word >= kIdWords) {
            break;
        }
        bits = g_idBits[word];
    }
    // A table grown past the noted ids (never by the factory) is walked slot
    // by slot there.
    for (size_t id = std::max(from, kNotedIds); id < size; ++id) {
        if (ActorTable[id] != nullptr) {
            return id;
        }
    }
    return size;
}

} // namespace

size_t NextActorId(size_t from) { return NextNotedActorId(from); }

int BroadcastCommand(uint32_t commandId, ParamBlock block) {
    ActorDeliveryScope delivery;
    // The next actor is looked up after each delivery: a handler may create
    // actors (growing and moving the table) or delete them.
    for (size_t id = NextNotedActorId(0); id < ActorTable.size(); id = NextNotedActorId(id + 1)) {
        ActorTable[id]->HandleCommand(commandId, block);
    }
    return 1;
}

Actor *GetActorById(uint32_t id) { return id < ActorTable.size() ? ActorTable[id] : nullptr; }

int32_t GetActorClassId(uint32_t id) {
    Actor *actor = GetActorById(id);
    return actor != nullptr ? static_cast<int32_t>(actor->classId) : -1;
}

Actor *FindActorByName(std::string_view name, int32_t classId) {
    for (size_t id = NextActorId(0); id < ActorTable.size(); id = NextActorId(id + 1)) {
        Actor *actor = ActorTable[id];
        if (actor->name == name &&
            (classId == -1 || static_cast<int32_t>(actor->classId) == classId)) {
            return actor;
        }
    }
    return nullptr;
}

int SetActorSystemError(ActorSystem *system, const char *format, ...) {
    if (system == nullptr || format == nullptr) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    std::vsnprintf(system->errorText, sizeof(system->errorText), format, args);
    va_end(args);
    return 0;
}

uint32_t CurrentRunMode() { return g_system != nullptr ? g_system->runMode : 0; }

float CurrentGlobalSpeedMultiplier() {
    return g_system != nullptr ? g_system->globalSpeedMultiplier : 1.0f;
}

void ResetActorSystemForTests() {
    delete g_system;
    g_system = nullptr;
    ActorTable.clear();
    ActorTable.shrink_to_fit();
    ForgetActorIds();
    FrameDelta = kInitialFrameDelta;
    FrameCounter = 0;
    RootTimeRecord()->ResetClock();
    std::fill(std::begin(GlobalActorSlots), std::end(GlobalActorSlots), nullptr);
    ResetDrawGroupHooks();
    ClearActorDestroyedHooks();
    UninstallActorPaths();
}

void DeleteDetachedActors() {
    if (g_system == nullptr) {
        return;
    }
    for (size_t id = 1; id < ActorTable.size(); ++id) {
        Actor *actor = ActorTable[id];
        if (actor != nullptr && actor->parent == nullptr) {
            ActorTable[id] = nullptr;
            delete actor;
        }
    }
}

void ResetActorWorldForTests(bool keepCommandTables) {
    // Table actors outside the tree (loaded or detached) go with their
    // subtrees; the system takes the tree.
    DeleteDetachedActors();
    ResetActorSystemForTests();
    if (!keepCommandTables) {
        ResetCommandTablesForTest();
    }
    ResetActorClassRowsForTests();
    ResetNullActorsForTests();
    InstallNetTransport(NetTransport{});
    ResetWorldHooks();
    ResetPresentationHooks();
    ResetCharacterHooks();
    BeginScriptRunFrame();
}

PointerList<ColObj> &ActorSystem::StaticColObjs(size_t drawGroupId) {
    while (drawGroupMembers.size() <= drawGroupId) {
        drawGroupMembers.push_back(std::make_unique<PointerList<ColObj>>());
    }
    return *drawGroupMembers[drawGroupId];
}

void ActorSystem::ClearStaticColObjs() {
    for (auto &list : drawGroupMembers) {
        list->Clear();
    }
}

ColObj *ActorSystem::CollisionQuery(const Vector3 &origin, const Vector3 &end,
                                    const uint32_t masks[3], Vector3 *hitPoint, Vector3 *normal) {
    if (const WorldHooks &hooks = GetWorldHooks(); hooks.collisionQuery != nullptr) {
        return hooks.collisionQuery(origin, end, masks, hitPoint, normal);
    }
    if (hitPoint != nullptr) {
        *hitPoint = end;
    }
    return nullptr;
}

int ActorSystem::CollisionPass(float timeStep) {
    if (const WorldHooks &hooks = GetWorldHooks(); hooks.collisionPass != nullptr) {
        return hooks.collisionPass(this, timeStep);
    }
    return 1;
}

int ActorSystem::DrawVisibleGroups(float timeStep) {
    if (const WorldHooks &hooks = GetWorldHooks(); hooks.drawVisibleGroups != nullptr) {
        return hooks.drawVisibleGroups(this, timeStep);
    }
    if (Actor *scenery = GetActorById(kSceneryRootId)) {
        scenery->Update();
    }
    if (Actor *inventory = GetActorById(kInventoryActorId)) {
        inventory->Update();
    }
    return 1;
}
