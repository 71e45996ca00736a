// The ActorSystem: actor 0, the world. It owns the actor table, the fixed
// roots, the run mode of the frame loop, the global time and speed settings,
// the loading-screen settings, the command log and the text of the last
// actor-system error. One instance exists at a time, made by InitActorSystem
// and reached through GetActorSystem(). Main thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class LibraryItem;

// The table's length after the system is made, the first id handed out to
// new actors, and the highest id an actor may have.
inline constexpr size_t kActorTableInitialSize = 8000;
inline constexpr uint32_t kFirstFreeActorId = 8000;
inline constexpr uint32_t kMaxActorId = 500000;
// Ids below this are system actors that cannot be deleted.
inline constexpr int32_t kFirstUserActorId = 10;

// The fixed actors.
inline constexpr int32_t kGlobalRootId = 1;
inline constexpr int32_t kSceneryRootId = 2;
inline constexpr int32_t kClipboardRootId = 3;
inline constexpr int32_t kEnvironmentActorId = 14;
inline constexpr int32_t kInventoryActorId = 16;

inline constexpr size_t kActorSystemErrorSize = 512;

// One recorded outgoing command: the parameters are a private copy in the
// portable layout.
struct CommandLogRecord {
    uint32_t stamp = 0;
    uint32_t actorId = 0;
    uint32_t commandId = 0;
    std::vector<uint8_t> params;
};

class ActorSystem : public Actor {
  public:
    ActorSystem();
    ~ActorSystem() override;

    // The world's own commands; every command, served here or not, then goes
    // to the base handler, whose answer is returned.
    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    // Once per frame: the queued deletions, then a pending level load.
    void Process() override;

    // Queues an entry for removal at the start of the next pump; a second
    // cancel does nothing.
    static void CancelScheduledCommand(ScheduledCommand *entry);
    // Removes an entry at once: unlinked, off its owner's list and the
    // removal list, params freed; an entry the scheduler allocated is freed
    // too (after the current walk when one is running).
    static void DeleteScheduledCommand(ScheduledCommand *entry);
    // Appends the actor to the pending-deletion list and sets flag 16;
    // null or already queued: nothing. Returns 1 (0 without a system).
    static int QueueActorForDeletion(Actor *actor);

    uint32_t GetFileVersion() const { return fileVersion; }
    void SetFileVersion(uint32_t version) { fileVersion = version; }

    // Stores the run mode, the front-end actor and the run flags; mode 0
    // also reads and discards one frame time.
    void SetRunMode(uint32_t mode, Actor *frontEnd, uint32_t flags);

    // Outgoing network commands: the command log (record mode 2) and the
    // network send (when networking is on and this system syncs). Nothing is
    // delivered locally. NetSendCommandAlt is the same hand-over under
    // another name, used by the characters.
    void NetSendCommand(uint32_t actorId, uint32_t commandId, ParamBlock block);
    void NetSendCommandTo(uint32_t recipient, uint32_t actorId, uint32_t commandId,
                          ParamBlock block);
    void NetSendCommandAlt(uint32_t actorId, uint32_t commandId, ParamBlock block);

    // Adds the actor's id to the selection unless it is there already. The
    // selection is the editor's; nothing in the game reads it.
    void SelectActor(const Actor *actor);
    std::vector<uint32_t> selectedIds;

    // Per-frame services of the world structure (see actors/world).
    int CollisionPass(float timeStep);
    // The nearest collision object on the line from origin to end that the
    // masks (groups, receive groups, exclude groups) let through; null when
    // none. The hit point receives the hit (the end when nothing is hit); the
    // normal is written only with a hit point. Moves nothing.
    ColObj *CollisionQuery(const Vector3 &origin, const Vector3 &end, const uint32_t masks[3],
                           Vector3 *hitPoint, Vector3 *normal);
    int DrawVisibleGroups(float timeStep);

    // Two element lists; their users live outside the actor core.
    std::vector<Actor *> elementLists[2];
    // The collision objects of the static actors of each draw group, indexed
    // by draw-group id; a list is made when first asked for.
    std::vector<std::unique_ptr<PointerList<ColObj>>> drawGroupMembers;
    PointerList<ColObj> &StaticColObjs(size_t drawGroupId);
    // Empties every static list (the objects forget their entries).
    void ClearStaticColObjs();
    // Scheduled commands queued for removal.
    std::vector<ScheduledCommand *> removalList;
    // Command log.
    std::vector<CommandLogRecord> commandLog;
    uint32_t recordMode = 0; // 2 = record outgoing commands
    uint32_t commandStamp = 0;
    uint32_t commandLogWord = 0;
    uint32_t networkSync = 1;
    // Level load.
    std::vector<LibraryItem *> deferredLoads;
    uint32_t deferFlag = 0;
    uint32_t loadPending = 0;
    uint32_t loadFlag = 0;
    uint32_t newGame = 0;
    uint32_t uiFlag = 0;
    std::string firstFile;
    std::string secondFile;
    // The files start-up opened, by their names in the data folder (no
    // scene when a menu took its place). A level load that cannot read one
    // of its files loads these instead, once: play never goes on in a world
    // that is missing or half read.
    std::string startGlobalsFile;
    std::string startSceneFile;
    uint32_t loadingStartFiles = 0;
    uint32_t visibilityCounters[2] = {0, 0};
    uint32_t difficultyLevel = 1;
    std::string baseFolder;
    // Frame loop: non-zero run mode runs the front end.
    uint32_t runMode = 0;
    Actor *frontEndActor = nullptr;
    uint32_t runFlags = 0;
    float globalSpeedMultiplier = 1.0f;
    uint32_t frontEndCursor = 1;
    char errorText[kActorSystemErrorSize] = {};
    std::vector<uint32_t> listenerEffects;
    // Loading screen; colours are (red, green, blue, alpha).
    Vector4 loadBarColor = {0.6f, 0.9f, 0.4f, 1.0f};
    Vector3 loadBarPosition = {0.0f, 0.0f, 0.0f};
    std::string loadingText;
    Vector3 loadBarTextPosition = {0.0f, 0.0f, 0.0f};
    Vector4 loadBarTextColor = {1.0f, 1.0f, 1.0f, 1.0f};
    uint32_t fileVersion = 1;
    // Set while a loading screen is up: the actor-file reader calls it once
    // per actor read.
    int (*loadingCallback)(const char *text) = nullptr;

    // Actors queued for deletion.
    std::vector<Actor *> pendingDeletion;
};

// The process-wide actor table, indexed by actor id; the system in entry 0.
extern std::vector<Actor *> ActorTable;

// Stores an actor in an existing slot of the table and notes its id for
// NextActorId; a null actor empties the slot. Every store of an actor goes
// through here. A slot may also be emptied directly, before the actor it
// held is destroyed or stored under another id: the destruction or the store
// notes it then. The slot of an actor that child lists still hold is
// emptied here only, which tells the lists (ChildList::NoteSlotEmptied).
void SetActorTableEntry(size_t id, Actor *actor);
// The lowest id whose slot was emptied (as noted above) since the last call,
// 0 when the table was started anew meanwhile, SIZE_MAX when none was.
size_t TakeLowestEmptiedActorId();
// The lowest id from `from` up whose slot holds an actor, or the table's
// length when none does. It visits only the ids noted by SetActorTableEntry
// (and forgets those found empty), so that a walk of the table's actors costs
// what the actors cost, not what the table's length costs.
size_t NextActorId(size_t from);

// The live system, or null.
ActorSystem *GetActorSystem();

// Registers every command and class and builds the system and its roots.
// Returns 0 when the system cannot be made or a fixed actor cannot be
// created (the system's error text, when it exists, says which); start-up
// must then stop.
int InitActorSystem();

// The table's actor at id; null outside the table.
Actor *ActorTableEntry(int32_t id);
// Whether the table holds the actor at its own id (false for null).
bool IsInActorTable(const Actor *actor);
Actor *GetActorById(uint32_t id);
// The class id of the actor at id; -1 outside the table or for an empty slot.
int32_t GetActorClassId(uint32_t id);
// First actor in id order (from 0) with exactly this name and, unless
// classId is -1, this class; null when none.
Actor *FindActorByName(std::string_view name, int32_t classId);

// Formats the text into the system's error text (cut at 511 characters) and
// returns 0, so that failing operations can return its result.
int SetActorSystemError(ActorSystem *system, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

// Run mode and global speed multiplier as the time records read them
// (0 and 1.0 without a system).
uint32_t CurrentRunMode();
float CurrentGlobalSpeedMultiplier();

// Tests only: destroys the system and its tree and restores every
// process-wide value of the actor core (actor table, frame values, root
// record, global slots, draw-group and actor-destroyed hooks).
// Deletes the actors of the table that stand outside the tree (a Reference
// after a load, a detached actor), with their subtrees; the tree stays.
void DeleteDetachedActors();
void ResetActorSystemForTests();
// Tests only: ResetActorSystemForTests, the command tables and every
// process-wide value of the neighbouring services, so that a test can call
// InitActorSystem again. With keepCommandTables the command table and its
// name map stay as they are (a test that makes many worlds in turn and
// changes no command registration skips building them again).
void ResetActorWorldForTests(bool keepCommandTables = false);
