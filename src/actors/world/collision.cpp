// The group filter, the collision event queue and the narrow phase.
#include "actors/world/collision.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/mesh_geometry.h"
#include "library/resource_library.h"

namespace {

CollisionScene currentScene;
CollisionEventQueue eventQueue;

Vector3 Neg(const Vector3 &v) { return {-v.x, -v.y, -v.z}; }

constexpr float kPushMargin = 1.00001f;

bool Has(const ColObj &o, uint32_t bit) { return (o.flags & bit) != 0; }

// The result of one shape test: B's push and normal, and the point.
struct Touch {
    Vector3 push = {0, 0, 0};
    Vector3 normal = {0, 0, 0};
    bool normalGiven = false;
    Vector3 point = {0, 0, 0};
};

float SphereRadius(const ColObj &o) { return o.worldMax.x; }

// A sphere whose centre or radius is not finite (a NaN or an infinity)
// touches nothing. Boxes, meshes and swept points are refused alike by the
// intersection tests they go through.
bool NotFinite(const ColObj &sphere) {
    return !Vec3IsFinite(sphere.worldMin) || !std::isfinite(SphereRadius(sphere));
}

bool SphereSphere(const ColObj &a, const ColObj &b, Touch &t) {
    if (NotFinite(a) || NotFinite(b)) {
        return false;
    }
    const Vector3 d = Vec3Sub(b.worldMin, a.worldMin);
    const float sum = SphereRadius(a) + SphereRadius(b);
    const float l2 = d.x * d.x + d.y * d.y + d.z * d.z;
    // Apart: no need of the root (most pairs of a frame end here).
    if (l2 >= sum * sum && l2 >= 0.001f * 0.001f) {
        return false;
    }
    const float l = std::sqrt(l2);
    if (l >= 0.001f) {
        const float e = sum - l;
        if (!(e > 0.0f)) {
            return false;
        }
        t.push = Vec3Scale(d, e * kPushMargin / l);
    } else {
        t.push = {sum, 0.0f, 0.0f};
    }
    t.point = Vec3Add(a.worldMin, Vec3Scale(Vec3Normalized(d), SphereRadius(a)));
    return true;
}

bool SphereBox(const ColObj &a, const ColObj &b, Touch &t) {
    const Vector3 centre = a.worldMin;
    const float r = SphereRadius(a);
    if (!SphereIntersectBox(b.worldMin, b.worldMax, centre, r, nullptr, nullptr)) {
        return false;
    }
    Actor *owner = b.owner;
    owner->UpdateWorldMatrix();
    owner->UpdateInverseWorldMatrix();
    Vector3 separation = {0, 0, 0};
    Vector3 point = {0, 0, 0};
    bool pointSet = false;
    // The point is written only for a centre inside the box; mark it.
    point.x = NAN;
    if (!SphereIntersectOrientedBox(b.boxMin, b.boxMax, owner->worldMatrix,
                                    owner->inverseWorldMatrix, centre, r, &separation, &point)) {
        return false;
    }
    pointSet = !std::isnan(point.x);
    t.push = separation;
    if (pointSet) {
        Vec3TransformCoord(&t.point, point, owner->worldMatrix);
    } else {
        // The sphere's surface point towards the box.
        t.point = Vec3Add(centre, Vec3Scale(Vec3Normalized(separation), r));
    }
    return true;
}

GroundCacheEntry &GroundEntryFor(ColObj &sphere, ColObj *ground) {
    if (!sphere.groundCache) {
        sphere.groundCache = std::make_unique<GroundCache>();
    }
    GroundCache &cache = *sphere.groundCache;
    for (GroundCacheEntry &entry : cache) {
        if (entry.other == ground) {
            for (GroundCacheEntry &older : cache) {
                if (&older != &entry) {
                    --older.age;
                }
            }
            entry.age = 0x40000000;
            return entry;
        }
    }
    // A miss takes over the entry of the largest age, the first of equals.
    GroundCacheEntry *taken = &cache[0];
    for (GroundCacheEntry &entry : cache) {
        if (entry.age > taken->age) {
            taken = &entry;
        }
    }
    taken->other = ground;
    taken->age = 0x40000000;
    taken->hint = 0;
    return *taken;
}

bool SphereGround(ColObj &a, ColObj &b, Touch &t) {
    if (NotFinite(a)) {
        return false;
    }
    Actor *owner = b.owner;
    MeshItem *mesh = owner->CollisionMesh();
    if (mesh == nullptr) {
        return false;
    }
    owner->UpdateWorldMatrix();
    owner->UpdateInverseWorldMatrix();
    const Vector3 centre = a.worldMin;
    Vector3 local;
    Vec3TransformCoord(&local, centre, owner->inverseWorldMatrix);
    GroundCacheEntry &entry = GroundEntryFor(a, &b);
    Vector3 surface = {0, 0, 0};
    Vector3 surfaceNormal = {0, 0, 0};
    if (!IntersectRayWithMesh(mesh, static_cast<uint32_t>(b.reference), 0, local, &surface,
                              &surfaceNormal, &entry.hint)) {
        return false;
    }
    Vector3 world;
    Vec3TransformCoord(&world, surface, owner->worldMatrix);
    const float h = world.y;
    const float c = centre.y;
    const float r = SphereRadius(a);
    const float s = CollisionWorldScale();
    if (h + r < c || c < h - 0.4f * s - r) {
        return false;
    }
    if (c > r + h - 0.4f * s) {
        t.push = {0.0f, -((r + h + 0.0001f) - c), 0.0f};
    } else {
        const Vector3 v = a.owner->deltaPosition;
        if (std::fabs(v.x) >= 1.5f || std::fabs(v.y) >= 1.5f || std::fabs(v.z) >= 1.5f) {
            t.push = Vec3Scale(Vec3Normalized(v), 6.0f);
        } else {
            t.push = {0.0f, -6.0f, 0.0f};
        }
    }
    t.point = world;
    return true;
}

bool SphereMesh(const ColObj &a, const ColObj &b, Touch &t) {
    Actor *owner = b.owner;
    MeshItem *mesh = owner->CollisionMesh();
    if (mesh == nullptr) {
        return false;
    }
    const Vector3 centre = a.worldMin;
    const float r = SphereRadius(a);
    if (!SphereIntersectBox(b.worldMin, b.worldMax, centre, r, nullptr, nullptr)) {
        return false;
    }
    owner->UpdateWorldMatrix();
    owner->UpdateInverseWorldMatrix();
    Vector3 local;
    Vec3TransformCoord(&local, centre, owner->inverseWorldMatrix);
    Vector3 push = {0, 0, 0};
    Vector3 point = {0, 0, 0};
    if (!IntersectSphereWithMesh(mesh, static_cast<uint32_t>(b.reference), local, r, &push,
                                 &point)) {
        return false;
    }
    Vec3TransformNormal(&t.push, push, owner->worldMatrix);
    Vec3TransformCoord(&t.point, point, owner->worldMatrix);
    return true;
}

// B is the swept point, A the sphere or box it may have passed.
bool SweptPoint(const ColObj &a, const ColObj &b, Touch &t) {
    if (b.sweepRadius != 0.0f) {
        return false;
    }
    const Vector3 s = b.worldMin;
    const Vector3 d = b.worldMax;
    const Vector3 e = Vec3Add(s, d);
    Vector3 hit = {0, 0, 0};
    Vector3 normal = {0, 0, 0};
    if (a.type == kKindSphere) {
        if (!RayIntersectSphere(s, d, a.worldMin, SphereRadius(a), &hit, &normal)) {
            return false;
        }
    } else {
        if (!RayIntersectBox(s, d, a.worldMin, a.worldMax, nullptr, nullptr)) {
            return false;
        }
        Actor *owner = a.owner;
        owner->UpdateWorldMatrix();
        owner->UpdateInverseWorldMatrix();
        if (!RayIntersectOrientedBox(s, d, a.boxMin, a.boxMax, owner->worldMatrix,
                                     owner->inverseWorldMatrix, &hit, &normal)) {
            return false;
        }
    }
    if (!(Vec3Dot(d, Vec3Sub(hit, e)) < 0.0f && Vec3Dot(d, Vec3Sub(hit, s)) > 0.0f)) {
        return false;
    }
    t.push = Vec3Scale(Vec3Sub(hit, e), kPushMargin);
    t.normal = normal;
    t.normalGiven = true;
    t.point = hit;
    return true;
}

bool ShapeTestOf(ColObj &a, ColObj &b, Touch &t) {
    if (a.type == kKindSphere) {
        if (IsMeshKind(b.type)) {
            return SphereMesh(a, b, t);
        }
        switch (b.type) {
        case kKindSphere:
            return SphereSphere(a, b, t);
        case kKindBox:
            return SphereBox(a, b, t);
        case kKindGround:
        case kKindGround2:
            return SphereGround(a, b, t);
        case kKindRayPoint:
            return SweptPoint(a, b, t);
        default:
            return false;
        }
    }
    if (a.type == kKindBox && b.type == kKindRayPoint) {
        return SweptPoint(a, b, t);
    }
    return false;
}

// A contact whose push or point is not finite (finite but huge shapes can
// overflow them) is no contact: it would carry the overflow to the other.
bool ShapeTest(ColObj &a, ColObj &b, Touch &t) {
    return ShapeTestOf(a, b, t) && Vec3IsFinite(t.push) && Vec3IsFinite(t.point);
}

void QueueEvents(ColObj &self, ColObj &other) {
    if (!CollisionEventPermitted(other, self)) {
        return;
    }
    ColObj *pair[2] = {&self, &other};
    eventQueue.Append(other.owner, cmd::base::CollisionEvent, ParamBlock(pair, sizeof(pair)));
    if (self.commandToOther) {
        std::vector<uint8_t> &block = self.commandToOther->block;
        eventQueue.Append(other.owner, self.commandToOther->id,
                          ParamBlock(block.data(), block.size()));
    }
    if (self.commandToOwn) {
        std::vector<uint8_t> &block = self.commandToOwn->block;
        eventQueue.Append(self.owner, self.commandToOwn->id,
                          ParamBlock(block.data(), block.size()));
    }
}

void AddContact(Actor *owner, const ContactRecord &record) {
    if (!owner->simState) {
        owner->simState = std::make_unique<SimState>();
    }
    owner->simState->contacts.push_back(record);
    if (!owner->HasFlag(kActorContacted)) {
        owner->flags |= kActorContacted;
        ContactedList.Append(owner);
    }
}

// The weight an owner's simulation record gives; an owner without one
// weighs 1.0.
float WeightOf(const Actor *owner) {
    return owner->simParams ? owner->simParams->Weight() : 1.0f;
}

} // namespace

PointerList<Actor> ContactedList;

CollisionScene SetCollisionScene(const CollisionScene &scene) {
    CollisionScene previous = currentScene;
    currentScene = scene;
    NoteColObjShapeChange(); // other lists: what was built over the old ones goes
    return previous;
}

const CollisionScene &GetCollisionScene() { return currentScene; }

float CollisionWorldScale() {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr ? library->GetWorldScale() : 100.0f;
}

// --- filter -----------------------------------------------------------------------

bool CollisionGroupFilter(const ColObj &a, const ColObj &b) {
    return ((a.groups & b.receiveGroups) != 0 || (b.groups & a.receiveGroups) != 0) &&
           (a.excludeGroups & b.groups) == 0 && (b.excludeGroups & a.groups) == 0;
}

bool QueryGroupFilter(const uint32_t masks[3], const ColObj &o) {
    return ((masks[0] & o.receiveGroups) != 0 || (o.groups & masks[1]) != 0) &&
           (masks[2] & o.groups) == 0 && (masks[0] & o.excludeGroups) == 0;
}

bool CollisionEventPermitted(const ColObj &told, const ColObj &causing) {
    const bool forced = Has(causing, kColObjForcesEvents) || Has(told, kColObjTakesAllEvents);
    return (Has(told, kColObjTakesEvents) || forced) && (Has(causing, kColObjCausesEvents) || forced);
}

// --- event queue ------------------------------------------------------------------

namespace {
struct RecordHead {
    Actor *target;
    int32_t actorId;
    uint32_t commandId;
    uint32_t size;
};
} // namespace

void CollisionEventQueue::Reserve(size_t need) {
    if (need <= capacity_) {
        return;
    }
    size_t grown = capacity_ + std::min<size_t>(capacity_, 1024);
    grown = std::max<size_t>({grown, 16, need});
    auto block = std::make_unique<uint8_t[]>(grown);
    if (write_ > 0) {
        std::memcpy(block.get(), data_.get(), write_);
    }
    data_ = std::move(block);
    capacity_ = grown;
}

void CollisionEventQueue::Put(const void *bytes, size_t n) {
    Reserve(write_ + n);
    if (n > 0) {
        std::memcpy(data_.get() + write_, bytes, n);
    }
    write_ += n;
}

void CollisionEventQueue::Append(Actor *target, uint32_t commandId, ParamBlock block) {
    if (target == nullptr) {
        return;
    }
    const uint32_t size = CommandBlockSize(commandId, block);
    const RecordHead head = {target, target->actorId, commandId, size};
    Reserve(write_ + sizeof(head) + size);
    Put(&head, sizeof(head));
    // A block shorter than the command's size is padded with zeros.
    const size_t have = std::min<size_t>(size, block.data() != nullptr ? block.size() : 0);
    Put(block.data(), have);
    if (have < size) {
        std::memset(data_.get() + write_, 0, size - have);
        write_ += size - have;
    }
}

std::vector<CollisionEventQueue::Record> CollisionEventQueue::Records() const {
    std::vector<Record> records;
    size_t at = 0;
    while (at + sizeof(RecordHead) <= write_) {
        RecordHead head;
        std::memcpy(&head, data_.get() + at, sizeof(head));
        at += sizeof(head);
        Record record;
        record.target = head.target;
        record.commandId = head.commandId;
        record.block.assign(data_.get() + at, data_.get() + at + head.size);
        at += head.size;
        records.push_back(std::move(record));
    }
    return records;
}

size_t CollisionEventQueue::Deliver() {
    // The end mark: a record head with no target.
    const RecordHead end = {nullptr, -1, 0, 0};
    const size_t endAt = write_;
    Put(&end, sizeof(end));
    write_ = endAt;
    size_t delivered = 0;
    size_t at = 0;
    // Handlers may run another query but never a pass; the storage stays.
    while (true) {
        RecordHead head;
        std::memcpy(&head, data_.get() + at, sizeof(head));
        if (head.target == nullptr) {
            break;
        }
        at += sizeof(head);
        // A copy: a handler may append to the queue and so move its storage.
        std::vector<uint8_t> block(data_.get() + at, data_.get() + at + head.size);
        at += head.size;
        if (ActorTableEntry(head.actorId) != head.target) {
            continue;
        }
        head.target->HandleCommand(head.commandId, ParamBlock(block.data(), block.size()));
        ++delivered;
        if (at >= write_) {
            break;
        }
    }
    return delivered;
}

CollisionEventQueue &GetCollisionEventQueue() { return eventQueue; }

// --- narrow phase -----------------------------------------------------------------

int CollideColObjs(ColObj *a, ColObj *b, uint32_t mode) {
    if (a == nullptr || b == nullptr || a->owner == nullptr || b->owner == nullptr) {
        return 0;
    }
    if (!Has(*a, kColObjActive) || !Has(*b, kColObjActive) || !CollisionGroupFilter(*a, *b) ||
        a->owner == b->owner) {
        return 0;
    }
    const bool physical = (Has(*a, kColObjDynamic) && Has(*b, kColObjSolid)) ||
                          (Has(*b, kColObjDynamic) && Has(*a, kColObjSolid));
    if (!physical) {
        const bool eventPair =
            Has(*a, kColObjForcesEvents | kColObjTakesAllEvents) ||
            Has(*b, kColObjForcesEvents | kColObjTakesAllEvents) ||
            (Has(*a, kColObjTakesEvents) && Has(*b, kColObjCausesEvents)) ||
            (Has(*b, kColObjTakesEvents) && Has(*a, kColObjCausesEvents));
        if ((mode & kCollideEvents) == 0 || !eventPair) {
            return 0;
        }
    }
    if (b->type < a->type) {
        std::swap(a, b);
    }
    Touch t;
    if (!ShapeTest(*a, *b, t)) {
        return 0;
    }
    if (!t.normalGiven) {
        t.normal = Vec3Normalized(t.push);
    }
    // Side A gets the negated push and normal.
    ColObj *sides[2] = {a, b};
    const Vector3 pushes[2] = {Neg(t.push), t.push};
    const Vector3 normals[2] = {Neg(t.normal), t.normal};
    for (int i = 0; i < 2; ++i) {
        ColObj &self = *sides[i];
        ColObj &other = *sides[1 - i];
        if ((mode & kCollideEvents) != 0) {
            QueueEvents(self, other);
        }
        if ((mode & kCollideContacts) != 0 && Has(self, kColObjDynamic) &&
            Has(other, kColObjSolid) && !Has(other, kColObjDynamic)) {
            AddContact(self.owner, {&self, &other, pushes[i], normals[i], t.point});
        }
    }
    if ((mode & kCollideContacts) != 0 && Has(*a, kColObjDynamic) && Has(*a, kColObjSolid) &&
        Has(*b, kColObjDynamic) && Has(*b, kColObjSolid)) {
        const float ma = WeightOf(a->owner);
        const float mb = WeightOf(b->owner);
        float wa = 0.5f; // share of A's weight
        float wb = 0.5f;
        const float sum = ma + mb;
        if (std::isfinite(sum) && sum > 0.0f) {
            wa = ma / sum;
            wb = mb / sum;
        }
        AddContact(a->owner, {a, b, Vec3Scale(pushes[0], wb), normals[0], t.point});
        AddContact(b->owner, {b, a, Vec3Scale(pushes[1], wa), normals[1], t.point});
    }
    return 0;
}
