// Collision of the world: the group filter and event permission of two
// collision objects, the queue through which collision events travel to the
// end of the pass, the narrow phase that finds touching pairs and records
// their pushes, the per-frame collision and simulation pass, and the ray
// query. Main thread only.
//
// The pass and the query walk the collider lists of the draw groups through
// a CollisionScene, which the world subsystem fills from its draw-group code
// (tests may install their own).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"
#include "core/actors/param_block.h"
#include "core/actors/pointer_list.h"

class ActorSystem;

// Shape kinds of a collision object.
enum ColObjKind : uint32_t {
    kKindNone = 0,
    kKindSphere = 1,
    kKindBox = 2,
    kKindWorldBox = 3,
    kKindGround = 4,
    kKindMeshTriangles = 5,
    kKindGround2 = 6,
    kKindRayPoint = 7,
};

// Mesh triangles: kind 5 and the numbered kinds 8 to 13, which collide alike.
inline bool IsMeshKind(uint32_t kind) {
    return kind == kKindMeshTriangles || (kind >= 8 && kind <= 13);
}

// What the pass and the query walk. A null member stands for an empty list
// or a world without draw groups.
struct CollisionScene {
    PointerList<Actor> *active = nullptr;
    PointerList<Actor> *passive = nullptr;
    // The static objects of a draw group; null when it has none.
    PointerList<ColObj> *(*staticObjects)(int32_t group) = nullptr;
    // The first ordinary group whose box holds the point; -1 when none.
    int32_t (*groupAt)(const Vector3 &point) = nullptr;
    // The groups on the far side of the open connectors of a group, in
    // connector order.
    void (*openNeighbours)(int32_t group, std::vector<int32_t> &out) = nullptr;
    // The world box of a group; false when there is no such group.
    bool (*groupBox)(int32_t group, Vector3 *min, Vector3 *max) = nullptr;
    // Recomputes the world fields of the actor's collision objects.
    void (*updateBounds)(Actor *actor) = nullptr;
};

// Installs the scene (replaced whole) and returns the previous one.
CollisionScene SetCollisionScene(const CollisionScene &scene);
const CollisionScene &GetCollisionScene();

// --- filter -----------------------------------------------------------------------

// The groups of one may be received by the other, and neither excludes the
// other's groups.
bool CollisionGroupFilter(const ColObj &a, const ColObj &b);
// The same with a query's masks (groups, receive, exclude) in place of one.
bool QueryGroupFilter(const uint32_t masks[3], const ColObj &object);
// Whether the actor of `told` hears that `causing` touched it.
bool CollisionEventPermitted(const ColObj &told, const ColObj &causing);

// Runs the actor's scripts bound to the event, in list order, with `local`
// as their actor.
void RunEventScripts(Actor *actor, uint32_t eventId, Actor *local);

// --- event queue ------------------------------------------------------------------

// Commands collected during the pass and delivered at its end in the order
// written. Each record is the target, the command and a copy of its
// parameter block; the storage grows and is kept from pass to pass.
class CollisionEventQueue {
  public:
    CollisionEventQueue() = default;
    CollisionEventQueue(const CollisionEventQueue &) = delete;
    CollisionEventQueue &operator=(const CollisionEventQueue &) = delete;

    // Back to empty (the storage stays).
    void Clear() { write_ = 0; }
    // Appends a record; the block's length is the command's parameter size,
    // measured value by value for a command of variable size. A null target
    // is not queued.
    void Append(Actor *target, uint32_t commandId, ParamBlock block);
    // Delivers every record in order (a target that left the actor table is
    // skipped); answers the number delivered. The records stay until Clear.
    size_t Deliver();

    struct Record {
        Actor *target = nullptr;
        uint32_t commandId = 0;
        std::vector<uint8_t> block;
    };
    // The records as written (for tests and tools).
    std::vector<Record> Records() const;
    size_t Capacity() const { return capacity_; }
    size_t BytesWritten() const { return write_; }

  private:
    void Reserve(size_t need);
    void Put(const void *bytes, size_t n);

    std::unique_ptr<uint8_t[]> data_;
    size_t capacity_ = 0;
    size_t write_ = 0;
};

CollisionEventQueue &GetCollisionEventQueue();

// The actors that received a contact record in the current resolution
// iteration (their ActorFlags bit 9 is set while they are in it).
extern PointerList<Actor> ContactedList;

// --- narrow phase -----------------------------------------------------------------

inline constexpr uint32_t kCollideEvents = 1;
inline constexpr uint32_t kCollideContacts = 2;

// Tests two objects; with mode bit 0 queues their events, with bit 1 records
// contacts on the actors that must be moved out. Answers 0.
int CollideColObjs(ColObj *a, ColObj *b, uint32_t mode);

// The world scale of the resource library (100 without one).
float CollisionWorldScale();

// --- pass -------------------------------------------------------------------------

// Sub-steps of a frame: their number and the fraction of the frame each one
// integrates.
struct CollisionSubSteps {
    uint32_t count = 1;
    float fraction = 1.0f;
};
CollisionSubSteps CollisionSubStepsFor(float delta);

// Tests every collision-enabled actor of the list against the later ones,
// the passive colliders and the static objects of its draw group.
void CollidePairsOfList(const PointerList<Actor> &list, uint32_t mode);
// The pairs that walk hands to the narrow phase, in its order (for tests
// and tools); `searchedCells` tells whether the broadphase grid found them.
std::vector<std::pair<ColObj *, ColObj *>> CandidatePairsOfList(const PointerList<Actor> &list,
                                                                bool *searchedCells = nullptr);

// From this many collision objects on, the pair walk (counting the walked
// list's objects) and the ray query (counting the movers' objects) find
// their candidates through the broadphase grid; below it they test every
// pair and every mover, which costs less there. Answers the previous value.
size_t SetCollisionGridMinimum(size_t objects);

// Moves a simulated actor by gravity, drag and spin over the fraction of
// its step.
void IntegrateSimulatedActor(Actor *actor, float fraction);

// Applies the smallest push of the actor's contacts with its velocity
// response, then forgets the contacts.
void ResolveOneContact(Actor *actor);

// The pass of one frame; answers 1.
int RunCollisionPass(ActorSystem *system, float delta);

// --- query ------------------------------------------------------------------------

ColObj *RunCollisionQuery(const Vector3 &origin, const Vector3 &end, const uint32_t masks[3],
                          Vector3 *hitPoint, Vector3 *normal);
