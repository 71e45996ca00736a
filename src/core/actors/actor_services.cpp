#include "core/actors/actor_services.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "core/actors/actor.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_factory.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "core/actors/command_table.h"
#include "core/actors/param_convert.h"

namespace {

NetTransport g_transport;

// Is actor the root of the subtree or inside it?
bool InSubtree(const Actor *actor, const Actor *root) {
    for (const Actor *a = actor; a != nullptr; a = a->parent) {
        if (a == root) {
            return true;
        }
    }
    return false;
}

// Removes the first child with the actor's id (the actor itself when it is
// outside the table).
void UnlinkFromParent(Actor *actor) {
    Actor *parent = actor->parent;
    if (parent == nullptr) {
        return;
    }
    parent->children.RemoveFirst(actor);
    actor->parent = nullptr;
}

void LinkToParent(Actor *actor, Actor *parent) {
    parent->children.push_back(actor);
    actor->parent = parent;
    actor->parentId = parent->actorId;
}

// Undoes what the factory did for an actor whose "Create" answered 0, and
// only that: a template copy carries the template's id and parent by then,
// and a removal by id would take the template out of its parent's list. The
// actor leaves the lists that hold it itself (the one it was made under,
// and one it may have moved to), lets go of the entries that are not its
// own children, and goes with its own subtree.
void DropRefusedActor(Actor *actor, Actor *parent, int32_t id) {
    for (Actor *holder : {parent, actor->parent}) {
        if (holder != nullptr) {
            holder->children.RemoveAll(actor);
        }
    }
    actor->parent = nullptr;
    actor->children.RemoveWhere(
        [actor](const Actor *child) { return child == nullptr || child->parent != actor; });
    actor->actorId = id;
    if (ActorTableEntry(id) == actor) {
        SetActorTableEntry(static_cast<size_t>(id), nullptr);
    }
    delete actor;
}

// {actor, parent}: the block of the tree callbacks.
struct TreeCallbackBlock {
    Actor *actor;
    Actor *parent;
    ParamBlock View() { return ParamBlock(this, sizeof(*this)); }
};

// Is the actor still alive? Table actors are looked up again; an actor
// outside the table cannot be checked and counts as alive.
bool StillThere(const ChildRef &ref) {
    return ref.id < 0 || ActorTableEntry(ref.id) == ref.pointer;
}

// Sends the first command to start and the second to each of its ancestors.
// The chain is taken before the first delivery; an ancestor that a handler
// destroys is skipped.
void SendTreeCallbacks(Actor *start, uint32_t first, uint32_t further, Actor *actor) {
    std::vector<ChildRef> chain;
    for (Actor *a = start; a != nullptr; a = a->parent) {
        chain.push_back({a->actorId, a});
    }
    for (size_t i = 0; i < chain.size(); ++i) {
        if (!StillThere(chain[i])) {
            continue;
        }
        TreeCallbackBlock block{actor, start};
        chain[i].pointer->HandleCommand(i == 0 ? first : further, block.View());
    }
}

// The command's parameters as a zero-filled native block of the command's
// size, then in the portable layout seen from context. An id without a
// record has no parameters. False when the block cannot be converted.
bool PortableParams(uint32_t commandId, ParamBlock block, Actor *context,
                    std::vector<uint8_t> *out) {
    out->clear();
    const CommandInfo *info = FindCommandInfo(commandId);
    if (info == nullptr || !info->registered()) {
        return true;
    }
    size_t n = info->nativeParamBytes >= 0 ? static_cast<size_t>(info->nativeParamBytes)
                                           : CommandParamSize(commandId, block);
    std::vector<uint8_t> native(n, 0);
    block.ReadBytes(0, native.data(), n);
    ParamBlockResult result;
    if (!ParamBlockToPortable(context, &result, commandId,
                              ParamBlock::ReadOnly(native.data(), native.size()))) {
        return false;
    }
    *out = result.ToVector();
    return true;
}

void NetSend(ActorSystem *system, bool toRecipient, uint32_t recipient, uint32_t actorId,
             uint32_t commandId, ParamBlock block) {
    // "Recursive Command" carries an in-memory block: it is never logged
    // nor sent.
    if (commandId == kRecursiveCommandId) {
        return;
    }
    const bool record = system->recordMode == 2;
    const bool send = g_NetworkEnabled != 0 && system->networkSync != 0;
    if (!record && !send) {
        return;
    }
    std::vector<uint8_t> params;
    if (!PortableParams(commandId, block, GetActorById(actorId), &params)) {
        return;
    }
    if (send) {
        NetMessage message;
        message.bytes.resize(params.size() + 8);
        std::memcpy(message.bytes.data(), &commandId, 4);
        std::memcpy(message.bytes.data() + 4, &actorId, 4);
        if (!params.empty()) {
            std::memcpy(message.bytes.data() + 8, params.data(), params.size());
        }
        if (toRecipient) {
            SendNetMessageTo(recipient, message);
        } else {
            SendNetMessage(message);
        }
    }
    if (record) {
        system->commandLog.push_back({system->commandStamp, actorId, commandId, std::move(params)});
    }
}

// Grows the table to size entries (never shrinks it). The new slots are
// copied from a block of empty ones, which is a block copy in every build
// (a fill runs slot by slot where the code is instrumented), and the storage
// at least doubles, so that growing by small steps stays linear.
void GrowTable(size_t size) {
    if (ActorTable.size() >= size) {
        return;
    }
    static Actor *const kEmptySlots[4096] = {};
    if (ActorTable.capacity() < size) {
        ActorTable.reserve(std::max(size, 2 * ActorTable.capacity()));
    }
    while (ActorTable.size() < size) {
        const size_t step = std::min(size - ActorTable.size(), std::size(kEmptySlots));
        ActorTable.insert(ActorTable.end(), kEmptySlots, kEmptySlots + step);
    }
}

} // namespace

// --- tree queries ---------------------------------------------------------------

std::vector<ChildRef> SnapshotChildren(const Actor *actor) {
    std::vector<ChildRef> refs;
    refs.reserve(actor->children.size());
    for (Actor *child : actor->children) {
        if (child != nullptr) {
            refs.push_back({child->actorId, child});
        }
    }
    return refs;
}

Actor *ResolveChild(const Actor *parent, const ChildRef &ref) {
    Actor *child = nullptr;
    if (ref.id >= 0) {
        child = ActorTableEntry(ref.id);
    } else if (std::find(parent->children.begin(), parent->children.end(), ref.pointer) !=
               parent->children.end()) {
        child = ref.pointer; // outside the table, still a child
    }
    return child != nullptr && child->parent == parent ? child : nullptr;
}

bool HandleTreeQuery(Actor *actor, uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::base::CollectDescendants: {
        const int32_t wanted = block.ReadI32(0);
        const int32_t skipped = block.ReadI32(4);
        auto *out = static_cast<std::vector<Actor *> *>(block.ReadPointer(8));
        for (const ChildRef &ref : SnapshotChildren(actor)) {
            Actor *child = ResolveChild(actor, ref);
            if (child == nullptr ||
                (skipped != -1 && static_cast<int32_t>(child->classId) == skipped)) {
                continue;
            }
            if (out != nullptr &&
                (wanted == -1 || static_cast<int32_t>(child->classId) == wanted)) {
                out->push_back(child);
            }
            child->HandleCommand(cmd::base::CollectDescendants, block);
        }
        return true;
    }
    case cmd::base::FindChildByClass:
    case cmd::base::FindDescendantByClass: {
        const int32_t wanted = block.ReadI32(0);
        for (const ChildRef &ref : SnapshotChildren(actor)) {
            Actor *child = ResolveChild(actor, ref);
            if (child == nullptr) {
                continue;
            }
            if (static_cast<int32_t>(child->classId) == wanted) {
                block.WriteActor(4, child);
                return true;
            }
            if (commandId == cmd::base::FindDescendantByClass) {
                child->HandleCommand(commandId, block);
                if (block.ReadActor(4) != nullptr) {
                    return true;
                }
            }
        }
        return true;
    }
    case cmd::base::FindChildByName:
    case cmd::base::FindDescendantByName: {
        const auto *text = static_cast<const char *>(block.ReadPointer(0));
        if (text == nullptr) {
            return true;
        }
        const std::string_view name(text);
        if (commandId == cmd::base::FindChildByName) {
            // No handler runs during this walk, so the list holds still and
            // needs no snapshot.
            for (Actor *listed : actor->children) {
                if (listed == nullptr) {
                    continue;
                }
                Actor *child = ResolveChild(actor, {listed->actorId, listed});
                if (child != nullptr && child->name == name) {
                    block.WriteActor(8, child);
                    return true;
                }
            }
            return true;
        }
        for (const ChildRef &ref : SnapshotChildren(actor)) {
            Actor *child = ResolveChild(actor, ref);
            if (child == nullptr) {
                continue;
            }
            if (child->name == name) {
                block.WriteActor(8, child);
                return true;
            }
            if (commandId == cmd::base::FindDescendantByName) {
                child->HandleCommand(commandId, block);
                if (block.ReadActor(8) != nullptr) {
                    return true;
                }
            }
        }
        return true;
    }
    default:
        return false;
    }
}

Actor *FindChildByName(Actor *actor, const char *name) {
    if (actor == nullptr || name == nullptr) {
        return nullptr;
    }
    uint8_t block[16] = {};
    std::memcpy(block, &name, sizeof(name));
    actor->HandleCommand(cmd::base::FindChildByName, ParamBlock(block, sizeof(block)));
    return ParamBlock(block, sizeof(block)).ReadActor(8);
}

Actor *FindDescendantByName(Actor *actor, const char *name) {
    if (actor == nullptr || name == nullptr) {
        return nullptr;
    }
    uint8_t block[16] = {};
    std::memcpy(block, &name, sizeof(name));
    actor->HandleCommand(cmd::base::FindDescendantByName, ParamBlock(block, sizeof(block)));
    return ParamBlock(block, sizeof(block)).ReadActor(8);
}

Actor *FindDescendantByClass(Actor *actor, int32_t classId) {
    if (actor == nullptr) {
        return nullptr;
    }
    uint8_t block[12] = {};
    std::memcpy(block, &classId, sizeof(classId));
    actor->HandleCommand(cmd::base::FindDescendantByClass, ParamBlock(block, sizeof(block)));
    return ParamBlock(block, sizeof(block)).ReadActor(4);
}

// --- sending ----------------------------------------------------------------------

namespace {

uint32_t g_deliveryDepth = 0;
// Actors taken out while a delivery ran, destroyed when the last one ends.
std::vector<Actor *> g_deferredDestruction;

// Takes the actor and its subtree out of the table, the global slots and the
// schedule now; the objects stay until the deliveries end.
void DeferDestruction(Actor *actor) {
    UnlinkFromParent(actor);
    std::vector<Actor *> pending{actor};
    while (!pending.empty()) {
        Actor *a = pending.back();
        pending.pop_back();
        if (a->actorId >= 0 && ActorTableEntry(a->actorId) == a) {
            SetActorTableEntry(static_cast<size_t>(a->actorId), nullptr);
        }
        a->ReleaseGlobalSlot();
        const std::vector<ScheduledCommand *> entries = a->scheduledCommands;
        for (ScheduledCommand *entry : entries) {
            if (entry != nullptr && entry->owner == a) {
                ActorSystem::DeleteScheduledCommand(entry);
            }
        }
        a->baseProcessEntry = nullptr;
        a->processEntry = nullptr;
        a->awaitingDestruction = true;
        NotifyActorGone(a);
        for (Actor *child : a->children) {
            if (child != nullptr) {
                pending.push_back(child);
            }
        }
    }
    g_deferredDestruction.push_back(actor);
}

// A destructor may deliver commands again (and defer more); the list is
// drained until it stays empty.
[[gnu::noinline]] void DestroyDeferred() {
    while (g_deliveryDepth == 0 && !g_deferredDestruction.empty()) {
        Actor *actor = g_deferredDestruction.back();
        g_deferredDestruction.pop_back();
        delete actor;
    }
}

} // namespace

ActorDeliveryScope::ActorDeliveryScope() { ++g_deliveryDepth; }

ActorDeliveryScope::~ActorDeliveryScope() {
    if (--g_deliveryDepth == 0 && !g_deferredDestruction.empty()) {
        DestroyDeferred();
    }
}

uint32_t ActorDeliveryDepth() { return g_deliveryDepth; }

uint32_t SendCommand(uint32_t actorId, uint32_t commandId, ParamBlock block) {
    // GetActorById, without the call.
    Actor *actor = actorId < ActorTable.size() ? ActorTable[actorId] : nullptr;
    if (actor == nullptr) {
        return 0;
    }
    ActorDeliveryScope delivery;
    return static_cast<uint32_t>(actor->HandleCommand(commandId, block));
}

// BroadcastCommand lives beside the table's id walk (actor_system.cpp).

uint32_t SendCommandToChildren(Actor *actor, uint32_t commandId, ParamBlock block) {
    if (actor == nullptr) {
        return 0;
    }
    ActorDeliveryScope delivery;
    for (const ChildRef &ref : SnapshotChildren(actor)) {
        if (Actor *child = ResolveChild(actor, ref)) {
            child->HandleCommand(commandId, block);
        }
    }
    return 1;
}

std::vector<Actor *> FindActorsByName(std::string_view name, int32_t classId) {
    std::vector<Actor *> found;
    for (size_t id = 1; id < ActorTable.size(); ++id) {
        Actor *actor = ActorTable[id];
        if (actor != nullptr && static_cast<int32_t>(actor->classId) == classId &&
            actor->name == name) {
            found.push_back(actor);
        }
    }
    return found;
}

void PrecalculateAll() { SendCommand(0, cmd::base::PrecalculateRecursive, ParamBlock()); }

// --- ids and the factory --------------------------------------------------------------

namespace {

// Where the search for free ids starts. Below it every free id is followed by
// a taken one inside the table: no run of two or more free ids, and no run at
// the table's end, begins there, so a search for one id or more, which takes
// the first run longer than its count, never ends below it. Emptied slots
// move it back; a table that shrank moves it back to the first free id.
// Once slots are found stored around SetActorTableEntry, whoever stores them
// may also empty them unseen, and every search starts from the first free id.
size_t g_freeIdSearchFrom = kFirstFreeActorId;
size_t g_freeIdTableSize = 0;
bool g_actorsStoredAround = false;

size_t FreeIdSearchStart(uint32_t count) {
    const size_t emptied = TakeLowestEmptiedActorId();
    if (emptied == 0) {
        // The table was started anew.
        g_actorsStoredAround = false;
        g_freeIdSearchFrom = kFirstFreeActorId;
    } else if (emptied != SIZE_MAX) {
        g_freeIdSearchFrom =
            std::min(g_freeIdSearchFrom, std::max<size_t>(emptied, kFirstFreeActorId + 1) - 1);
    }
    if (ActorTable.size() < g_freeIdTableSize) {
        g_freeIdSearchFrom = kFirstFreeActorId;
    }
    g_freeIdTableSize = ActorTable.size();
    return count == 0 || g_actorsStoredAround ? kFirstFreeActorId : g_freeIdSearchFrom;
}

} // namespace

uint32_t FindFreeActorIds(uint32_t count) {
    for (;;) {
        const uint64_t size = ActorTable.size();
        // The first run of free ids longer than count, else the free ids at
        // the table's end (none: its length), found from actor to actor.
        const uint64_t start = FreeIdSearchStart(count);
        uint64_t candidate = start;
        // The first run of two or more free ids passed on the way.
        uint64_t firstWide = UINT64_MAX;
        while (candidate < size) {
            const uint64_t taken = NextActorId(static_cast<size_t>(candidate));
            if (taken >= size || taken - candidate > count) {
                break;
            }
            if (taken - candidate >= 2 && firstWide == UINT64_MAX) {
                firstWide = candidate;
            }
            candidate = taken + 1;
        }
        // The run must really be free. When it is not, actors were stored
        // without SetActorTableEntry: every actor from the run on is noted
        // and the search starts again.
        const uint64_t runEnd = std::min<uint64_t>(candidate + count, size);
        const auto slot = [](uint64_t id) {
            return ActorTable.begin() + static_cast<std::ptrdiff_t>(id);
        };
        if (candidate < runEnd && std::any_of(slot(candidate), slot(runEnd),
                                              [](const Actor *a) { return a != nullptr; })) {
            g_actorsStoredAround = true;
            for (size_t id = static_cast<size_t>(candidate); id < size; ++id) {
                if (Actor *actor = ActorTable[id]) {
                    SetActorTableEntry(id, actor);
                }
            }
            continue;
        }
        g_freeIdSearchFrom = static_cast<size_t>(std::min(candidate, firstWide));
        // Ids past the limit are never handed out, and the table never
        // grows for them.
        if (candidate + (count > 0 ? count - 1 : 0) > kMaxActorId) {
            return 0;
        }
        if (candidate + count <= size) {
            return static_cast<uint32_t>(candidate);
        }
        const uint64_t grown =
            std::min<uint64_t>(candidate + count + 100, uint64_t{kMaxActorId} + 1);
        if (grown <= size) {
            return 0;
        }
        // The run now ends inside the table, and the slots added are empty.
        GrowTable(static_cast<size_t>(grown));
        g_freeIdTableSize = ActorTable.size();
        return static_cast<uint32_t>(candidate);
    }
}

namespace {

// The classes the factory makes.
bool FactoryMakes(uint32_t classNumber) {
    return classNumber <= kHighestClassId && classNumber != kActorSystemClassId &&
           classNumber != kNullActorClassId && GetActorClassRow(classNumber).construct != nullptr;
}

// A new actor takes the slot: the actor there leaves with its subtree.
void ReplaceOccupant(Actor *occupant, int32_t id) {
    if (g_deliveryDepth > 0) {
        DeferDestruction(occupant);
    } else {
        UnlinkFromParent(occupant);
        SetActorTableEntry(static_cast<size_t>(id), nullptr);
        delete occupant;
    }
}

} // namespace

Actor *MakeUnplacedActor(int32_t classId) {
    const auto classNumber = static_cast<uint32_t>(classId);
    return FactoryMakes(classNumber) ? ConstructActorOfClass(classNumber) : nullptr;
}

bool PlaceActor(Actor *actor, int32_t id) {
    if (actor == nullptr || id < kFirstUserActorId || static_cast<uint32_t>(id) > kMaxActorId) {
        return false;
    }
    if (static_cast<size_t>(id) >= ActorTable.size()) {
        GrowTable(static_cast<size_t>(id) + 1023);
    }
    if (Actor *occupant = ActorTableEntry(id)) {
        ReplaceOccupant(occupant, id);
    }
    SetActorTableEntry(static_cast<size_t>(id), actor);
    actor->actorId = id;
    return true;
}

Actor *CreateActor(int32_t classId, std::string_view name, Actor *templateActor, Actor *parent,
                   int32_t id, bool sendCreate) {
    ActorSystem *system = GetActorSystem();

    // Everything is checked before anything changes.
    const auto classNumber = static_cast<uint32_t>(classId);
    if (!FactoryMakes(classNumber)) {
        return nullptr;
    }
    // A null actor never takes children, nor does an actor waiting for its
    // destruction, which would take them along.
    if (parent != nullptr &&
        (parent->classId == kNullActorClassId || parent->awaitingDestruction)) {
        return nullptr;
    }
    if (id != -1 && static_cast<uint32_t>(id) > kMaxActorId) {
        return nullptr;
    }
    Actor *occupant = id >= 0 ? ActorTableEntry(id) : nullptr;
    if (occupant != nullptr) {
        // System actors are never replaced, and the replaced subtree must not
        // hold the parent or the template.
        if (id < kFirstUserActorId || InSubtree(parent, occupant) ||
            InSubtree(templateActor, occupant)) {
            return nullptr;
        }
    }
    if (id == -1) {
        const uint32_t freeId = FindFreeActorIds(1);
        if (freeId == 0) {
            return SetActorSystemError(system, "Error - No Free Actor ID."), nullptr;
        }
        id = static_cast<int32_t>(freeId);
    } else if (static_cast<size_t>(id) >= ActorTable.size()) {
        GrowTable(static_cast<size_t>(id) + 1023);
    }

    Actor *actor = ConstructActorOfClass(classNumber);
    if (actor == nullptr) {
        return nullptr;
    }
    if (occupant != nullptr) {
        ReplaceOccupant(occupant, id);
    }
    if (classNumber == 0 && templateActor != nullptr) {
        actor->CopyFrom(*templateActor);
    }
    SetActorTableEntry(static_cast<size_t>(id), actor);

    actor->actorId = id;
    actor->name = std::string(name);
    if (parent != nullptr) {
        LinkToParent(actor, parent);
    } else {
        actor->parent = nullptr;
        actor->parentId = -1;
    }

    if (sendCreate) {
        Actor *templatePointer = templateActor;
        ParamBlock block = templateActor != nullptr
                               ? ParamBlock(&templatePointer, sizeof(templatePointer))
                               : ParamBlock();
        if (actor->HandleCommand(cmd::base::Create, block) == 0) {
            DropRefusedActor(actor, parent, id);
            return nullptr;
        }
        if (templateActor != nullptr) {
            // Children are never copied by "Create": entries that are not
            // this actor's own go.
            actor->children.RemoveWhere(
                [actor](const Actor *child) { return child == nullptr || child->parent != actor; });
        }
    }

    actor->actorId = id;
    actor->name = std::string(name);
    // A template copy takes the template's class id with its base fields;
    // the object stays of the class it was made as.
    actor->classId = classNumber;
    // An actor that moved itself elsewhere in the tree while it was created
    // (starting its simulation moves it under "Scenery") stays there.
    Actor *movedTo = actor->parent;
    const bool moved = movedTo != nullptr && movedTo != parent &&
                       std::find(movedTo->children.begin(), movedTo->children.end(), actor) !=
                           movedTo->children.end();
    if (moved) {
        actor->parentId = movedTo->actorId;
    } else if (parent != nullptr) {
        actor->parent = parent;
        actor->parentId = parent->actorId;
    } else {
        // A template copy must not keep the template's parent, whose child
        // list does not hold it.
        actor->parent = nullptr;
        actor->parentId = -1;
    }
    return actor;
}

// --- deleting, moving, copying ------------------------------------------------------------

int DeleteActor(Actor *actor) {
    // A null actor, or one its slot does not hold (a NullActor), is never
    // destroyed.
    if (!IsInActorTable(actor)) {
        return 0;
    }
    const int32_t id = actor->actorId;
    if (id < kFirstUserActorId) {
        return SetActorSystemError(GetActorSystem(), "Error - Cant Delete System Actors");
    }
    if (actor->parent != nullptr) {
        SendTreeCallbacks(actor->parent, cmd::base::CallbackChildRemoved,
                          cmd::base::CallbackRelChildRemoved,
                          actor);
    }
    // A callback may have destroyed the actor already.
    if (ActorTableEntry(id) != actor) {
        return 1;
    }
    if (g_deliveryDepth > 0) {
        DeferDestruction(actor);
        return 1;
    }
    UnlinkFromParent(actor);
    SetActorTableEntry(static_cast<size_t>(id), nullptr);
    delete actor;
    return 1;
}

void DeleteAllChildren(Actor *actor) {
    while (actor != nullptr && !actor->children.empty()) {
        Actor *child = actor->children.back();
        const size_t before = actor->children.size();
        const bool deleted = child != nullptr && DeleteActor(child) != 0;
        if (actor->children.size() != before || actor->children.back() != child) {
            continue;
        }
        actor->children.pop_back();
        if (!deleted && child != nullptr && child->parent == actor) {
            child->parent = nullptr;
        }
    }
}

int ReparentActor(Actor *actor, Actor *newParent) {
    if (actor == nullptr || newParent == nullptr || actor->classId == kNullActorClassId) {
        return 0;
    }
    // An actor waiting for its destruction stays where it waits, and takes
    // no one in.
    if (actor->awaitingDestruction || newParent->awaitingDestruction) {
        return 0;
    }
    if (newParent->parent == nullptr) {
        return SetActorSystemError(GetActorSystem(), "Error - Cant Paste Objects In Root");
    }
    if (InSubtree(newParent, actor)) {
        return SetActorSystemError(GetActorSystem(), "Error - Cant Paste Objects Into Themselves");
    }

    Actor *oldParent = actor->parent;
    UnlinkFromParent(actor);
    LinkToParent(actor, newParent);
    actor->InvalidateTransform();

    const ChildRef self{actor->actorId, actor};
    if (oldParent != nullptr) {
        SendTreeCallbacks(oldParent, cmd::base::CallbackChildRemoved,
                          cmd::base::CallbackRelChildRemoved, actor);
    }
    SendTreeCallbacks(newParent, cmd::base::CallbackChildAdded, cmd::base::CallbackRelChildAdded,
                      actor);
    // A callback may have destroyed the actor.
    if (!StillThere(self)) {
        return 1;
    }

    actor->HandleCommand(cmd::base::CallbackMovedInTree, ParamBlock());
    for (const ChildRef &ref : SnapshotChildren(actor)) {
        if (Actor *child = ResolveChild(actor, ref)) {
            Actor *moved = actor;
            ParamBlock inner(&moved, sizeof(moved));
            SendRecursive(child, cmd::base::CallbackRelParentMovedInTree, &inner);
        }
    }
    return 1;
}

namespace {

// Copies the template under parent, then its children under the copy,
// depth first in child order. A refused copy skips its subtree.
Actor *CopySubtree(Actor *templateActor, Actor *parent) {
    Actor *copy = CreateActor(static_cast<int32_t>(templateActor->classId), templateActor->name,
                              templateActor, parent, -1, true);
    if (copy == nullptr) {
        return nullptr;
    }
    copy->parent = parent;
    copy->parentId = parent->actorId;
    const int32_t copyId = copy->actorId;
    for (const ChildRef &ref : SnapshotChildren(templateActor)) {
        Actor *child = ResolveChild(templateActor, ref);
        // A handler may have destroyed the copy meanwhile.
        if (ActorTableEntry(copyId) != copy) {
            break;
        }
        if (child != nullptr && child != copy) {
            CopySubtree(child, copy);
        }
    }
    return copy;
}

} // namespace

Actor *CopyActorTree(Actor *templateActor, Actor *parent) {
    if (templateActor == nullptr || parent == nullptr || parent->parent == nullptr) {
        return nullptr;
    }
    if (InSubtree(parent, templateActor)) {
        SetActorSystemError(GetActorSystem(), "Error - Cant Paste Objects Into Themselves");
        return nullptr;
    }
    Actor *copy = CopySubtree(templateActor, parent);
    if (copy == nullptr) {
        return nullptr;
    }
    const int32_t copyId = copy->actorId;
    uint32_t operational = 1;
    copy->HandleCommand(cmd::base::SetOperational, ParamBlock(&operational, sizeof(operational)));
    if (ActorTableEntry(copyId) != copy) {
        return nullptr;
    }
    copy->HandleCommand(cmd::base::PrecalculateRecursive, ParamBlock());
    copy->HandleCommand(cmd::base::InvalidateOldPosition, ParamBlock());
    if (ActorTableEntry(copyId) != copy) {
        return nullptr;
    }
    int32_t drawGroup = parent->drawGroupId;
    ParamBlock inner(&drawGroup, sizeof(drawGroup));
    SendRecursive(copy, cmd::base::SetDrawGroup, &inner);
    return ActorTableEntry(copyId) == copy ? copy : nullptr;
}

// --- network ---------------------------------------------------------------------------

NetTransport InstallNetTransport(const NetTransport &transport) {
    NetTransport previous = g_transport;
    g_transport = transport;
    return previous;
}

int SendNetMessage(const NetMessage &message) {
    return g_transport.send != nullptr ? g_transport.send(message) : 0;
}

int SendNetMessageTo(uint32_t recipient, const NetMessage &message) {
    return g_transport.sendTo != nullptr ? g_transport.sendTo(recipient, message) : 0;
}

void ActorSystem::SelectActor(const Actor *actor) {
    if (actor == nullptr || actor->actorId < 0) {
        return;
    }
    const auto id = static_cast<uint32_t>(actor->actorId);
    if (std::find(selectedIds.begin(), selectedIds.end(), id) == selectedIds.end()) {
        selectedIds.push_back(id);
    }
}

void ActorSystem::NetSendCommand(uint32_t actorId, uint32_t commandId, ParamBlock block) {
    NetSend(this, false, 0, actorId, commandId, block);
}

void ActorSystem::NetSendCommandTo(uint32_t recipient, uint32_t actorId, uint32_t commandId,
                                   ParamBlock block) {
    NetSend(this, true, recipient, actorId, commandId, block);
}

void ActorSystem::NetSendCommandAlt(uint32_t actorId, uint32_t commandId, ParamBlock block) {
    NetSend(this, false, 0, actorId, commandId, block);
}
