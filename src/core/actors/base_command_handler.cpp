// The base command handler: what every actor does with a command that its
// class does not serve. Three steps, in this order: the actor's command spies
// hear of the command; the base commands are served; the actor's scripts
// bound to the command run when it is an event hook.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/random.h"
#include "core/actors/actor.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/base_command_families.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "core/actors/debug_tint.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/param_builder.h"
#include "core/actors/param_convert.h"
#include "core/actors/script_runner.h"
#include "core/actors/subsystem_hooks.h"

namespace {

// Schedule flags used here.
constexpr uint32_t kOnceSaved = 4608;           // kind 2, saved
constexpr uint32_t kInterpolateNotSaved = 3328; // kind 13

// Room for a query answer whose size the command table does not fix.
constexpr size_t kVariableAnswerBytes = 1024;
// Room for the answer a condition query writes (the largest fixed answer is a
// matrix).
constexpr size_t kConditionAnswerBytes = 256;

void SetBit(uint32_t &word, uint32_t bit, bool on) { word = on ? (word | bit) : (word & ~bit); }

bool ReadBool(ParamBlock block) { return block.ReadU32(0) != 0; }

Vector3 ReadVector3(ParamBlock block, size_t offset = 0) { return block.Read<Vector3>(offset); }

Vector3 MatrixRow(const Matrix &m, int row) { return {m.m[row][0], m.m[row][1], m.m[row][2]}; }

int SendSelf(Actor &actor, uint32_t commandId, ParamBlock block = ParamBlock()) {
    return actor.HandleCommand(commandId, block);
}

// Sends the same block to every child in turn. The children are noted
// before the first delivery (a handler may change the list); the few most
// actors have are noted on the stack, since recursive commands come this way
// for every actor of a subtree.
void SendToChildren(Actor &actor, uint32_t commandId, ParamBlock block) {
    constexpr size_t kNotedOnStack = 16;
    const size_t count = actor.children.size();
    if (count == 0) {
        return;
    }
    if (count > kNotedOnStack) {
        for (const auto &ref : SnapshotChildren(&actor)) {
            if (Actor *child = ResolveChild(&actor, ref)) {
                child->HandleCommand(commandId, block);
            }
        }
        return;
    }
    ChildRef refs[kNotedOnStack];
    size_t noted = 0;
    for (Actor *child : actor.children) {
        if (child != nullptr) {
            refs[noted++] = {child->actorId, child};
        }
    }
    for (size_t i = 0; i < noted; ++i) {
        if (Actor *child = ResolveChild(&actor, refs[i])) {
            child->HandleCommand(commandId, block);
        }
    }
}

// Step 1: every spy hears of the command before the actor acts. Notices
// themselves are not reported, so spies that spy on each other (or an actor
// on itself) do not recurse.
[[gnu::noinline]] void NotifySpies(Actor &actor, uint32_t commandId, ParamBlock &block) {
    if (actor.spies.empty() || commandId == cmd::base::SpyNotice) {
        return;
    }
    CommandSpyNotice notice{commandId, &block, &actor};
    const std::vector<Actor *> spies = actor.spies;
    for (Actor *spy : spies) {
        // A spy removed or destroyed meanwhile is off the list by now.
        if (spy != nullptr &&
            std::find(actor.spies.begin(), actor.spies.end(), spy) != actor.spies.end()) {
            spy->HandleCommand(cmd::base::SpyNotice, BlockOf(notice));
        }
    }
}

// Step 3: scripts bound to an event command, in list order.
[[gnu::noinline]] void RunEventScripts(Actor &actor, uint32_t commandId) {
    if (actor.scripts.empty()) {
        return;
    }
    const CommandInfo *info = FindCommandInfo(commandId);
    if (info == nullptr || !info->Has(CommandFlags::EventHook)) {
        return;
    }
    ScriptRunScope scope(&actor); // the list stays put until every run is over
    for (size_t i = 0; i < actor.scripts.size(); ++i) {
        ScriptRecord *script = actor.scripts[i].get();
        if (script != nullptr && !script->dead && script->eventId == commandId) {
            RunHeldScript(&actor, script, nullptr);
        }
    }
}

// --- naming, state, master ---------------------------------------------------

void SetName(Actor &actor, std::string_view text) {
    std::string newName(text);
    if (actor.HasFlag(kActorGlobalSlotBound)) {
        actor.ReleaseGlobalSlot();
    }
    actor.name = std::move(newName);
    actor.BindGlobalSlot();
}

void Precalculate(Actor &actor) {
    SendSelf(actor, cmd::base::Precalculate);
    actor.flags |= kActorPrecalculated;
}

void SetOperational(Actor &actor, ParamBlock block) {
    const bool on = ReadBool(block);
    SetBit(actor.state, kActorOperational, on);
    if (on) {
        // Ancestors that are not operational become so, root first; they are
        // set directly, so their other children are left as they are.
        std::vector<int32_t> ids;
        std::vector<Actor *> chain;
        for (Actor *a = actor.parent; a != nullptr && chain.size() < 100000; a = a->parent) {
            chain.push_back(a);
            ids.push_back(a->actorId);
        }
        for (size_t i = chain.size(); i-- > 0;) {
            Actor *ancestor = chain[i];
            if (ids[i] >= 0 && ActorTableEntry(ids[i]) != ancestor) {
                continue; // gone meanwhile
            }
            if (ancestor->IsOperational()) {
                continue;
            }
            if (!ancestor->HasFlag(kActorPrecalculated)) {
                Precalculate(*ancestor);
            }
            ancestor->state |= kActorOperational;
        }
        if (!actor.HasFlag(kActorPrecalculated)) {
            Precalculate(actor);
        }
    }
    SendToChildren(actor, cmd::base::SetOperational, block);
}

// --- initialisation --------------------------------------------------------------

// Version of the actor file being read (older files carry no action flags).
uint32_t ActorFileVersion() {
    const ActorSystem *system = GetActorSystem();
    return system != nullptr ? system->GetFileVersion() : 0;
}

bool OwnsEntry(const Actor &actor, const ScheduledCommand *entry) {
    return entry != nullptr && entry->owner == &actor &&
           std::find(actor.scheduledCommands.begin(), actor.scheduledCommands.end(), entry) !=
               actor.scheduledCommands.end();
}

uint32_t DerivedClassGroupBit(uint32_t classId) {
    switch (classId) {
    case 0:
        return 1u << 31;
    case 3:
        return 1u << 30;
    case 4:
        return 1u << 29;
    case 2:
        return 1u << 28;
    case 19:
        return 1u << 27;
    case 16:
        return 1u << 26;
    case 13:
        return 1u << 25;
    case 14:
        return 1u << 24;
    case 12:
        return 1u << 23;
    case 48:
        return 1u << 22;
    default:
        return 0;
    }
}

void RecomputeDerivedGroups(Actor &actor, ColObj &object) {
    uint32_t groups = object.groups & 0xFFFFu;
    const uint32_t f = object.flags;
    if ((f & (1u << 6)) != 0) {
        groups |= 1u << 16;
    }
    if ((f & (1u << 2)) != 0) {
        groups |= 1u << 17;
    }
    if ((f & ((1u << 6) | (1u << 5))) == 0 && (f & ((1u << 1) | (1u << 2))) != 0) {
        groups |= 1u << 18;
    }
    if (object.type == 7) {
        groups |= 1u << 21;
    }
    groups |= DerivedClassGroupBit(actor.classId);
    object.groups = groups;
}

void InitCommon(Actor &actor) {
    actor.flags &= ~(kActorPrecalculated | kActorInDrawGroup);
    actor.drawGroupId = -1;
    // Entry pointers of a copied or loaded actor name the template's entries;
    // an entry this actor already owns stays.
    if (!OwnsEntry(actor, actor.baseProcessEntry)) {
        actor.baseProcessEntry = nullptr;
    }
    if (!OwnsEntry(actor, actor.processEntry)) {
        actor.processEntry = nullptr;
    }
    for (auto &objectPtr : actor.colObjs) {
        ColObj &object = *objectPtr;
        object.factor = 1.0f;
        object.owner = &actor;
    }
    for (auto &script : actor.scripts) {
        if (script) {
            script->owner = &actor;
        }
    }
}

void InitLoad(Actor &actor) {
    std::string copy = actor.name;
    actor.name.clear();
    // The name is set again through the command, whose block is the text up
    // to its first terminator and one terminator; made here in place, since
    // every loaded actor comes this way.
    actor.HandleCommand(cmd::base::SetName, ParamBlock(copy.data(), std::strlen(copy.c_str()) + 1));
    for (size_t i = 0; i < actor.scheduledCommands.size(); ++i) {
        ScheduledCommand *entry = actor.scheduledCommands[i];
        if (entry != nullptr && entry->owner == &actor) {
            LinkScheduledCommand(entry);
        }
    }
    if (ActorFileVersion() < 57) {
        actor.actionFlags = 0;
    }
    if (actor.colObjs.empty()) {
        actor.flags &= ~kActorCollisionEnabled;
    }
    for (auto &objectPtr : actor.colObjs) {
        ColObj &object = *objectPtr;
        RecomputeDerivedGroups(actor, object);
    }
}

void InitCopy(Actor &actor) {
    if (actor.HasFlag(kActorGlobalSlotBound)) {
        // The slot stays the template's.
        actor.name = "O" + actor.name;
        actor.flags &= ~kActorGlobalSlotBound;
    }
    // What the template's lists held is not this actor's; what the copy
    // owns already (entries its class part scheduled, links to it) stays.
    auto &links = actor.backLinks;
    links.erase(std::remove_if(links.begin(), links.end(),
                               [&actor](ActorLink *link) {
                                   return link == nullptr || link->target != &actor;
                               }),
                links.end());
    auto &entries = actor.scheduledCommands;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&actor](ScheduledCommand *entry) {
                                     return entry == nullptr || entry->owner != &actor;
                                 }),
                  entries.end());
    // Captured before the reset: the Time Instance that owns the record.
    TimeRecord *record = actor.timeRecord;
    Actor *recordOwner = record != nullptr ? record->owner : nullptr;
    const bool systemOwned = recordOwner != nullptr && recordOwner->classId == kActorSystemClassId;
    if (record != nullptr && !systemOwned) {
        actor.timeRecord = RootTimeRecord();
        if (recordOwner != nullptr && recordOwner != &actor) {
            SendCommandArgs(recordOwner, cmd::time_instance::TimeinstanceConnectActor, &actor);
        }
    }
}

void Initialise(Actor &actor, uint32_t commandId) {
    InitCommon(actor);
    if (commandId == cmd::base::InitNew) {
        Precalculate(actor);
    } else if (commandId == cmd::base::InitLoad) {
        InitLoad(actor);
    } else {
        InitCopy(actor);
    }
    actor.InvalidateTransform();
}

// --- lifecycle and tree ------------------------------------------------------------

void Create(Actor &actor, ParamBlock block) {
    Actor *source = block.ReadActor(0);
    if (source == nullptr || source == &actor) {
        SendSelf(actor, cmd::base::InitNew);
        return;
    }
    // The copy takes its own simulation records and collision shapes and
    // keeps whatever it already owns (children, links, entries).
    actor.CopyFrom(*source);
    SendSelf(actor, cmd::base::InitCopy);
}

// Is the actor the root itself or below it?
bool InSubtreeOf(const Actor *actor, const Actor *root) {
    for (const Actor *a = actor; a != nullptr; a = a->parent) {
        if (a == root) {
            return true;
        }
    }
    return false;
}

// Answers false when the actor queued itself as an orphan (no scripts run).
// An actor never hangs below itself or its own subtree: a parent id that
// asks for that counts as naming no actor, so the tree never gets a loop.
bool BuildTree(Actor &actor) {
    if (actor.parentId == -1) {
        return true;
    }
    Actor *parent = ActorTableEntry(actor.parentId);
    if (parent == &actor ||
        (parent != nullptr && actor.parent != parent && InSubtreeOf(parent, &actor))) {
        parent = nullptr;
    }
    if (parent != nullptr) {
        // Whatever lists an actor as a child sets its parent: an actor
        // without one (every actor a file just made) is in no list, and the
        // parent's list, long in a flat level, need not be searched.
        auto &siblings = parent->children;
        if (actor.parent == nullptr ||
            std::find(siblings.begin(), siblings.end(), &actor) == siblings.end()) {
            siblings.push_back(&actor);
        }
        actor.parent = parent;
        return true;
    }
    if (actor.actorId != 0) {
        ActorSystem::QueueActorForDeletion(&actor);
        return false;
    }
    return true;
}

void PrecalculateBoxes(Actor &actor) {
    for (auto &objectPtr : actor.colObjs) {
        ColObj &object = *objectPtr;
        if (object.type != 2 && object.type != 3) {
            continue;
        }
        float *lo[3] = {&object.boxMin.x, &object.boxMin.y, &object.boxMin.z};
        float *hi[3] = {&object.boxMax.x, &object.boxMax.y, &object.boxMax.z};
        for (int axis = 0; axis < 3; ++axis) {
            if (*lo[axis] > *hi[axis]) {
                std::swap(*lo[axis], *hi[axis]);
            }
        }
    }
}

void PrecalculateSelf(Actor &actor) {
    PrecalculateBoxes(actor);
    for (size_t i = 0; i < actor.scheduledCommands.size(); ++i) {
        ScheduledCommand *entry = actor.scheduledCommands[i];
        if (entry != nullptr && entry->owner == &actor) {
            MakeScheduledCommandLive(entry);
        }
    }
}

void SetDrawGroup(Actor &actor, int32_t id) {
    if (id == actor.drawGroupId) {
        return;
    }
    RemoveActorFromDrawGroup(&actor, 0);
    actor.drawGroupId = id;
    AddActorToDrawGroup(&actor, 0);
}

void ChildRemoved(Actor &actor, ParamBlock block) {
    if ((actor.state & kActorKilled) == 0) {
        return;
    }
    // The block's child may or may not still be listed (a delete tells the
    // parent first, a move after the child left): count the others.
    Actor *leaving = block.ReadActor(0);
    size_t others = 0;
    for (Actor *child : actor.children) {
        if (child != nullptr && child != leaving) {
            ++others;
        }
    }
    if (others == 0) {
        SendSelf(actor, cmd::base::Delete);
    }
}

void RecursiveCommand(Actor &actor, ParamBlock block) {
    RecursiveCommandParams params{0, nullptr};
    block.ReadBytes(0, &params, sizeof(params));
    if (params.commandId == kRecursiveCommandId) {
        return;
    }
    actor.HandleCommand(params.commandId, params.block != nullptr ? *params.block : ParamBlock());
    SendToChildren(actor, kRecursiveCommandId, block);
}

// --- transforms ----------------------------------------------------------------------

void WriteMatrix(ParamBlock block, const Matrix &m) { block.Write(0, m); }

void SetMatrix(Actor &actor, ParamBlock block) {
    const Matrix given = block.Read<Matrix>(0);
    if (actor.parent != nullptr) {
        Actor &parent = *actor.parent;
        parent.GetWorldMatrix();
        if (!parent.HasFlag(kActorInverseMatrixValid)) {
            parent.UpdateInverseWorldMatrix();
        }
        MatrixMultiply(&actor.localMatrix, given, parent.inverseWorldMatrix);
    } else {
        actor.localMatrix = given;
    }
    actor.position = MatrixRow(actor.localMatrix, 3);
    QuaternionFromMatrix(&actor.rotation, actor.localMatrix);
    actor.worldMatrix = given;
    actor.InvalidateTransform();
    actor.flags |= kActorLocalMatrixValid | kActorWorldMatrixValid;
}

void SetLocalMatrix(Actor &actor, ParamBlock block) {
    const Matrix given = block.Read<Matrix>(0);
    actor.localMatrix = given;
    Matrix unit = given;
    float lengths[3];
    for (int row = 0; row < 3; ++row) {
        lengths[row] = Vec3Length(MatrixRow(given, row));
        if (lengths[row] > 0.0f) {
            for (int col = 0; col < 3; ++col) {
                unit.m[row][col] /= lengths[row];
            }
        }
    }
    actor.scale = {lengths[0], lengths[1], lengths[2]};
    actor.position = MatrixRow(given, 3);
    QuaternionFromMatrix(&actor.rotation, unit);
    actor.InvalidateTransform();
}

void InvalidateOldPosition(Actor &actor) {
    actor.oldPosition = actor.position;
    actor.oldWorldPosition = WorldPositionOf(actor);
    SendToChildren(actor, cmd::base::InvalidateOldPosition, ParamBlock());
}

// The actor's draw group; null when it has none or the registry has no
// such entry.
Actor *CurrentDrawGroup(const Actor &actor) {
    if (actor.drawGroupId < 0 ||
        static_cast<size_t>(actor.drawGroupId) >= DrawGroupRegistry.size()) {
        return nullptr;
    }
    return DrawGroupRegistry[static_cast<size_t>(actor.drawGroupId)];
}

void SendToDrawGroups(Actor &actor, ParamBlock block, bool group, bool neighbours) {
    Actor *drawGroup = CurrentDrawGroup(actor);
    if (drawGroup == nullptr) {
        return;
    }
    if (group) {
        ExecuteCommand(drawGroup, block.ReadU32(0), block.Sub(4));
    }
    if (neighbours) {
        drawGroup->HandleCommand(cmd::draw_group::CommandNearDG, block);
    }
}

// --- forwarding and conditions ---------------------------------------------------------

int QueryWord(Actor *target, uint32_t query) {
    if (target == nullptr) {
        return 0;
    }
    uint8_t answer[kConditionAnswerBytes] = {};
    ExecuteCommand(target, query, ParamBlock(answer, sizeof(answer)));
    uint32_t word = 0;
    std::memcpy(&word, answer, sizeof(word));
    return word != 0 ? 1 : 0;
}

void RandCommand(Actor &actor, ParamBlock block) {
    ParamReader reader(cmd::base::RandCommand, block);
    const float percent = reader.F32();
    const ParamReader::Nested command = reader.Command();
    const int r = Rand() % 10000;
    if (percent * 100.0f > static_cast<float>(r)) {
        ExecuteCommand(&actor, command.id, command.block);
    }
}

void RandElseCommand(ParamBlock block) {
    ParamReader reader(cmd::base::RandElseCommand, block);
    const float percent = reader.F32();
    Actor *a = reader.ActorPtr();
    const ParamReader::Nested ca = reader.Command();
    Actor *b = reader.ActorPtr();
    const ParamReader::Nested cb = reader.Command();
    const int r = Rand() % 10000;
    if (percent * 100.0f > static_cast<float>(r)) {
        ExecuteCommand(a, ca.id, ca.block);
    } else {
        ExecuteCommand(b, cb.id, cb.block);
    }
}

void IfCommand(Actor &actor, uint32_t commandId, ParamBlock block) {
    ParamReader reader(commandId, block);
    Actor *a = reader.ActorPtr();
    const uint32_t query = reader.U32();
    const ParamReader::Nested command = reader.Command();
    const int result = QueryWord(a, query);
    if ((commandId == cmd::base::IfNotCommand) == (result == 0)) {
        ExecuteCommand(&actor, command.id, command.block);
    }
}

void IfElseCommand(ParamBlock block) {
    ParamReader reader(cmd::base::IfElseCommand, block);
    Actor *a = reader.ActorPtr();
    const uint32_t query = reader.U32();
    Actor *b = reader.ActorPtr();
    const ParamReader::Nested cb = reader.Command();
    Actor *d = reader.ActorPtr();
    const ParamReader::Nested cd = reader.Command();
    if (QueryWord(a, query) != 0) {
        ExecuteCommand(b, cb.id, cb.block);
    } else {
        ExecuteCommand(d, cd.id, cd.block);
    }
}

void CopyValue(Actor &actor, ParamBlock block) {
    ParamReader reader(cmd::base::CopyValue, block);
    const uint32_t setCommand = reader.U32();
    Actor *source = reader.ActorPtr();
    const uint32_t getCommand = reader.U32();
    if (source == nullptr) {
        return;
    }
    size_t size = sizeof(Matrix);
    const CommandInfo *getInfo = FindCommandInfo(getCommand);
    if (getInfo != nullptr) {
        if (getInfo->nativeParamBytes < 0) {
            size = kVariableAnswerBytes;
        } else {
            size = std::max(size, static_cast<size_t>(getInfo->nativeParamBytes));
        }
    }
    std::vector<uint8_t> scratch(size, 0); // this call's own block
    ParamBlock view(scratch.data(), scratch.size());
    ExecuteCommand(source, getCommand, view);
    // The answer is handed on as it is when the two commands take the same
    // parameters, or when the set command's block, with the nested commands
    // the answer names, holds no pointer: words and floats that a script
    // chose never become an address.
    const CommandInfo *setInfo = FindCommandInfo(setCommand);
    const bool sameTypes = getInfo != nullptr && setInfo != nullptr && !getInfo->paramTypes.empty() &&
                           getInfo->paramTypes == setInfo->paramTypes;
    if (!sameTypes && ParamBlockMayHoldPointer(setCommand, view)) {
        return;
    }
    ExecuteCommand(&actor, setCommand, view);
}

void TimedCommandLerp(Actor &actor, ParamBlock block) {
    const float delay = block.ReadF32(0);
    const float duration = block.ReadF32(4);
    // The block from the duration on: {t, from, to}.
    actor.ScheduleCommand(cmd::base::CommandLerp, block.Sub(4), kInterpolateNotSaved, delay,
                          delay + duration,
                          0.0f);
}

void CommandLerp(Actor &actor, ParamBlock block) {
    ParamReader reader(cmd::base::CommandLerp, block);
    const float t = reader.F32();
    const ParamReader::Nested from = reader.Command();
    const ParamReader::Nested to = reader.Command();
    if (from.id != to.id) {
        return;
    }
    ParamBlockResult result; // this call's own block
    if (!InterpolateCommandParams(&result, t, from.id, from.block, to.block)) {
        return;
    }
    std::vector<uint8_t> bytes = result.ToVector();
    ExecuteCommand(&actor, from.id, ParamBlock(bytes.data(), bytes.size()));
}

float QueryFloat(Actor &actor, uint32_t commandId) {
    float value = 0.0f;
    SendSelf(actor, commandId, BlockOf(value));
    return value;
}

void SendFloat(Actor &actor, uint32_t commandId, float value) {
    SendSelf(actor, commandId, BlockOf(value));
}

// --- scripts ----------------------------------------------------------------------------

void RunScriptsNamed(Actor &actor, std::string_view name) {
    ScriptRunScope scope(&actor);
    for (size_t i = 0; i < actor.scripts.size(); ++i) {
        ScriptRecord *script = actor.scripts[i].get();
        if (script != nullptr && !script->dead && script->name == name) {
            RunHeldScript(&actor, script, nullptr);
        }
    }
}

void ExecuteText(Actor &actor, std::string_view text) {
    auto script = std::make_unique<ScriptRecord>();
    script->name = "__tmp";
    script->source = std::string(text);
    script->owner = &actor;
    ScriptRecord *record = script.get();
    ScriptRunScope scope(&actor);
    actor.scripts.push_back(std::move(script));
    // Trailing "__tmp" scripts go when no run of this actor is left: at the
    // end of this scope, or of the run that sent this command.
    actor.trimTempScripts = true;
    RunActorScript(record, nullptr);
}

void DeleteScript(Actor &actor, std::string_view name) {
    RemoveActorScript(&actor, FindActorScript(&actor, name));
}

// Serves the base commands of this file; false for an id it does not serve.
// `early` is set for the commands that return before the event scripts.
bool HandleBaseCommand(Actor &actor, uint32_t commandId, ParamBlock block, bool &early) {
    switch (commandId) {
    // Naming, state, master.
    case cmd::base::SetName:
        SetName(actor, block.ReadString(0));
        return true;
    case cmd::base::GetName:
        block.WriteString(0, actor.name);
        return true;
    case cmd::base::SetEnabled: {
        early = true;
        const bool on = ReadBool(block);
        if (on != ((actor.state & kActorEnabled) != 0)) {
            SendSelf(actor, on ? cmd::base::Start : cmd::base::Stop);
        }
        return true;
    }
    case cmd::base::GetEnabled:
        early = true;
        block.WriteU32(0, (actor.state & kActorEnabled) != 0 ? 1u : 0u);
        return true;
    case cmd::base::Start:
        SendFloat(actor, cmd::base::ActionStartValue, 1.0f);
        return true;
    case cmd::base::Stop:
        SendFloat(actor, cmd::base::ActionStartValue, 0.0f);
        return true;
    case cmd::base::SetOperational:
        SetOperational(actor, block);
        return true;
    case cmd::base::GetOperational:
        block.WriteU32(0, actor.IsOperational() ? 1u : 0u);
        return true;
    case cmd::base::SetMaster:
        SetBit(actor.flags, kActorMaster, ReadBool(block));
        return true;
    case cmd::base::GetMaster:
        block.WriteU32(0, actor.HasFlag(kActorMaster) ? 1u : 0u);
        return true;

    // Initialisation, lifecycle and tree.
    case cmd::base::InitNew:
    case cmd::base::InitLoad:
    case cmd::base::InitCopy:
        Initialise(actor, commandId);
        return true;
    case cmd::base::Delete:
        ActorSystem::QueueActorForDeletion(&actor);
        actor.ReleaseGlobalSlot();
        // Renamed by the first "Delete", whatever queued the actor before;
        // a later one leaves the name, which would otherwise grow with every
        // delete.
        if (!actor.HasFlag(kActorRenamedForDeletion)) {
            actor.flags |= kActorRenamedForDeletion;
            actor.name = "__" + actor.name;
        }
        return true;
    case cmd::base::Create:
        Create(actor, block);
        return true;
    case cmd::base::BuildTree:
        if (!BuildTree(actor)) {
            early = true;
        }
        return true;
    case cmd::base::PrecalculateRecursive:
        if (!actor.HasFlag(kActorPrecalculated) && actor.IsOperational()) {
            Precalculate(actor);
        }
        SendToChildren(actor, cmd::base::PrecalculateRecursive, block);
        return true;
    case cmd::base::Precalculate:
        PrecalculateSelf(actor);
        return true;
    case cmd::base::InvalidateDrawgroupID:
        RemoveActorFromDrawGroup(&actor, 0);
        actor.drawGroupId = -1;
        actor.flags &= ~kActorInDrawGroup;
        return true;
    case cmd::base::SetDrawGroup:
        SetDrawGroup(actor, block.ReadI32(0));
        return true;
    case cmd::draw_group::GetInheritDrawgroupID:
        block.WriteU32(0, 1);
        return true;
    case cmd::draw_group::GetAssignDrawgroupID:
        if (actor.drawGroupId == -1) {
            for (Actor *a = actor.parent; a != nullptr; a = a->parent) {
                if (a->drawGroupId != -1) {
                    actor.drawGroupId = a->drawGroupId;
                    actor.flags |= kActorDrawGroupInherited;
                    break;
                }
            }
        }
        return true;
    case cmd::base::CallbackChildRemoved:
        ChildRemoved(actor, block);
        return true;
    case cmd::base::CallbackMovedInTree:
        if (actor.parent != nullptr) {
            ParamBlock inner = BlockOf(actor.parent->drawGroupId);
            SendRecursive(&actor, cmd::base::SetDrawGroup, &inner);
        }
        return true;
    case cmd::base::NOSpawned:
        if (auto *out = static_cast<std::vector<Actor *> *>(block.ReadPointer(0))) {
            out->push_back(&actor);
            SendToChildren(actor, cmd::base::NOSpawned, block);
        }
        return true;
    case cmd::base::SetSavedRecursive:
        SetBit(actor.flags, kActorSaved, ReadBool(block));
        SendToChildren(actor, cmd::base::SetSavedRecursive, block);
        return true;
    case cmd::base::CollectDescendants:
    case cmd::base::FindChildByClass:
    case cmd::base::FindDescendantByClass:
    case cmd::base::FindChildByName:
    case cmd::base::FindDescendantByName:
        HandleTreeQuery(&actor, commandId, block);
        return true;

    // Transforms.
    case cmd::base::SetPosition:
        actor.position = ReadVector3(block);
        actor.InvalidateTransform();
        return true;
    case cmd::base::GetPosition:
        block.Write(0, actor.position);
        return true;
    case cmd::base::SetScale:
        actor.scale = ReadVector3(block);
        actor.InvalidateTransform();
        return true;
    case cmd::base::GetScale:
        block.Write(0, actor.scale);
        return true;
    case cmd::base::PositionAdd: {
        const Vector3 d = ReadVector3(block);
        actor.position = {actor.position.x + d.x, actor.position.y + d.y, actor.position.z + d.z};
        actor.InvalidateTransform();
        return true;
    }
    case cmd::base::SetQuaternion:
        actor.rotation = block.Read<Quaternion>(0);
        actor.InvalidateTransform();
        return true;
    case cmd::base::GetQuaternion:
        block.Write(0, actor.rotation);
        return true;
    case cmd::base::QuaternionMultiply: {
        const Quaternion given = block.Read<Quaternion>(0);
        const Quaternion current = actor.rotation;
        QuaternionMultiply(&actor.rotation, current, given);
        actor.InvalidateTransform();
        return true;
    }
    case cmd::base::QuaternionIdentity:
        actor.rotation = {0.0f, 0.0f, 0.0f, 1.0f};
        actor.InvalidateTransform();
        return true;
    case cmd::base::GetWSPosition:
    case cmd::base::GetCenterPoint:
    case cmd::base::GetVisionPoint:
        block.Write(0, WorldPositionOf(actor));
        return true;
    case cmd::base::GetWSQuaternion: {
        Quaternion q;
        QuaternionFromMatrix(&q, actor.GetWorldMatrix());
        block.Write(0, q);
        return true;
    }
    case cmd::base::SetMatrix:
        SetMatrix(actor, block);
        return true;
    case cmd::base::SetLocalMatrix:
        SetLocalMatrix(actor, block);
        return true;
    case cmd::base::GetMatrix:
        WriteMatrix(block, actor.GetWorldMatrix());
        return true;
    case cmd::base::InvalidateMatrix:
        actor.InvalidateTransform();
        return true;
    case cmd::base::CalculateMatrix:
        if (!actor.HasFlag(kActorWorldMatrixValid)) {
            actor.UpdateWorldMatrix();
        }
        return true;
    case cmd::base::CalculateInverseMatrix:
        if (!actor.HasFlag(kActorInverseMatrixValid)) {
            actor.UpdateInverseWorldMatrix();
        }
        return true;
    case cmd::base::SetOrientation:
        if (Actor *other = block.ReadActor(0)) {
            Matrix m = other->GetWorldMatrix();
            // The placement of an actor that holds a number that is not
            // finite stays that actor's own.
            if (MatrixIsFinite(m)) {
                SendSelf(actor, cmd::base::SetMatrix, BlockOf(m));
            }
        }
        return true;
    case cmd::base::InvalidateOldPosition:
        InvalidateOldPosition(actor);
        return true;
    case cmd::base::SetDeltaPosition:
        actor.deltaPosition = ReadVector3(block);
        return true;
    case cmd::base::GetDeltaPosition:
        block.Write(0, actor.deltaPosition);
        return true;

    // Forwarding, conditions and scheduling.
    case cmd::base::CurDG:
        SendToDrawGroups(actor, block, true, false);
        return true;
    case cmd::base::CurNearDG:
        SendToDrawGroups(actor, block, false, true);
        return true;
    case cmd::base::CurDGAndNearDG:
        SendToDrawGroups(actor, block, true, true);
        return true;
    case cmd::base::CommandChildren: {
        const uint32_t id = block.ReadU32(0);
        const ParamBlock inner = block.Sub(4);
        for (const auto &ref : SnapshotChildren(&actor)) {
            if (Actor *child = ResolveChild(&actor, ref)) {
                ExecuteCommand(child, id, inner);
            }
        }
        return true;
    }
    case kRecursiveCommandId:
        RecursiveCommand(actor, block);
        return true;
    case cmd::base::TimerCommand: {
        const float delay = block.ReadF32(0);
        const uint32_t id = block.ReadU32(4);
        if (id != kRecursiveCommandId) {
            actor.ScheduleCommand(id, block.Sub(8), kOnceSaved, delay, 0.0f, 0.0f);
        }
        return true;
    }
    case cmd::base::RandCommand:
        RandCommand(actor, block);
        return true;
    case cmd::base::RandElseCommand:
        RandElseCommand(block);
        return true;
    case cmd::base::IfCommand:
    case cmd::base::IfNotCommand:
    case cmd::base::ConditionCommand:
        IfCommand(actor, commandId, block);
        return true;
    case cmd::base::IfElseCommand:
        IfElseCommand(block);
        return true;
    case cmd::base::CopyValue:
        CopyValue(actor, block);
        return true;
    case cmd::base::DeleteTimerCommandsByCMD:
    case cmd::base::MCMDDeleteByCommand:
        actor.CancelScheduledCommands(block.ReadU32(0));
        return true;
    case cmd::base::TimedCommandLerp:
        TimedCommandLerp(actor, block);
        return true;
    case cmd::base::CommandLerp:
        CommandLerp(actor, block);
        return true;
    case cmd::base::AddCurrentTime:
        SendFloat(actor, cmd::base::SetCurrentTime,
                  QueryFloat(actor, cmd::base::GetCurrentTime) + block.ReadF32(0));
        return true;
    case cmd::base::SetCurrentNormalizedTime:
        SendFloat(actor, cmd::base::SetCurrentTime,
                  block.ReadF32(0) * QueryFloat(actor, cmd::base::GetTotalTime));
        return true;
    case cmd::base::GetCurrentNormalizedTime: {
        const float current = QueryFloat(actor, cmd::base::GetCurrentTime);
        const float total = QueryFloat(actor, cmd::base::GetTotalTime);
        // Without a total time (no animated class answered) there is no
        // position to give: 0 rather than a division by zero.
        block.WriteF32(0, total != 0.0f ? current / total : 0.0f);
        return true;
    }
    case cmd::base::LoadAndUnloadResources:
        SendSelf(actor, cmd::base::LoadResources);
        SendSelf(actor, cmd::base::UnloadResources);
        return true;
    case cmd::base::LoadResourcesRecursive:
    case cmd::base::UnloadResourcesRecursive: {
        const uint32_t id = commandId == cmd::base::LoadResourcesRecursive
                                ? cmd::base::LoadResources
                                : cmd::base::UnloadResources;
        for (const auto &ref : SnapshotChildren(&actor)) {
            if (Actor *child = ResolveChild(&actor, ref)) {
                SendRecursive(child, id, nullptr);
            }
        }
        return true;
    }
    case cmd::base::ConnectToTimeInstance:
        if (Actor *instance = block.ReadActor(0)) {
            SendCommandArgs(instance, cmd::time_instance::TimeinstanceConnectActor, &actor);
        }
        return true;
    case cmd::base::FastDebug:
        DebugTint(block.ReadU32(0), block.ReadU32(4), block.ReadU32(8), block.ReadU32(12));
        return true;
    case cmd::base::Process:
        actor.Process();
        return true;
    case cmd::base::BaseProcess:
        actor.BaseProcess();
        return true;

    // Command spies.
    case cmd::base::AddCommandSpy:
        AddCommandSpy(&actor, ActorTableEntry(block.ReadI32(0)));
        return true;
    case cmd::base::RemoveCommandSpy:
        RemoveCommandSpy(&actor, ActorTableEntry(block.ReadI32(0)));
        return true;
    case cmd::base::RemoveAllCommandSpy:
        RemoveAllCommandSpies(&actor);
        return true;

    // Scripts.
    case cmd::base::ScriptExecut:
        if (auto *script = static_cast<ScriptRecord *>(block.ReadPointer(0))) {
            RunHeldScript(script->owner, script, &actor);
        }
        return true;
    case cmd::base::FindScript:
        if (const char *name = static_cast<const char *>(block.ReadPointer(0))) {
            block.WritePointer(sizeof(void *), FindActorScript(&actor, name));
        }
        return true;
    case cmd::base::ScriptExecute:
    case cmd::base::SafeScriptExecute:
        RunScriptsNamed(actor, std::string(block.ReadString(0)));
        return true;
    case cmd::base::ExecuteText:
        ExecuteText(actor, block.ReadString(0));
        return true;
    case cmd::base::DeleteScript:
        DeleteScript(actor, block.ReadString(0));
        return true;
    default:
        return false;
    }
}

} // namespace

int ExecuteCommand(Actor *target, uint32_t commandId, ParamBlock block) {
    if (target == nullptr || commandId == kRecursiveCommandId) {
        return 0;
    }
    return target->HandleCommand(commandId, block);
}

Vector3 WorldPositionOf(Actor &actor) { return actor.GetWorldPosition(); }

bool MakeScheduledCommandLive(ScheduledCommand *entry) {
    if (entry == nullptr || (entry->state & kEntryPortable) == 0) {
        return true;
    }
    ParamBlockResult result;
    const bool ok =
        ParamBlockFromPortable(entry->owner, &result, entry->command,
                               ParamBlock::ReadOnly(entry->params.get(), entry->paramSize));
    if (!ok) {
        // Never delivered: the block cannot be made live. The mark stays, so
        // every later attempt refuses it too until the entry is gone.
        ActorSystem::CancelScheduledCommand(entry);
        return false;
    }
    entry->state &= ~kEntryPortable;
    if (result.borrowed()) {
        // No pointer at any depth: the stored bytes are the live ones, as far
        // as the command's types reach. What a file holds beyond them is no
        // parameter, and a command registered without types gets no bytes
        // (its handler reads zeros), as when the engine schedules it.
        if (result.size() < entry->paramSize) {
            entry->paramSize = static_cast<uint32_t>(result.size());
            if (entry->paramSize == 0) {
                entry->params.reset();
            }
        }
        return true;
    }
    const size_t size = result.size();
    std::unique_ptr<uint8_t[]> bytes;
    if (size != 0) {
        bytes = std::make_unique<uint8_t[]>(size);
        std::memcpy(bytes.get(), result.data(), size);
    }
    entry->params = std::move(bytes);
    entry->paramSize = static_cast<uint32_t>(size);
    GuardScheduledActors(entry);
    return true;
}

// Most actors have neither spies nor scripts: the two steps are called only
// for those that do, which keeps this path, taken by every delivery, short.
int Actor::HandleCommand(uint32_t commandId, ParamBlock block) {
    if (!spies.empty()) {
        NotifySpies(*this, commandId, block);
    }
    bool early = false;
    if (!HandleBaseCommand(*this, commandId, block, early) &&
        !HandleActionCommand(*this, commandId, block)) {
        HandleCollisionCommand(*this, commandId, block);
    }
    if (!early && !scripts.empty()) {
        RunEventScripts(*this, commandId);
    }
    return 1;
}
