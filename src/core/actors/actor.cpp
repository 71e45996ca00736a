#include "core/actors/actor.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/random.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/param_builder.h"
#include "core/actors/param_convert.h"

Actor *GlobalActorSlots[kGlobalActorSlotCount] = {};

namespace {

std::vector<ActorDestroyedHook> g_destroyedHooks;

Actor *FindByPath(std::string_view path, Actor *from) {
    const ActorPathResolver *resolver = GetActorPathResolver();
    return resolver != nullptr ? resolver->FindActorByPath(path, from) : nullptr;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Adds `count` (+1 or -1) to spy's record of target.
void CountSpying(Actor *spy, Actor *target, int count) {
    if (spy == nullptr) {
        return;
    }
    auto &records = spy->spiedActors;
    auto it = std::find_if(records.begin(), records.end(),
                           [target](const auto &record) { return record.first == target; });
    if (count > 0) {
        if (it == records.end()) {
            records.emplace_back(target, 1);
        } else {
            ++it->second;
        }
    } else if (it != records.end()) {
        if (--it->second == 0) {
            records.erase(it);
        }
    }
}

void EraseOne(std::vector<ActorLink *> &links, ActorLink *link) {
    auto it = std::find(links.begin(), links.end(), link);
    if (it != links.end()) {
        links.erase(it);
    }
}

// Spies first: the actors this one spies on forget it, and its spies forget
// that they spied on it. Then every registered hook.
void NotifyActorDestroyed(Actor *actor) {
    for (const auto &[target, count] : actor->spiedActors) {
        auto &list = target->spies;
        list.erase(std::remove(list.begin(), list.end(), actor), list.end());
    }
    actor->spiedActors.clear();
    std::vector<Actor *> spies = std::move(actor->spies);
    actor->spies.clear();
    for (Actor *spy : spies) {
        CountSpying(spy, actor, -1);
    }
    // The hooks registered now are called, also when one of them adds or
    // removes hooks; the few there are usually are copied without a heap
    // block, since every destroyed actor comes this way.
    ActorDestroyedHook few[16];
    std::vector<ActorDestroyedHook> many;
    const ActorDestroyedHook *hooks = few;
    const size_t count = g_destroyedHooks.size();
    if (count <= std::size(few)) {
        std::copy(g_destroyedHooks.begin(), g_destroyedHooks.end(), few);
    } else {
        many = g_destroyedHooks;
        hooks = many.data();
    }
    for (size_t i = 0; i < count; ++i) {
        hooks[i](actor);
    }
    // Every list entry goes, those of a forced second entry too.
    UnlinkAllHandles(actor->memberNodes);
    UnlinkAllHandles(actor->colliderNodes);
    for (const auto &object : actor->colObjs) {
        UnlinkAllHandles(object->staticNodes);
    }
}

} // namespace

void NotifyActorGone(Actor *actor) {
    if (actor != nullptr) {
        NotifyActorDestroyed(actor);
    }
}

// --- collision objects and simulation records -------------------------------

ColObj::ColObj(const ColObj &other)
    : name(other.name), flags(other.flags), groups(other.groups),
      receiveGroups(other.receiveGroups), excludeGroups(other.excludeGroups),
      commandToOther(other.commandToOther), commandToOwn(other.commandToOwn), type(other.type),
      material(other.material), fill(other.fill), factor(other.factor), boxMin(other.boxMin),
      boxMax(other.boxMax), worldMin(other.worldMin), worldMax(other.worldMax), owner(other.owner),
      hitEffect(other.hitEffect), extra(other.extra ? other.extra->Clone() : nullptr),
      reference(other.reference), sweepRadius(other.sweepRadius) {
    NoteColObjShapeChange();
}

// The object's own list entries stay as they are.
ColObj &ColObj::operator=(const ColObj &other) {
    if (this != &other) {
        NoteColObjShapeChange();
        name = other.name;
        flags = other.flags;
        groups = other.groups;
        receiveGroups = other.receiveGroups;
        excludeGroups = other.excludeGroups;
        commandToOther = other.commandToOther;
        commandToOwn = other.commandToOwn;
        type = other.type;
        material = other.material;
        fill = other.fill;
        factor = other.factor;
        boxMin = other.boxMin;
        boxMax = other.boxMax;
        worldMin = other.worldMin;
        worldMax = other.worldMax;
        owner = other.owner;
        hitEffect = other.hitEffect;
        extra = other.extra ? other.extra->Clone() : nullptr;
        reference = other.reference;
        busy = other.busy;
        sweepRadius = other.sweepRadius;
    }
    return *this;
}

void ColObj::SetCollisionCommand(bool toOwnActor, uint32_t commandId, ParamBlock block) {
    std::optional<ColObjCommand> &slot = toOwnActor ? commandToOwn : commandToOther;
    if (commandId == 0) {
        slot.reset();
        return;
    }
    ColObjCommand command;
    command.id = commandId;
    if (block.data() != nullptr) {
        command.block.assign(block.data(), block.data() + block.size());
    }
    slot = std::move(command);
}

namespace {
uint64_t colObjShapeVersion = 0;
} // namespace

uint64_t ColObjShapeVersion() { return colObjShapeVersion; }
void NoteColObjShapeChange() { ++colObjShapeVersion; }

namespace {
uint32_t colObjDeferralDepth = 0;
std::vector<std::unique_ptr<ColObj>> deferredColObjs;
} // namespace

ColObjFreeDeferral::ColObjFreeDeferral() { ++colObjDeferralDepth; }

ColObjFreeDeferral::~ColObjFreeDeferral() {
    if (--colObjDeferralDepth == 0) {
        // Freeing may not add more, but take the list whole first.
        std::vector<std::unique_ptr<ColObj>> done;
        done.swap(deferredColObjs);
    }
}

SimParams::SimParams() {
    std::fill(std::begin(words), std::end(words), 0u);
    for (size_t word : {1, 5, 6, 7, 8, 9, 10, 14, 19, 24, 27, 31, 32, 33, 34}) {
        SetFloat(word, 1.0f);
    }
    SetFloat(11, 900.0f);
    SetFloat(12, 36.0f);
    SetFloat(13, 36.0f);
    words[kFlagsWord] = kSimEvents;
}

float SimParams::GetFloat(size_t word) const {
    float value = 0.0f;
    if (word < kWordCount) {
        std::memcpy(&value, &words[word], sizeof(value));
    }
    return value;
}

void SimParams::SetFloat(size_t word, float value) {
    if (word < kWordCount) {
        std::memcpy(&words[word], &value, sizeof(value));
    }
}

// --- global slots ------------------------------------------------------------

int GlobalSlotNumber(std::string_view name) {
    if (name.size() < 2 || name[0] != 'G' || name[1] != 'A') {
        return 0;
    }
    auto at = [&name](size_t i) { return i < name.size() ? name[i] : '\0'; };
    size_t count;
    if (!IsDigit(at(3))) {
        count = 1;
    } else if (IsDigit(at(4))) {
        if (IsDigit(at(5))) {
            return 0; // four digits or more bind nothing
        }
        count = 3;
    } else {
        count = 2;
    }
    int value = 0;
    for (size_t i = 2; i < 2 + count; ++i) {
        if (!IsDigit(at(i))) {
            return 0;
        }
        value = value * 10 + (at(i) - '0');
    }
    return value;
}

Actor *GetGlobalActor(int n) {
    if (n < 1 || n >= kGlobalActorSlotCount) {
        return nullptr;
    }
    return GlobalActorSlots[n];
}

Actor *ResolveActorName(Actor *from, std::string_view text) {
    int slot = GlobalSlotNumber(text);
    if (slot > 0) {
        Actor *actor = GetGlobalActor(slot);
        size_t slash = text.find('/');
        if (slash == std::string_view::npos || actor == nullptr) {
            return actor;
        }
        return FindByPath(text.substr(slash + 1), actor);
    }
    return FindByPath(text, from);
}

void Actor::BindGlobalSlot() {
    if (HasFlag(kActorGlobalSlotBound)) {
        return;
    }
    int slot = GlobalSlotNumber(name);
    if (slot > 0 && GlobalActorSlots[slot] == nullptr) {
        GlobalActorSlots[slot] = this;
        flags |= kActorGlobalSlotBound;
    }
}

void Actor::ReleaseGlobalSlot() {
    if (!HasFlag(kActorGlobalSlotBound)) {
        return;
    }
    flags &= ~kActorGlobalSlotBound;
    int slot = GlobalSlotNumber(name);
    if (slot > 0 && GlobalActorSlots[slot] == this) {
        GlobalActorSlots[slot] = nullptr;
        return;
    }
    // Renamed while bound: find the slot that holds this actor, if any.
    for (Actor *&entry : GlobalActorSlots) {
        if (entry == this) {
            entry = nullptr;
        }
    }
}

// --- links -------------------------------------------------------------------

ActorLink &ActorLink::operator=(const ActorLink &other) {
    if (this != &other) {
        Release();
        path = other.path;
    }
    return *this;
}

ActorLink::~ActorLink() { Release(); }

void ActorLink::Release() {
    if (target != nullptr) {
        EraseOne(target->backLinks, this);
        target = nullptr;
    }
}

void ActorLink::PointAt(Actor *actor) {
    Release();
    target = actor;
    if (actor != nullptr) {
        actor->backLinks.push_back(this);
    }
}

int ActorLink::Resolve() {
    if (path.empty()) {
        return 0;
    }
    if (Actor *actor = ResolveActorName(origin, path)) {
        PointAt(actor);
    }
    return 1;
}

int ActorLink::Assign(Actor *actor) {
    // An actor given by pointer replaces the path: from then on the link is
    // that actor's, and neither the holder's answers nor its file name the
    // actor the path once named. Null only releases.
    if (actor != nullptr && actor != target) {
        path.clear();
    }
    PointAt(actor);
    return 1;
}

int ActorLink::AssignCopy(const ActorLink &other) {
    if (&other == this) {
        return 1;
    }
    PointAt(other.target);
    path = other.path;
    return 1;
}

// --- spies and destruction hooks ----------------------------------------------

void AddCommandSpy(Actor *target, Actor *spy) {
    if (target == nullptr || spy == nullptr) {
        return;
    }
    target->spies.push_back(spy);
    CountSpying(spy, target, +1);
}

void RemoveCommandSpy(Actor *target, Actor *spy) {
    if (target == nullptr) {
        return;
    }
    auto it = std::find(target->spies.begin(), target->spies.end(), spy);
    if (it != target->spies.end()) {
        target->spies.erase(it);
        CountSpying(spy, target, -1);
    }
}

void RemoveAllCommandSpies(Actor *target) {
    if (target == nullptr) {
        return;
    }
    std::vector<Actor *> spies = std::move(target->spies);
    target->spies.clear();
    for (Actor *spy : spies) {
        CountSpying(spy, target, -1);
    }
}

void AddActorDestroyedHook(ActorDestroyedHook hook) {
    if (hook != nullptr && std::find(g_destroyedHooks.begin(), g_destroyedHooks.end(), hook) ==
                               g_destroyedHooks.end()) {
        g_destroyedHooks.push_back(hook);
    }
}

void RemoveActorDestroyedHook(ActorDestroyedHook hook) {
    g_destroyedHooks.erase(std::remove(g_destroyedHooks.begin(), g_destroyedHooks.end(), hook),
                           g_destroyedHooks.end());
}

void ClearActorDestroyedHooks() { g_destroyedHooks.clear(); }

// --- construction, copy, destruction -----------------------------------------

Actor::Actor() : timeRecord(RootTimeRecord()) {
    MatrixIdentity(&worldMatrix);
    MatrixIdentity(&inverseWorldMatrix);
    MatrixIdentity(&localMatrix);
}

Actor::~Actor() {
    NotifyActorDestroyed(this);

    // 1. The global slot, only when it holds this actor.
    ReleaseGlobalSlot();

    // 2. Out of the draw group.
    RemoveActorFromDrawGroup(this, 0);

    // 3. Scheduled commands.
    DeleteScheduledCommands();

    // 4. Off the pending-deletion list.
    if (HasFlag(kActorQueuedForDeletion)) {
        if (ActorSystem *system = GetActorSystem()) {
            auto &pending = system->pendingDeletion;
            pending.erase(std::remove(pending.begin(), pending.end(), this), pending.end());
        }
        flags &= ~kActorQueuedForDeletion;
    }

    // 5. Simulation records.
    simParams.reset();
    simState.reset();

    // 6. Links that point here lose their target; their origins hear of it.
    while (!backLinks.empty()) {
        ActorLink *link = backLinks.front();
        backLinks.erase(backLinks.begin());
        link->target = nullptr;
        if (link->origin != nullptr) {
            link->origin->HandleCommand(
                cmd::base::InvalidActorPointer,
                ParamBlock(reinterpret_cast<uint8_t *>(&link), sizeof(link)));
        }
    }

    // 7. The subtree.
    DestroyChildren();
}

void Actor::DeleteScheduledCommands() {
    while (!scheduledCommands.empty()) {
        ScheduledCommand *entry = scheduledCommands.back();
        size_t before = scheduledCommands.size();
        if (entry != nullptr && entry->owner == this) {
            ActorSystem::DeleteScheduledCommand(entry);
        }
        if (scheduledCommands.size() == before) {
            scheduledCommands.pop_back();
        }
    }
    baseProcessEntry = nullptr;
    processEntry = nullptr;
}

namespace {

void DestroyChild(Actor *child) {
    if (child == nullptr) {
        return;
    }
    child->parent = nullptr;
    if (ActorTableEntry(child->actorId) == child) {
        ActorTable[static_cast<size_t>(child->actorId)] = nullptr;
    }
    delete child;
}

} // namespace

void Actor::DestroyChildren() {
    // A child leaves the list before it is destroyed, so that whatever its
    // destruction sets off never meets it again. A short list, or one that
    // can be reached while the children go (the table holds this actor),
    // gives its children up one by one from the front.
    constexpr size_t kShortList = 32;
    if (children.size() <= kShortList || IsInActorTable(this)) {
        while (!children.empty()) {
            Actor *child = children.front();
            children.erase(children.begin());
            DestroyChild(child);
        }
        return;
    }
    // Else nothing reaches the list but this destruction, and a long list is
    // taken whole and gone through in order, which stays linear. A child
    // that a sibling's destruction took away meanwhile is skipped, as it
    // would have left the list: one its slot held and no longer holds
    // (deleted or replaced), or one that named this actor its parent and no
    // longer does (moved). Children listed meanwhile go in a further round,
    // a taken child listed again among them too.
    struct Taken {
        Actor *child;
        int32_t id;
        bool held; // its slot held it
        bool ours; // it named this actor its parent
    };
    std::vector<Taken> taken;
    while (!children.empty()) {
        taken.clear();
        taken.reserve(children.size());
        for (Actor *child : children) {
            if (child != nullptr) {
                taken.push_back({child, child->actorId, ActorTableEntry(child->actorId) == child,
                                 child->parent == this});
            }
        }
        children.clear();
        for (const Taken &entry : taken) {
            if ((entry.held && ActorTableEntry(entry.id) != entry.child) ||
                (entry.ours && entry.child->parent != this) ||
                (!children.empty() &&
                 std::find(children.begin(), children.end(), entry.child) != children.end())) {
                continue;
            }
            DestroyChild(entry.child);
        }
    }
}

void Actor::CopyFrom(const Actor &other) {
    if (this == &other) {
        return;
    }
    classId = other.classId;
    actorId = other.actorId;
    name = other.name;
    scale = other.scale;
    position = other.position;
    rotation = other.rotation;
    oldPosition = other.oldPosition;
    oldRotation = other.oldRotation;
    worldMatrix = other.worldMatrix;
    inverseWorldMatrix = other.inverseWorldMatrix;
    localMatrix = other.localMatrix;
    oldWorldPosition = other.oldWorldPosition;
    deltaPosition = other.deltaPosition;
    parent = other.parent;
    parentId = other.parentId;
    timeRecord = other.timeRecord;
    // The objects are replaced whole; flag 10 ends cleared below, so an
    // entered actor leaves its group first.
    RemoveActorFromDrawGroup(this, 0);
    {
        std::vector<std::unique_ptr<ColObj>> copies;
        copies.reserve(other.colObjs.size());
        for (const auto &object : other.colObjs) {
            copies.push_back(std::make_unique<ColObj>(*object));
        }
        colObjs = std::move(copies);
    }
    simState = other.simState ? std::make_unique<SimState>(*other.simState) : nullptr;
    simParams = other.simParams ? std::make_unique<SimParams>(*other.simParams) : nullptr;
    actionFlags = other.actionFlags;
    killDelay = other.killDelay;
    killTime = other.killTime;
    actionStartDelay = other.actionStartDelay;
    actionStartTime = other.actionStartTime;
    actionStopDelay = other.actionStopDelay;
    actionStopTime = other.actionStopTime;
    actionTime = other.actionTime;
    userWord = other.userWord;

    // Spies are not owned: this actor takes the template's list and enters
    // the spies' records, leaving whatever an earlier copy entered.
    RemoveAllCommandSpies(this);
    for (Actor *spy : other.spies) {
        AddCommandSpy(this, spy);
    }

    currentTime = other.currentTime;
    scripts.clear();
    for (const auto &script : other.scripts) {
        auto copy = std::make_unique<ScriptRecord>();
        copy->name = script->name;
        copy->eventId = script->eventId;
        copy->source = script->source;
        copy->owner = script->owner;
        copy->serial = script->serial;
        scripts.push_back(std::move(copy));
    }
    drawGroupId = other.drawGroupId;
    // Flag 16 (queued for deletion) stays this actor's own; flag 10 is
    // cleared, since the copy has entered no draw group.
    flags = (other.flags & kActorFlagsMask & ~kActorQueuedForDeletion & ~kActorInDrawGroup) |
            (flags & kActorQueuedForDeletion);
    state = other.state & (kActorOperational | kActorEnabled | kActorKilled);
    currentColObj = other.currentColObj;
}

// --- transforms ----------------------------------------------------------------

const Matrix &Actor::GetWorldMatrix() {
    if (!HasFlag(kActorWorldMatrixValid)) {
        UpdateWorldMatrix();
    }
    return worldMatrix;
}

const Matrix &Actor::GetLocalMatrix() {
    if (!HasFlag(kActorWorldMatrixValid)) {
        UpdateWorldMatrix();
    }
    return localMatrix;
}

float Actor::GetCurrentTime() {
    if (timeRecord == nullptr) {
        return 0.0f;
    }
    RefreshTimeRecord(timeRecord);
    return timeRecord->time;
}

Vector3 Actor::GetWorldPosition() {
    const Matrix &m = GetWorldMatrix();
    return {m.m[3][0], m.m[3][1], m.m[3][2]};
}

void Actor::UpdateWorldMatrix() {
    if (!HasFlag(kActorLocalMatrixValid)) {
        Matrix scaling;
        Matrix rotating;
        MatrixScaling(&scaling, scale.x, scale.y, scale.z);
        MatrixFromQuaternion(&rotating, rotation);
        MatrixMultiply(&localMatrix, scaling, rotating);
        localMatrix.m[3][0] = position.x;
        localMatrix.m[3][1] = position.y;
        localMatrix.m[3][2] = position.z;
        flags |= kActorLocalMatrixValid;
    }
    if (parent == nullptr) {
        worldMatrix = localMatrix;
    } else {
        if (!parent->HasFlag(kActorWorldMatrixValid)) {
            parent->UpdateWorldMatrix();
        }
        MatrixMultiply(&worldMatrix, localMatrix, parent->worldMatrix);
    }
    flags |= kActorWorldMatrixValid;
}

void Actor::UpdateInverseWorldMatrix() {
    if (!HasFlag(kActorWorldMatrixValid)) {
        UpdateWorldMatrix();
    }
    MatrixInverse(&inverseWorldMatrix, worldMatrix);
    flags |= kActorInverseMatrixValid;
}

void Actor::InvalidateTransform() {
    flags &= ~(kActorLocalMatrixValid | kActorWorldMatrixValid | kActorInverseMatrixValid);
    flags |= kActorMoved;
    if (baseProcessEntry == nullptr && IsOperational()) {
        ScheduledCommand *spare =
            ownBaseProcessEntry.owner == nullptr ? &ownBaseProcessEntry : nullptr;
        baseProcessEntry = ::ScheduleCommand(this, cmd::base::BaseProcess, ParamBlock(), 256, 0.0f,
                                             0.0f, 0.0f, spare, 3);
    }
    for (size_t i = 0; i < children.size(); ++i) {
        if (children[i] != nullptr) {
            children[i]->InvalidateTransform();
        }
    }
}

void Actor::SetWorldRotation(const Quaternion &q) {
    Matrix m;
    MatrixFromQuaternion(&m, q);
    Vector3 world = GetWorldPosition();
    m.m[3][0] = world.x;
    m.m[3][1] = world.y;
    m.m[3][2] = world.z;
    HandleCommand(cmd::base::SetMatrix, ParamBlock(reinterpret_cast<uint8_t *>(&m), sizeof(m)));
}

// --- per frame -------------------------------------------------------------------

void Actor::BaseProcess() {
    if (!IsOperational()) {
        return;
    }
    const bool moved = HasFlag(kActorMoved);
    const bool simulated = HasFlag(kActorSimulated);
    if (moved) {
        RefreshTimeRecord(timeRecord);
        if (timeRecord != nullptr && timeRecord->previousTime == currentTime) {
            Vector3 world = GetWorldPosition();
            if (!simulated && HasFlag(kActorCollisionEnabled)) {
                deltaPosition = {world.x - oldWorldPosition.x, world.y - oldWorldPosition.y,
                                 world.z - oldWorldPosition.z};
            }
            if (simState) {
                simState->previousPosition = oldPosition;
            }
        }
        oldPosition = position;
        oldRotation = rotation;
        oldWorldPosition = {worldMatrix.m[3][0], worldMatrix.m[3][1], worldMatrix.m[3][2]};
    } else if (!simulated) {
        deltaPosition = {0.0f, 0.0f, 0.0f};
    }

    if (simulated) {
        InvalidateTransform(); // a simulated actor keeps moving
    }

    const bool movedNow = HasFlag(kActorMoved);
    if (movedNow != HasFlag(kActorMovedBefore)) {
        RemoveActorFromDrawGroup(this, 0);
        if (movedNow) {
            flags &= ~kActorStatic;
        } else {
            flags |= kActorStatic;
        }
        AddActorToDrawGroup(this, 0);
    }
    if (movedNow) {
        flags |= kActorMovedBefore;
    } else {
        flags &= ~kActorMovedBefore;
    }

    if (movedNow) {
        if (HasFlag(kActorSimulated)) {
            UpdateActorDrawGroup(this);
        }
        if (HasFlag(kActorCollisionEnabled) && simState) {
            simState->w1 = 0;
            simState->touches.clear();
        }
        flags &= ~kActorMoved;
        return;
    }
    ActorSystem::CancelScheduledCommand(baseProcessEntry);
    baseProcessEntry = nullptr;
}

void Actor::Update() {
    if (!IsOperational()) {
        return;
    }
    RefreshTimeRecord(timeRecord);
    if (timeRecord != nullptr) {
        currentTime = timeRecord->time;
    }
    // Handlers run by a child's update may change this list: walk a snapshot
    // and look each child up again before its turn.
    if (children.empty()) {
        return;
    }
    std::vector<std::pair<int32_t, Actor *>> snapshot;
    snapshot.reserve(children.size());
    for (Actor *child : children) {
        snapshot.emplace_back(child != nullptr ? child->actorId : -1, child);
    }
    for (const auto &[id, child] : snapshot) {
        // Live when the table still holds it at its id, or, for an actor the
        // table does not know, when it is still in the list.
        bool live = (id >= 0 && ActorTableEntry(id) == child) ||
                    std::find(children.begin(), children.end(), child) != children.end();
        if (live && child != nullptr && child->parent == this) {
            child->Update();
        }
    }
}

// --- scheduled-command wrappers ---------------------------------------------------

ScheduledCommand *Actor::FindScheduledCommand(uint32_t commandId) {
    for (ScheduledCommand *entry : scheduledCommands) {
        if (entry->command == commandId) {
            return entry;
        }
    }
    return nullptr;
}

ScheduledCommand *Actor::FindScheduledCommandWithParam(uint32_t commandId, ParamBlock block) {
    const uint32_t word = block.ReadU32(0);
    for (ScheduledCommand *entry : scheduledCommands) {
        if (entry->command == commandId && entry->Block().ReadU32(0) == word) {
            return entry;
        }
    }
    return nullptr;
}

void Actor::CancelScheduledCommands(uint32_t commandId) {
    for (ScheduledCommand *entry : scheduledCommands) {
        if (entry->command == commandId) {
            ActorSystem::CancelScheduledCommand(entry);
        }
    }
}

void Actor::CancelScheduledCommandIfAny(ScheduledCommand *entry) {
    if (entry != nullptr) {
        ActorSystem::CancelScheduledCommand(entry);
    }
}

ScheduledCommand *Actor::ScheduleCommand(uint32_t commandId, ParamBlock block,
                                         uint32_t scheduleFlags, float startDelay, float endDelay,
                                         float interval) {
    return ::ScheduleCommand(this, commandId, block, scheduleFlags, startDelay, endDelay, interval,
                             nullptr, 1);
}

ScheduledCommand *Actor::ScheduleLerp(uint32_t commandId, float from, float to, uint32_t flags,
                                      float duration, float interval) {
    ParamBlockBuilder builder;
    if (!builder.Build(cmd::base::CommandLerp,
                       {ParamValue(0.0f), ParamValue::Command(commandId, {from}),
                                         ParamValue::Command(commandId, {to})})) {
        return nullptr;
    }
    return ScheduleCommand(cmd::base::CommandLerp, builder.block(), flags, 0.0f, duration,
                           interval);
}

void Actor::SetScheduledCommandTime(ScheduledCommand *entry, float delay) {
    if (entry == nullptr || timeRecord == nullptr) {
        return;
    }
    RefreshTimeRecord(timeRecord);
    entry->due = timeRecord->time + delay;
}

float Actor::ScheduledCommandTimeLeft(ScheduledCommand *entry) {
    if (entry == nullptr || timeRecord == nullptr) {
        return 0.0f;
    }
    RefreshTimeRecord(timeRecord);
    return entry->due - timeRecord->time;
}

ColObj &Actor::AddColObj(std::unique_ptr<ColObj> object) {
    if (!object) {
        object = std::make_unique<ColObj>(this);
    }
    const bool entered = HasFlag(kActorInDrawGroup);
    if (entered) {
        RemoveActorFromDrawGroup(this, 0);
    }
    colObjs.push_back(std::move(object));
    NoteColObjShapeChange();
    ColObj &added = *colObjs.back();
    if (entered) {
        AddActorToDrawGroup(this, 0);
    }
    return added;
}

bool Actor::RemoveColObj(size_t index) {
    if (index >= colObjs.size()) {
        return false;
    }
    const bool entered = HasFlag(kActorInDrawGroup);
    if (entered) {
        RemoveActorFromDrawGroup(this, 0);
    }
    auto it = colObjs.begin() + static_cast<std::ptrdiff_t>(index);
    if (colObjDeferralDepth > 0) {
        UnlinkAllHandles((*it)->staticNodes);
        deferredColObjs.push_back(std::move(*it));
    }
    colObjs.erase(it);
    NoteColObjShapeChange();
    if (entered) {
        AddActorToDrawGroup(this, 0);
    }
    return true;
}

void Actor::SetDynamicColObjsActive(bool active) {
    for (auto &ptr : colObjs) {
        ColObj &object = *ptr;
        if ((object.flags & kColObjDynamic) != 0) {
            object.flags =
                active ? (object.flags | kColObjActive) : (object.flags & ~kColObjActive);
        }
    }
}

void Actor::SetNonDynamicColObjsActive(bool active) {
    for (auto &ptr : colObjs) {
        ColObj &object = *ptr;
        if ((object.flags & kColObjDynamic) == 0) {
            object.flags =
                active ? (object.flags | kColObjActive) : (object.flags & ~kColObjActive);
        }
    }
}

// --- helpers ----------------------------------------------------------------------

float RandomSigned() { return static_cast<float>(Rand() % 10000) * 0.0002f - 1.0f; }

float RandomUnit() { return static_cast<float>(Rand() % 10000) * 0.0001f; }

uint32_t CommandBlockSize(uint32_t commandId, ParamBlock block) {
    const CommandInfo *info = FindCommandInfo(commandId);
    if (info == nullptr || !info->registered()) {
        return 0;
    }
    if (info->nativeParamBytes >= 0) {
        return static_cast<uint32_t>(info->nativeParamBytes);
    }
    return static_cast<uint32_t>(CommandParamSize(commandId, block, ParamLayout::Native));
}

int DoNothingReturnOne(uint32_t /*commandId*/, ParamBlock /*block*/) { return 1; }
