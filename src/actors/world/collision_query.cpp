// The ray query: the first sphere or box on a line.
#include <algorithm>
#include <vector>

#include "actors/world/collision.h"
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

Vector3 Sub(const Vector3 &a, const Vector3 &b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

void RayTestColObj(RayRecord &ray, const uint32_t masks[3], ColObj *object) {
    if (!QueryGroupFilter(masks, *object)) {
        return;
    }
    Vector3 hit = {0, 0, 0};
    Vector3 normal = {0, 0, 0};
    switch (object->type) {
    case kKindSphere:
        if (!RayIntersectSphere(ray.origin, ray.direction, object->worldMin, object->worldMax.x,
                                &hit, &normal)) {
            return;
        }
        break;
    case kKindBox: {
        if (!RayIntersectBox(ray.origin, ray.direction, object->worldMin, object->worldMax,
                             nullptr, nullptr)) {
            return;
        }
        Actor *owner = object->owner;
        owner->UpdateWorldMatrix();
        owner->UpdateInverseWorldMatrix();
        if (!RayIntersectOrientedBox(ray.origin, ray.direction, object->boxMin, object->boxMax,
                                     owner->worldMatrix, owner->inverseWorldMatrix, &hit,
                                     &normal)) {
            return;
        }
        break;
    }
    case kKindWorldBox:
        if (!RayIntersectBox(ray.origin, ray.direction, object->worldMin, object->worldMax, &hit,
                             &normal)) {
            return;
        }
        break;
    default:
        return; // meshes and swept points are never hit
    }
    if (Vec3Dot(ray.direction, Sub(hit, ray.bestPoint)) < 0.0f &&
        Vec3Dot(ray.direction, Sub(hit, ray.origin)) > 0.0f) {
        ray.bestPoint = hit;
        ray.bestNormal = normal;
        ray.best = object;
    }
}

void TestMovers(RayRecord &ray, const uint32_t masks[3], const PointerList<Actor> *list) {
    if (list == nullptr) {
        return;
    }
    for (Actor *actor : list->Items()) {
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
    for (ColObj *object : statics->Items()) {
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
    Vec3Normalize(&ray.direction, Sub(end, origin));
    ray.bestPoint = end;

    const int32_t group = scene.groupAt != nullptr ? scene.groupAt(origin) : -1;
    TestMovers(ray, masks, scene.active);
    TestMovers(ray, masks, scene.passive);
    if (group != -1) {
        const bool hitBefore = ray.best != nullptr;
        TestStatics(ray, masks, group);
        if ((ray.best == nullptr || hitBefore) && scene.openNeighbours != nullptr) {
            std::vector<int32_t> neighbours;
            scene.openNeighbours(group, neighbours);
            std::vector<int32_t> visited = {group};
            for (int32_t other : neighbours) {
                if (std::find(visited.begin(), visited.end(), other) != visited.end()) {
                    continue;
                }
                visited.push_back(other);
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
