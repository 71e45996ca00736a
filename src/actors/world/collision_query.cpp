// The ray query: the first sphere or box on a line.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "actors/world/collision.h"
#include "actors/world/collision_grid.h"
#include "core/actors/actor_services.h"

namespace {

struct RayRecord {
    Vector3 origin;
    Vector3 end;
    Vector3 direction;
    Vector3 bestPoint;
    Vector3 bestNormal = {0, 0, 0};
    ColObj *best = nullptr;
};

// Where the ray meets the object, when it does and passes its masks.
bool RayHitColObj(const RayRecord &ray, const uint32_t masks[3], ColObj *object, Vector3 *hit,
                  Vector3 *normal) {
    if (!QueryGroupFilter(masks, *object)) {
        return false;
    }
    switch (object->type) {
    case kKindSphere:
        return RayIntersectSphere(ray.origin, ray.direction, object->worldMin, object->worldMax.x,
                                  hit, normal);
    case kKindBox: {
        if (!RayIntersectBox(ray.origin, ray.direction, object->worldMin, object->worldMax,
                             nullptr, nullptr)) {
            return false;
        }
        Actor *owner = object->owner;
        owner->UpdateWorldMatrix();
        owner->UpdateInverseWorldMatrix();
        return RayIntersectOrientedBox(ray.origin, ray.direction, object->boxMin, object->boxMax,
                                       owner->worldMatrix, owner->inverseWorldMatrix, hit, normal);
    }
    case kKindWorldBox:
        return RayIntersectBox(ray.origin, ray.direction, object->worldMin, object->worldMax, hit,
                               normal);
    default:
        return false; // meshes and swept points are never hit
    }
}

// Whether a hit counts: strictly before the best point so far and strictly
// ahead of the origin.
bool Improves(const RayRecord &ray, const Vector3 &hit) {
    return Vec3Dot(ray.direction, Vec3Sub(hit, ray.bestPoint)) < 0.0f &&
           Vec3Dot(ray.direction, Vec3Sub(hit, ray.origin)) > 0.0f;
}

void Offer(RayRecord &ray, const Vector3 &hit, const Vector3 &normal, ColObj *object) {
    if (Improves(ray, hit)) {
        ray.bestPoint = hit;
        ray.bestNormal = normal;
        ray.best = object;
    }
}

void RayTestColObj(RayRecord &ray, const uint32_t masks[3], ColObj *object) {
    Vector3 hit = {0, 0, 0};
    Vector3 normal = {0, 0, 0};
    if (RayHitColObj(ray, masks, object, &hit, &normal)) {
        Offer(ray, hit, normal, object);
    }
}

void TestMoversOf(RayRecord &ray, const uint32_t masks[3], const PointerList<Actor> *list) {
    if (list == nullptr) {
        return;
    }
    for (Actor *actor : *list) {
        if (!actor->HasFlag(kActorCollisionEnabled)) {
            continue;
        }
        for (const auto &object : actor->colObjs) {
            if ((object->flags & kColObjActive) != 0) {
                RayTestColObj(ray, masks, object.get());
            }
        }
    }
}

float MaxAbs(const Vector3 &v) {
    return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
}

// The movers' objects in the order the query tests them, with the grid of
// their world boxes. Kept from query to query while no collision object
// changed and neither collider list did. Spheres and world boxes are placed
// by the boxes their hits lie in (give or take the rounding of the hit);
// an oriented box is hit where its owner is now, which its world box may
// not hold yet, so it is tested on every query; the other kinds are never
// hit and left out.
struct MoverIndex {
    struct Entry {
        Actor *actor = nullptr;
        ColObj *object = nullptr;
    };
    bool built = false;
    uint64_t version = 0;
    const PointerList<Actor> *active = nullptr;
    const PointerList<Actor> *passive = nullptr;
    uint64_t activeChanges = 0;
    uint64_t passiveChanges = 0;
    size_t objects = 0; // of the movers
    std::vector<Entry> entries;
    std::vector<CollisionGrid::Box> boxes; // per entry
    CollisionGrid grid;
    std::vector<uint32_t> found; // scratch of a query

    bool Current(const CollisionScene &scene) const {
        return built && objects >= CollisionGridMinimum() && version == ColObjShapeVersion() &&
               active == scene.active && passive == scene.passive &&
               (active == nullptr || activeChanges == active->Changes()) &&
               (passive == nullptr || passiveChanges == passive->Changes());
    }

    void Build(const CollisionScene &scene, size_t objectCount) {
        built = true;
        objects = objectCount;
        version = ColObjShapeVersion();
        active = scene.active;
        passive = scene.passive;
        activeChanges = active != nullptr ? active->Changes() : 0;
        passiveChanges = passive != nullptr ? passive->Changes() : 0;
        entries.clear();
        boxes.clear();
        for (const PointerList<Actor> *list : {active, passive}) {
            if (list == nullptr) {
                continue;
            }
            for (Actor *actor : *list) {
                for (const auto &object : actor->colObjs) {
                    CollisionGrid::Box box;
                    const Vector3 &a = object->worldMin;
                    const Vector3 &b = object->worldMax;
                    if (object->type == kKindSphere) {
                        const float r = std::fabs(b.x);
                        const float pad = 2e-3f * (1.0f + r + MaxAbs(a));
                        box.lo = {a.x - r - pad, a.y - r - pad, a.z - r - pad};
                        box.hi = {a.x + r + pad, a.y + r + pad, a.z + r + pad};
                    } else if (object->type == kKindWorldBox) {
                        const float pad = 2e-3f * (1.0f + std::max(MaxAbs(a), MaxAbs(b)));
                        box.lo = {a.x - pad, a.y - pad, a.z - pad};
                        box.hi = {b.x + pad, b.y + pad, b.z + pad};
                    } else if (object->type == kKindBox) {
                        box.use = CollisionGrid::Box::kLoose;
                    } else {
                        continue;
                    }
                    entries.push_back({actor, object.get()});
                    boxes.push_back(box);
                }
            }
        }
        grid.Build(boxes);
    }
};

// Whether a segment comes within `pad` of a box: a slab test of the
// widened box, in doubles; it errs towards yes.
class SegmentNearBox {
  public:
    SegmentNearBox(const Vector3 &from, const Vector3 &to, float pad) : pad_(pad) {
        const double f[3] = {from.x, from.y, from.z};
        const double t[3] = {to.x, to.y, to.z};
        for (int a = 0; a < 3; ++a) {
            from_[a] = f[a];
            const double d = t[a] - f[a];
            flat_[a] = d == 0.0;
            inverse_[a] = flat_[a] ? 0.0 : 1.0 / d;
        }
    }

    bool Meets(const CollisionGrid::Box &box) const {
        const double lo[3] = {box.lo.x - pad_, box.lo.y - pad_, box.lo.z - pad_};
        const double hi[3] = {box.hi.x + pad_, box.hi.y + pad_, box.hi.z + pad_};
        double enter = 0.0;
        double leave = 1.0;
        for (int a = 0; a < 3; ++a) {
            if (flat_[a]) {
                if (from_[a] < lo[a] || from_[a] > hi[a]) {
                    return false;
                }
                continue;
            }
            double t0 = (lo[a] - from_[a]) * inverse_[a];
            double t1 = (hi[a] - from_[a]) * inverse_[a];
            if (t0 > t1) {
                std::swap(t0, t1);
            }
            enter = std::max(enter, t0 - 1e-9);
            leave = std::min(leave, t1 + 1e-9);
            if (enter > leave) {
                return false;
            }
        }
        return true;
    }

  private:
    double from_[3] = {0, 0, 0};
    double inverse_[3] = {0, 0, 0};
    bool flat_[3] = {false, false, false};
    double pad_ = 0.0;
};

MoverIndex &Movers() {
    static MoverIndex index;
    return index;
}

// The movers the cells along the ray hold, tested as the walk meets them;
// the walk stops once no mover it has not met can be hit nearer than a hit
// it has. The hits are then offered in the movers' order, as testing every
// mover offers them: a mover that was not met can only be hit beyond the
// best hit, and the earlier of two equal hits stays.
struct RayWalkScratch {
    struct Tried {
        uint32_t entry = 0;
        Vector3 hit = {0, 0, 0};
        Vector3 normal = {0, 0, 0};
    };
    std::vector<uint32_t> met; // per entry, the walk that met it last
    uint32_t walk = 0;
    std::vector<Tried> hits;
};

void TestMovers(RayRecord &ray, const uint32_t masks[3]) {
    const CollisionScene &scene = GetCollisionScene();
    MoverIndex &index = Movers();
    if (!index.Current(scene)) {
        size_t objects = 0;
        for (const PointerList<Actor> *list : {scene.active, scene.passive}) {
            if (list != nullptr) {
                for (Actor *actor : *list) {
                    objects += actor->colObjs.size();
                }
            }
        }
        if (objects < CollisionGridMinimum()) {
            TestMoversOf(ray, masks, scene.active);
            TestMoversOf(ray, masks, scene.passive);
            return;
        }
        index.Build(scene, objects);
    }
    static RayWalkScratch scratch;
    if (scratch.met.size() != index.entries.size() || ++scratch.walk == 0) {
        scratch.met.assign(index.entries.size(), 0);
        scratch.walk = 1;
    }
    scratch.hits.clear();
    // A hit counts only between the origin and the end; the pad covers the
    // rounding of the hit point.
    const float pad = 2e-3f * (1.0f + std::max(MaxAbs(ray.origin), MaxAbs(ray.end)) +
                               Vec3Length(Vec3Sub(ray.end, ray.origin)));
    CollisionGrid::SegmentWalk walk;
    if (!index.grid.StartSegment(ray.origin, ray.end, pad, walk)) {
        TestMoversOf(ray, masks, scene.active);
        TestMoversOf(ray, masks, scene.passive);
        return;
    }
    const SegmentNearBox near(ray.origin, ray.end, pad);
    // The nearest hit so far that counts against the end, along the walk.
    double nearest = std::numeric_limits<double>::infinity();
    auto tryEntry = [&](uint32_t i) {
        // The owner is looked at only for a hit, or before the test of an
        // oriented box, which brings the owner's matrices up to date.
        const MoverIndex::Entry &entry = index.entries[i];
        const bool oriented = entry.object->type == kKindBox;
        if ((entry.object->flags & kColObjActive) == 0 ||
            (oriented && !entry.actor->HasFlag(kActorCollisionEnabled))) {
            return;
        }
        RayWalkScratch::Tried tried;
        tried.entry = i;
        if (RayHitColObj(ray, masks, entry.object, &tried.hit, &tried.normal) &&
            (oriented || entry.actor->HasFlag(kActorCollisionEnabled))) {
            scratch.hits.push_back(tried);
            if (Improves(ray, tried.hit)) {
                nearest = std::min(nearest, walk.Progress(tried.hit));
            }
        }
    };
    for (const uint32_t i : index.grid.Loose()) {
        tryEntry(i);
    }
    std::vector<uint32_t> &found = index.found;
    found.clear();
    while (walk.Reach() <= nearest + pad && index.grid.NextSlab(walk, found)) {
        // The cells hold more than the line passes: what cannot come
        // within the pad of it is not tested.
        for (const uint32_t i : found) {
            if (scratch.met[i] != scratch.walk) {
                scratch.met[i] = scratch.walk;
                if (near.Meets(index.boxes[i])) {
                    tryEntry(i);
                }
            }
        }
        found.clear();
    }
    if (walk.OverBudget()) {
        TestMoversOf(ray, masks, scene.active);
        TestMoversOf(ray, masks, scene.passive);
        return;
    }
    std::sort(scratch.hits.begin(), scratch.hits.end(),
              [](const RayWalkScratch::Tried &a, const RayWalkScratch::Tried &b) {
                  return a.entry < b.entry;
              });
    for (const RayWalkScratch::Tried &tried : scratch.hits) {
        Offer(ray, tried.hit, tried.normal, index.entries[tried.entry].object);
    }
}

// Static objects are tested whatever their active bit.
void TestStatics(RayRecord &ray, const uint32_t masks[3], int32_t group) {
    const CollisionScene &scene = GetCollisionScene();
    if (scene.staticObjects == nullptr) {
        return;
    }
    PointerList<ColObj> *statics = scene.staticObjects(group);
    if (statics == nullptr) {
        return;
    }
    for (ColObj *object : *statics) {
        if (object->owner != nullptr && object->owner->HasFlag(kActorCollisionEnabled)) {
            RayTestColObj(ray, masks, object);
        }
    }
}

} // namespace

ColObj *RunCollisionQuery(const Vector3 &origin, const Vector3 &end, const uint32_t masks[3],
                          Vector3 *hitPoint, Vector3 *normal) {
    ActorDeliveryScope delivery;
    const CollisionScene &scene = GetCollisionScene();
    RayRecord ray;
    ray.origin = origin;
    ray.end = end;
    Vec3Normalize(&ray.direction, Vec3Sub(end, origin));
    ray.bestPoint = end;

    const int32_t group = scene.groupAt != nullptr ? scene.groupAt(origin) : -1;
    TestMovers(ray, masks);
    if (group != -1) {
        const bool hitBefore = ray.best != nullptr;
        TestStatics(ray, masks, group);
        if ((ray.best == nullptr || hitBefore) && scene.openNeighbours != nullptr) {
            std::vector<int32_t> neighbours;
            scene.openNeighbours(group, neighbours);
            for (size_t k = 0; k < neighbours.size(); ++k) {
                const int32_t other = neighbours[k];
                // Visited: the origin's group, or one met earlier in the list.
                const auto earlier = neighbours.begin() + static_cast<std::ptrdiff_t>(k);
                if (other == group || std::find(neighbours.begin(), earlier, other) != earlier) {
                    continue;
                }
                Vector3 boxMin;
                Vector3 boxMax;
                if (scene.groupBox == nullptr || !scene.groupBox(other, &boxMin, &boxMax) ||
                    !RayIntersectBox(ray.origin, ray.direction, boxMin, boxMax, nullptr,
                                     nullptr)) {
                    continue;
                }
                TestStatics(ray, masks, other);
                if (ray.best != nullptr) {
                    break;
                }
            }
        }
    }
    if (hitPoint != nullptr) {
        *hitPoint = ray.bestPoint;
        if (normal != nullptr) {
            *normal = ray.bestNormal;
        }
    }
    return ray.best;
}
