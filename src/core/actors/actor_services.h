// Actor services: the free functions through which code reaches actors by
// id, name or tree position. Sending and broadcasting commands, the class
// factory, deleting, re-parenting and copying actors, and the id allocator.
// Failures answer 0 (or null) and leave their text in the actor system's
// error text. Main thread only.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/actors/command_ids.h"
#include "core/actors/param_block.h"

class Actor;

// Internal tree queries served by every actor; they have no registered
// parameters, their blocks are laid out in memory as follows:
//   172 {u32 class or -1, u32 class not to enter or -1, vector<Actor*>* out}
//   173 {u32 class, Actor* out}    first direct child of the class
//   174 {u32 class, Actor* out}    the same, depth first
//   175 {const char* name, Actor* out}   first direct child with the name
//   176 {const char* name, Actor* out}   the same, depth first
// Ids: cmd::base::CollectDescendants, cmd::base::FindChildByClass,
//     cmd::base::FindDescendantByClass, cmd::base::FindChildByName,
//     cmd::base::FindDescendantByName.

// Serves 172-176 for actor; false (nothing done) for any other command.
bool HandleTreeQuery(Actor *actor, uint32_t commandId, ParamBlock block);

// The actor's children as they are now, for walks during which handlers may
// change the list: each is looked up again (through the actor table) by
// ResolveChild before its turn, and skipped when it is gone or has moved.
struct ChildRef {
    int32_t id;
    Actor *pointer;
};
std::vector<ChildRef> SnapshotChildren(const Actor *actor);
Actor *ResolveChild(const Actor *parent, const ChildRef &ref);

// Deliveries under way. While one runs (a command sent through the
// functions below, a pass of the scheduled commands, a script run), an actor
// that DeleteActor removes, or that CreateActor replaces, leaves the tree,
// the actor table, the global slots and the schedule at once with its
// subtree, but the objects are destroyed only when the outermost delivery
// returns: a handler never runs on, or reads, an actor that is gone. Such an
// actor (Actor::awaitingDestruction) is refused as the parent of CreateActor
// and CopyActorTree and by ReparentActor either way, so that whatever its
// destruction takes along is in no other list.
class ActorDeliveryScope {
  public:
    ActorDeliveryScope();
    ~ActorDeliveryScope();
    ActorDeliveryScope(const ActorDeliveryScope &) = delete;
    ActorDeliveryScope &operator=(const ActorDeliveryScope &) = delete;
};
// Deliveries now on the stack.
uint32_t ActorDeliveryDepth();

// Delivers a command to the actor at id; 0 for an id outside the table or an
// empty slot.
uint32_t SendCommand(uint32_t actorId, uint32_t commandId, ParamBlock block);
// Every actor in the table, id 0 first; actors a handler creates at higher
// ids are reached too. Returns 1.
int BroadcastCommand(uint32_t commandId, ParamBlock block);
// Each direct child in child-list order; 0 for a null actor, else 1.
uint32_t SendCommandToChildren(Actor *actor, uint32_t commandId, ParamBlock block);

// Every actor from id 1 up whose class id and name (exact) match, in id
// order.
std::vector<Actor *> FindActorsByName(std::string_view name, int32_t classId);
// Tree queries through 175, 176 and 174; null for a null actor or name.
Actor *FindChildByName(Actor *actor, const char *name);
Actor *FindDescendantByName(Actor *actor, const char *name);
Actor *FindDescendantByClass(Actor *actor, int32_t classId);

// Sends "Precalculate Recursive" to the actor system.
void PrecalculateAll();

// The first of count free ids from 8000 up, growing the table as needed;
// 0 when the ids would pass 500000.
uint32_t FindFreeActorIds(uint32_t count);

// The class factory. Makes an actor of classId with the name at id (-1: the
// next free id) under parent (none when null), sending it "Create" with the
// template when sendCreate is set. An actor at the id is replaced (it and
// its subtree are destroyed), except a system actor (id below 10). Returns
// the actor, or null when the class, the id, the parent or the template is
// refused, no id is free, or "Create" answers 0 (the refused actor leaves
// the lists it entered, and nothing else does).
Actor *CreateActor(int32_t classId, std::string_view name, Actor *templateActor, Actor *parent,
                   int32_t id, bool sendCreate);

// The factory's two halves, for a reader that reads a whole file before it
// changes the world. MakeUnplacedActor makes an actor of the class in no
// table slot and no tree, or null for a class CreateActor refuses; it is
// destroyed with plain delete while unplaced. PlaceActor stores it at the
// id as CreateActor stores a new actor (the actor there is replaced with its
// subtree) and gives it that id; false, with nothing changed, for an id that
// CreateActor would not replace (a system id or one past the limit).
Actor *MakeUnplacedActor(int32_t classId);
bool PlaceActor(Actor *actor, int32_t id);

// Tells the parent and its ancestors, then destroys the actor and its
// subtree. 0 for a system actor (id below 10), a null actor or one that its
// table slot does not hold.
int DeleteActor(Actor *actor);
// Deletes every child of the actor through DeleteActor, last first. A child
// that cannot be deleted, or that its deletion leaves in the list, is let go
// instead (one that could not be deleted also forgets its parent), so that
// the loop always ends. Nothing for a null actor.
void DeleteAllChildren(Actor *actor);

// Moves the actor under a new parent and tells everyone concerned. 0 when
// the new parent is a root's parent (the actor system), the actor itself or
// one of its descendants, or when either waits for its destruction.
int ReparentActor(Actor *actor, Actor *newParent);

// Copies the template with its subtree under parent (new ids); null when
// the parent is the actor system, lies inside the template's subtree or
// waits for its destruction.
Actor *CopyActorTree(Actor *templateActor, Actor *parent);

// Outgoing network message: {u32 command id, u32 actor id, parameters}.
struct NetMessage {
    std::vector<uint8_t> bytes;
};
// The network transport. The engine opens no connection: with no transport
// installed both sends do nothing and answer 0.
struct NetTransport {
    int (*send)(const NetMessage &message) = nullptr;
    int (*sendTo)(uint32_t recipient, const NetMessage &message) = nullptr;
};
NetTransport InstallNetTransport(const NetTransport &transport);
int SendNetMessage(const NetMessage &message);
int SendNetMessageTo(uint32_t recipient, const NetMessage &message);
