// Actor: the base class of every object of a running game.
//
// Every node of the actor tree owned by the ActorSystem is an Actor or an
// object of one of its subclasses. This file holds what every actor has in
// common: fields and defaults, construction, copying and destruction, the
// lazily computed transform matrices, the global actor slots reached through
// names "GA<n>", the ActorLink reference type, the per-frame BaseProcess and
// Update bodies and the small helpers every class uses. Main thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/math.h"
#include "core/actors/child_list.h"
#include "core/actors/command_ids.h"
#include "core/actors/param_block.h"
#include "core/actors/param_builder.h"
#include "core/actors/pointer_list.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/time_record.h"
#include "library/render/draw_owner.h"

class Actor;
class Archive;
class MeshItem;

// ActorFlags bits.
inline constexpr uint32_t kActorLocalMatrixValid = 1u << 0;
inline constexpr uint32_t kActorWorldMatrixValid = 1u << 1;
inline constexpr uint32_t kActorInverseMatrixValid = 1u << 2;
inline constexpr uint32_t kActorBoundingScaleKept = 1u << 3;
inline constexpr uint32_t kActorMoved = 1u << 4;
inline constexpr uint32_t kActorMovedBefore = 1u << 5;
inline constexpr uint32_t kActorDrawGroupInherited = 1u << 6;
inline constexpr uint32_t kActorPrecalculated = 1u << 7;
inline constexpr uint32_t kActorStatic = 1u << 8;    // did not move in its last update
inline constexpr uint32_t kActorContacted = 1u << 9; // in the collision pass's contacted list
inline constexpr uint32_t kActorInDrawGroup = 1u << 10;
inline constexpr uint32_t kActorFlag11 = 1u << 11;
inline constexpr uint32_t kActorCollisionEnabled = 1u << 12;
inline constexpr uint32_t kActorMaster = 1u << 13;
inline constexpr uint32_t kActorSimulated = 1u << 14;
inline constexpr uint32_t kActorSaved = 1u << 15;
inline constexpr uint32_t kActorQueuedForDeletion = 1u << 16;
inline constexpr uint32_t kActorGlobalSlotBound = 1u << 17;
inline constexpr uint32_t kActorFlag18 = 1u << 18;
inline constexpr uint32_t kActorFlagsMask = (1u << 19) - 1;
// Past the mask, in memory only: "Delete" has renamed the actor, which a
// later "Delete" then leaves as it is. Never saved; a copy, which takes the
// other actor's name, does not take it over.
inline constexpr uint32_t kActorRenamedForDeletion = 1u << 19;
inline constexpr uint32_t kActorDefaultFlags =
    kActorStatic | kActorFlag11 | kActorCollisionEnabled | kActorSaved; // 0x9900

// ActorState bits.
inline constexpr uint32_t kActorOperational = 1u << 0;
inline constexpr uint32_t kActorEnabled = 1u << 1;
inline constexpr uint32_t kActorKilled = 1u << 2;
inline constexpr uint32_t kActorDefaultState = kActorOperational | kActorEnabled;

// One-operation interface of everything that receives commands.
class CommandTarget {
  public:
    virtual ~CommandTarget() = default;
    virtual int HandleCommand(uint32_t commandId, ParamBlock block) = 0;
};

// Shape data of a collision object built by classes with mesh-based shapes.
// Owned by its object and cloned with it.
class ColObjExtra {
  public:
    virtual ~ColObjExtra() = default;
    virtual std::unique_ptr<ColObjExtra> Clone() const = 0;
};

// ColObj flag bits.
inline constexpr uint32_t kColObjActive = 1u << 0;
inline constexpr uint32_t kColObjCausesEvents = 1u << 1;
inline constexpr uint32_t kColObjTakesEvents = 1u << 2;
inline constexpr uint32_t kColObjForcesEvents = 1u << 3;
inline constexpr uint32_t kColObjTakesAllEvents = 1u << 4;
inline constexpr uint32_t kColObjDynamic = 1u << 5;
inline constexpr uint32_t kColObjSolid = 1u << 6;

// A command a collision object sends when it touches another: its id and
// its parameter block as the handler reads it.
struct ColObjCommand {
    uint32_t id = 0;
    std::vector<uint8_t> block;
};

// One entry of a sphere's ground cache: the ground object it stood on, how
// long ago, and the triangle hint of the mesh query.
struct GroundCacheEntry {
    struct ColObj *other = nullptr;
    uint32_t age = 0x40000000;
    uint32_t hint = 0;
};
using GroundCache = std::array<GroundCacheEntry, 3>;

// Grows whenever a collision object is made, copied, loaded or freed, put
// on or taken off an actor, or its world box or kind may have been
// recomputed: whoever keeps a search structure over the objects' world
// boxes builds it again when the count has moved.
uint64_t ColObjShapeVersion();
void NoteColObjShapeChange();

// A collision object of an actor, owned through Actor::colObjs (its address
// stays put while it lives: the static collision lists point at it). A copy
// takes the fields, never the list entries; destroying an object takes it
// out of every static list that holds it.
struct ColObj {
    explicit ColObj(Actor *owningActor = nullptr) : owner(owningActor) { NoteColObjShapeChange(); }
    ColObj(const ColObj &other);
    ColObj &operator=(const ColObj &other);
    ~ColObj() {
        NoteColObjShapeChange();
        UnlinkAllHandles(staticNodes);
    }

    // The object's record in an actor file (see actor_serialize.cpp); mode is
    // not used. 0 when the archive failed.
    int Serialize(Archive &archive, uint32_t mode);

    std::string name;
    uint32_t flags = kColObjActive | kColObjSolid;
    uint32_t groups = 1;
    uint32_t receiveGroups = 1;
    uint32_t excludeGroups = 0;
    // Sent on touching (not saved): to the other object's actor, and to
    // this object's own actor.
    std::optional<ColObjCommand> commandToOther;
    std::optional<ColObjCommand> commandToOwn;
    uint32_t type = 2;               // box
    uint32_t material = 0;
    uint32_t fill = 7;
    float factor = 1.0f;
    Vector3 boxMin = {-10.0f, -10.0f, -10.0f};
    Vector3 boxMax = {10.0f, 10.0f, 10.0f};
    Vector3 worldMin = {0.0f, 0.0f, 0.0f};
    Vector3 worldMax = {0.0f, 0.0f, 0.0f};
    Actor *owner = nullptr;
    uint32_t hitEffect = 0;
    std::unique_ptr<ColObjExtra> extra;
    int32_t reference = -1;
    // Not 0 while the object is taken by an action in progress (not saved).
    uint32_t busy = 0;
    // Radius of the swept point of kind 7 (not saved); only a bare point
    // (0.0) is tested against spheres and boxes.
    float sweepRadius = 0.0f;
    // Made by the first ground test of a sphere; never copied.
    std::unique_ptr<GroundCache> groundCache;
    // Its entries in the static collision lists of the draw groups.
    PointerListHandles staticNodes;

    // Sets or clears (id 0) one of the two touch commands; the block is
    // copied.
    void SetCollisionCommand(bool toOwnActor, uint32_t commandId, ParamBlock block);

    // Every writer of an object's shape (its kind, local box or world
    // fields) makes its change through here, which notes it for the
    // searches kept over the world boxes: change(object).
    template <class Change> void ChangeShape(Change &&change) {
        change(*this);
        NoteColObjShapeChange();
    }
};

// While a scope is alive, RemoveColObj keeps the objects it takes off an
// actor until the outermost scope ends (the collision pass holds pointers to
// them).
class ColObjFreeDeferral {
  public:
    ColObjFreeDeferral();
    ~ColObjFreeDeferral();
    ColObjFreeDeferral(const ColObjFreeDeferral &) = delete;
    ColObjFreeDeferral &operator=(const ColObjFreeDeferral &) = delete;
};

// What an actor touched in this frame's collision pass: the contact point,
// the normal, the push it got and the other object's groups. The characters
// read these records as they stand (40 bytes).
struct TouchRecord {
    Vector3 point = {0, 0, 0};
    Vector3 normal = {0, 0, 0};
    Vector3 push = {0, 0, 0};
    uint32_t otherGroups = 0;
};
static_assert(sizeof(TouchRecord) == 40 && offsetof(TouchRecord, normal) == 12 &&
              offsetof(TouchRecord, otherGroups) == 36);

// A contact waiting to be resolved: the actor's own object, the object it
// touched, the push that moves the actor out, the unit normal and the point.
struct ContactRecord {
    ColObj *own = nullptr;
    ColObj *other = nullptr;
    Vector3 push = {0, 0, 0};
    Vector3 normal = {0, 0, 0};
    Vector3 point = {0, 0, 0};
};

// Contact state of an actor that can be pushed, made by "Start Simulate" and
// by joining the active colliders.
inline constexpr uint32_t kSimStatePushed = 1u << 1;
struct SimState {
    uint32_t w0 = 0;                      // unused word
    uint32_t w1 = 0;                      // flag word, cleared while the actor moves
    Vector3 previousPosition = {0, 0, 0}; // words 2-4: oldPosition at the last step
    std::vector<TouchRecord> touches;     // emptied while the actor moves
    std::vector<ContactRecord> contacts;
};

// Motion states of a simulated actor (SimParams word 30).
enum SimMotion : uint32_t {
    kSimFree = 0,
    kSimSliding = 1,
    kSimResting = 2,
    kSimWaking = 4,
    kSimWoken = 5,
};
// SimParams flag bits (word 15).
inline constexpr uint32_t kSimDirectionByMovement = 1u << 0;
inline constexpr uint32_t kSimCentreNotTaken = 1u << 1;
inline constexpr uint32_t kSimEvents = 1u << 2;

// Simulation settings and state: 35 words, floats and integers.
struct SimParams {
    static constexpr size_t kWordCount = 35;
    static constexpr size_t kFlagsWord = 15;
    SimParams();

    float GetFloat(size_t word) const;
    void SetFloat(size_t word, float value);
    Vector3 GetVector(size_t word) const {
        return {GetFloat(word), GetFloat(word + 1), GetFloat(word + 2)};
    }
    void SetVector(size_t word, const Vector3 &v) {
        SetFloat(word, v.x);
        SetFloat(word + 1, v.y);
        SetFloat(word + 2, v.z);
    }

    uint32_t Style() const { return words[0]; }
    float Weight() const { return GetFloat(1); }
    Vector3 CentreOfMass() const { return GetVector(2); }
    void SetCentreOfMass(const Vector3 &v) { SetVector(2, v); }
    Vector3 AirResistance() const { return GetVector(5); }
    float RotationalAirResistance() const { return GetFloat(8); }
    float GravityMultiplier() const { return GetFloat(9); }
    float FrictionMultiplier() const { return GetFloat(10); }
    float BounceToSlide() const { return GetFloat(11); }
    float SlideToRest() const { return GetFloat(12); }
    float StopRest() const { return GetFloat(13); }
    float StickyForce() const { return GetFloat(14); }
    // The kSim... flag bits.
    uint32_t Flags() const { return words[kFlagsWord]; }
    void SetFlags(uint32_t bits, bool on) {
        words[kFlagsWord] = on ? (words[kFlagsWord] | bits) : (words[kFlagsWord] & ~bits);
    }
    bool EventsOn() const { return (Flags() & kSimEvents) != 0; }
    Quaternion SpinRotation() const {
        return {GetFloat(16), GetFloat(17), GetFloat(18), GetFloat(19)};
    }
    void SetSpinRotation(const Quaternion &q) {
        SetFloat(16, q.x);
        SetFloat(17, q.y);
        SetFloat(18, q.z);
        SetFloat(19, q.w);
    }
    Vector3 SpinAxis() const { return GetVector(23); }
    void SetSpinAxis(const Vector3 &v) { SetVector(23, v); }
    float SpinRate() const { return GetFloat(29); }
    void SetSpinRate(float rate) { SetFloat(29, rate); }
    uint32_t Motion() const { return words[30]; }
    void SetMotion(uint32_t state) { words[30] = state; }

    uint32_t words[kWordCount];
};

class ByteBuffer;

// A new script serial, never 0.
uint32_t NextScriptSerial();

// A script of an actor. `compiled` is never copied with the actor; it is
// shared so that a run keeps its byte code while the record goes. `serial`
// names the record in byte code (script calls by handle); a copy of an
// actor keeps its scripts' serials.
struct ScriptRecord {
    std::string name;
    uint32_t eventId = 0; // bound event command id; 0 none
    std::string source;
    Actor *owner = nullptr;
    std::shared_ptr<const ByteBuffer> compiled; // null until compiled
    uint32_t serial = NextScriptSerial();
    // Removed while one of its actor's scripts ran: skipped by every look-up
    // and run, taken off the list when the outermost run returns.
    bool dead = false;
};

// A reference from one actor (the origin) to another (the target) that
// survives the target's deletion: the target keeps the link in its backLinks,
// and when it is destroyed the link's target becomes null and the origin
// receives "Invalid ActorPointer" with the link.
struct ActorLink {
    ActorLink() = default;
    explicit ActorLink(Actor *originActor) : origin(originActor) {}
    // A copy takes the path only: it is not registered with any target and
    // has no origin until its holder sets one.
    ActorLink(const ActorLink &other) : path(other.path) {}
    // Assignment takes the path and drops the current target; the origin
    // stays.
    ActorLink &operator=(const ActorLink &other);
    ~ActorLink();

    // Empty path: 0. Else the path is resolved from the origin; an
    // unresolved path leaves the link as it is. Returns 1.
    int Resolve();
    // Off the target's backLinks (the first entry that is this link);
    // target = null. The path stays.
    void Release();
    // Points the link at the actor: off the old target's backLinks, then
    // onto the end of the new one's (null releases the link). An actor
    // other than the one held clears the path: from then on the link is
    // the actor's, and a later release leaves no path. The origin stays.
    // Returns 1.
    int Assign(Actor *actor);
    // What a copy of the holder does with each link of its template: takes
    // the other link's path and target; the origin stays. Returns 1.
    int AssignCopy(const ActorLink &other);
    // Writing: with a target, the path while it names the target from the
    // origin, else the target's absolute path; without one, the path (a
    // path read from a file, or given as text, that has not found its
    // actor, or whose actor was released or went away). The path itself
    // stays as it is. Reading: the path only; the holder resolves it later.
    // 0 when the archive failed.
    int Serialize(Archive &archive);

    std::string path;
    Actor *target = nullptr;
    Actor *origin = nullptr;

  private:
    // Off the old target's backLinks, onto the end of the new one's.
    void PointAt(Actor *actor);
};

inline constexpr int kGlobalActorSlotCount = 1000;
extern Actor *GlobalActorSlots[kGlobalActorSlotCount];

// The slot number a name binds: "GA" followed by one to three digits;
// 0 for anything else.
int GlobalSlotNumber(std::string_view name);
// The actor in slot n; null outside 1..999.
Actor *GetGlobalActor(int n);
// "GA<n>" names the slot's actor, "GA<n>/path" a path from it; any other text
// is a path from `from`.
Actor *ResolveActorName(Actor *from, std::string_view text);

class Actor : public CommandTarget, public DrawOwner {
  public:
    Actor();
    ~Actor() override;
    Actor(const Actor &) = delete;
    Actor &operator=(const Actor &other) {
        CopyFrom(other);
        return *this;
    }

    // Takes the template's fields. Owned records (sim records, collision
    // object shapes, scripts) are copied, never shared; the destination's own
    // children, back-links, scheduled entries and entry pointers stay as they
    // are. Flag 16 is not copied and flag 10 is cleared. May run twice on one
    // object.
    void CopyFrom(const Actor &other);

    // Virtual slots after the destructor.
    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    // Writes or reads the base record of the actor in an actor file (the
    // archive's direction and version decide); classes write their own
    // fields after it. 0 when the archive failed.
    virtual int Serialize(Archive &archive, uint32_t mode);
    virtual void Process() {}
    virtual void Update();
    void Slot5() override {}
    // Called by the visibility walk on the draw groups, connectors and doors
    // it reaches; the step is passed on unchanged. Nothing by default.
    virtual void Draw(float step) { (void)step; }
    // The library mesh that gives the bounds of mesh-kind collision objects;
    // null (zero bounds) by default.
    virtual MeshItem *CollisionMesh() const { return nullptr; }
    // Told when one of this actor's scheduled entries was deleted, after the
    // base fields that held it were cleared: a class that keeps its own
    // pointer to the entry drops it here. Nothing by default.
    virtual void ScheduledCommandDeleted(ScheduledCommand *entry) { (void)entry; }
    // Appends a line per class record to `lines` for the actor-file dump
    // (a lower-case class keyword, then "label value" pairs). Nothing by
    // default.
    virtual void DumpClassFields(std::vector<std::string> &lines) const { (void)lines; }

    // Collision objects. Both take an actor that is entered in its draw
    // group out of it first and put it back after, so that the group's
    // lists follow. AddColObj answers the added object; RemoveColObj false
    // for an index outside the list.
    ColObj &AddColObj(std::unique_ptr<ColObj> object);
    ColObj &AddColObj(const ColObj &object) { return AddColObj(std::make_unique<ColObj>(object)); }
    bool RemoveColObj(size_t index);

    // Transforms.
    const Matrix &GetWorldMatrix();
    // The local matrix; when the world matrix is stale both are brought up
    // to date first.
    const Matrix &GetLocalMatrix();
    Vector3 GetWorldPosition();
    void UpdateWorldMatrix();
    void UpdateInverseWorldMatrix();
    void InvalidateTransform();
    void SetWorldRotation(const Quaternion &rotation);

    // The body of "BaseProcess".
    void BaseProcess();

    // The current time of the actor's time record, brought up to this frame
    // first (RefreshTimeRecord); 0 without a record.
    float GetCurrentTime();

    // Scheduled-command wrappers (this actor's own list).
    ScheduledCommand *FindScheduledCommand(uint32_t commandId);
    ScheduledCommand *FindScheduledCommandWithParam(uint32_t commandId, ParamBlock block);
    void CancelScheduledCommands(uint32_t commandId);
    void CancelScheduledCommandIfAny(ScheduledCommand *entry);
    ScheduledCommand *ScheduleCommand(uint32_t commandId, ParamBlock block, uint32_t flags,
                                      float startDelay, float endDelay, float interval);
    // "Command Lerp" of a command with one float from `from` to `to` over
    // `duration` seconds, a step every `interval`; null when not scheduled.
    ScheduledCommand *ScheduleLerp(uint32_t commandId, float from, float to, uint32_t flags,
                                   float duration, float interval);
    void SetScheduledCommandTime(ScheduledCommand *entry, float delay);
    float ScheduledCommandTimeLeft(ScheduledCommand *entry);

    // Active bit of every collision object that is dynamic / not dynamic.
    void SetDynamicColObjsActive(bool active);
    void SetNonDynamicColObjsActive(bool active);

    // Binds the slot the name gives when it is free (flag 17).
    void BindGlobalSlot();
    // Frees the bound slot when it holds this actor; clears flag 17.
    void ReleaseGlobalSlot();

    bool IsOperational() const { return (state & kActorOperational) != 0; }
    bool HasFlag(uint32_t bit) const { return (flags & bit) != 0; }

    // The fields every delivered command and every walk of the tree reads
    // stand first, within the object's first two cache lines.
    uint32_t classId = 0;
    int32_t actorId = -1;
    std::vector<Actor *> spies;                         // not owned
    std::vector<std::unique_ptr<ScriptRecord>> scripts; // stable addresses
    uint32_t flags = kActorDefaultFlags;
    uint32_t state = kActorDefaultState;
    int32_t drawGroupId = -1;
    int32_t parentId = -1;
    Actor *parent = nullptr;
    ChildList children; // owned
    std::string name = "()";
    Vector3 scale = {1.0f, 1.0f, 1.0f};
    Vector3 position = {0.0f, 0.0f, 0.0f};
    Quaternion rotation = {0.0f, 0.0f, 0.0f, 1.0f};
    Vector3 oldPosition = {0.0f, 0.0f, 0.0f};
    Quaternion oldRotation = {0.0f, 0.0f, 0.0f, 1.0f};
    Matrix worldMatrix;
    Matrix inverseWorldMatrix;
    Matrix localMatrix;
    Vector3 oldWorldPosition = {0.0f, 0.0f, 0.0f};
    Vector3 deltaPosition = {0.0f, 0.0f, 0.0f};
    TimeRecord *timeRecord;
    std::vector<std::unique_ptr<ColObj>> colObjs; // never null
    std::unique_ptr<SimState> simState;
    std::unique_ptr<SimParams> simParams;
    uint32_t actionFlags = 0; // 14 one-bit switches of the action system
    float killDelay = 0.0f;
    float killTime = 0.0f;
    float actionStartDelay = 0.0f;
    float actionStartTime = 0.0f;
    float actionStopDelay = 0.0f;
    float actionStopTime = 0.0f;
    float actionTime = 0.0f;
    uint32_t userWord = 0;
    float currentTime = 0.0f;
    std::vector<ActorLink *> backLinks;
    std::vector<ScheduledCommand *> scheduledCommands;
    ScheduledCommand *baseProcessEntry = nullptr;
    ScheduledCommand *processEntry = nullptr;
    // The entry that "BaseProcess" is scheduled in while it is free (its
    // owner is null), so that the entry nearly every actor holds is not
    // taken from the heap; a second one, while this one is still in use
    // (cancelled and not yet removed), is allocated as any other. Deleting
    // it leaves it here, free again.
    ScheduledCommand ownBaseProcessEntry;
    int32_t currentColObj = -1;
    // The largest length of the world matrix's first three columns, written
    // by classes that make draw instances (unless flag 3 keeps it); not
    // saved.
    float boundingScale = 1.0f;

    // Depth of the runs of this actor's scripts now on the stack; while it is
    // above 0, removals from `scripts` are deferred (see script_runner.h).
    uint32_t scriptRunDepth = 0;
    // "Execute Text" ran while a script ran: trailing "__tmp" scripts go when
    // the outermost run returns.
    bool trimTempScripts = false;
    // Taken out of the world during a delivery with its subtree, the object
    // waiting for the delivery's end to be destroyed (actor_services.h):
    // nothing is made, copied or moved under it any more, nor is it moved.
    bool awaitingDestruction = false;

    // The actors this one spies on, each with the number of times it is on
    // that actor's spy list.
    std::vector<std::pair<Actor *, uint32_t>> spiedActors;

    // Its entries in draw-group member lists and in the collider lists; the
    // destroyed-actor notice unlinks them all.
    PointerListHandles memberNodes;
    PointerListHandles colliderNodes;

    // Kept by ChildList: the number of child-list entries that hold this
    // actor, whether its table slot was emptied while they held it, and the
    // order key of the latest one listed in a long list.
    uint32_t childEntries = 0;
    bool childSlotEmptied = false;
    uint64_t childKey = 0;

  protected:
    // Destroys every child (and so the subtree), clearing their table slots.
    void DestroyChildren();
    // Deletes the entries this actor owns, last first; entries of other
    // owners are only dropped from the list.
    void DeleteScheduledCommands();
};

// The record of a class that keeps no fields of its own: the base record,
// then (archive version 1 or later) four or eight spare words, written as 0
// and read and ignored. 0 when the base record or a spare word failed.
int SerializeWithFourSpareWords(Actor &actor, Archive &archive, uint32_t mode);
int SerializeWithEightSpareWords(Actor &actor, Archive &archive, uint32_t mode);

// Command spies. AddCommandSpy appends (duplicates allowed),
// RemoveCommandSpy removes one occurrence, RemoveAllCommandSpies empties the
// list; each keeps the spies' records of whom they spy on.
void AddCommandSpy(Actor *target, Actor *spy);
void RemoveCommandSpy(Actor *target, Actor *spy);
void RemoveAllCommandSpies(Actor *target);

// The block a spy receives with command 93: the command its target got, that
// command's block and the target.
struct CommandSpyNotice {
    uint32_t commandId;
    const ParamBlock *block;
    Actor *actor;
};

// Process-wide "actor destroyed" notification, run first by every actor
// destructor so that raw references elsewhere can be dropped.
using ActorDestroyedHook = void (*)(Actor *actor);
void AddActorDestroyedHook(ActorDestroyedHook hook);
void RemoveActorDestroyedHook(ActorDestroyedHook hook);
void ClearActorDestroyedHooks();
// What the destructor tells first (spies, spied-on actors and every hook),
// told early for an actor that leaves the world before its object goes;
// the destructor tells it again, which finds nothing left to drop.
void NotifyActorGone(Actor *actor);

// (Rand() mod 10000) x 0.0002 - 1, in [-1, 0.9998].
float RandomSigned();
// (Rand() mod 10000) x 0.0001, in [0, 0.9999].
float RandomUnit();

// Sends a command with plain values packed by the command's parameter types
// ("Color" takes four floats, see ParamValue::Floats). Returns the handler's
// answer, or 0 without sending when the actor is null or the values do not
// fit the command's types. A command without parameter types takes the
// values in order at their natural sizes. Re-entrant: each call builds its
// own block.
template <class... Args> int SendCommandArgs(Actor *actor, uint32_t commandId, Args &&...args) {
    if (actor == nullptr) {
        return 0;
    }
    ParamBlockBuilder builder;
    if (!builder.Build(commandId, {ParamValue(std::forward<Args>(args))...})) {
        return 0;
    }
    return actor->HandleCommand(commandId, builder.block());
}

// The command's parameter bytes in memory: its fixed native size, else the
// walk over the given block (bounded by it). 0 for an unknown id.
uint32_t CommandBlockSize(uint32_t commandId, ParamBlock block);

// The handler of classes that take part in nothing: answers 1.
int DoNothingReturnOne(uint32_t commandId, ParamBlock block);
