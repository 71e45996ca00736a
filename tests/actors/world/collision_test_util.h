// A small collision world for the collision tests: its own collider lists
// and static lists installed as the collision scene, actors made below
// "Scenery", and collision objects with their world fields set by hand or
// from the owner's transform.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "actors/world/collision.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/material_table.h"

namespace coltest {

inline constexpr uint32_t kNormal = kColObjActive | kColObjSolid;
inline constexpr uint32_t kEvent = kColObjActive | kColObjTakesEvents | kColObjCausesEvents;
inline constexpr uint32_t kDynamic =
    kColObjActive | kColObjTakesEvents | kColObjCausesEvents | kColObjDynamic | kColObjSolid;
inline constexpr uint32_t kGeometryEvent =
    kColObjActive | kColObjTakesEvents | kColObjCausesEvents | kColObjTakesAllEvents;

// The world fields of an object from its owner's transform: a sphere's
// centre is its local box minimum, its radius the local maximum's x.
inline void UpdateTestBounds(Actor *actor) {
    NoteColObjShapeChange();
    for (auto &object : actor->colObjs) {
        const Matrix &world = actor->GetWorldMatrix();
        if (object->type == kKindSphere) {
            Vec3TransformCoord(&object->worldMin, object->boxMin, world);
            object->worldMax = {object->boxMax.x, 0.0f, 0.0f};
        } else if (object->type != kKindRayPoint) {
            BoxTransformBounds(&object->worldMin, &object->worldMax, object->boxMin,
                               object->boxMax, world);
        }
    }
}

class CollisionWorld : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetActorWorldForTests();
        ASSERT_EQ(InitActorSystem(), 1);
        Install();
    }
    void TearDown() override {
        Uninstall();
        ResetActorWorldForTests();
    }

    void Install() {
        self_ = this;
        CollisionScene scene;
        scene.active = &active;
        scene.passive = &passive;
        scene.staticObjects = [](int32_t group) -> PointerList<ColObj> * {
            return &self_->statics[group];
        };
        scene.groupAt = [](const Vector3 &p) -> int32_t {
            for (const auto &[id, box] : self_->groupBoxes) {
                if (PointInBox(box.min, box.max, p)) {
                    return id;
                }
            }
            return -1;
        };
        scene.openNeighbours = [](int32_t group, std::vector<int32_t> &out) {
            for (const auto &[a, b] : self_->openConnectors) {
                if (a == group) {
                    out.push_back(b);
                } else if (b == group) {
                    out.push_back(a);
                }
            }
        };
        scene.groupBox = [](int32_t group, Vector3 *min, Vector3 *max) {
            auto it = self_->groupBoxes.find(group);
            if (it == self_->groupBoxes.end()) {
                return false;
            }
            *min = it->second.min;
            *max = it->second.max;
            return true;
        };
        scene.updateBounds = &UpdateTestBounds;
        previous_ = SetCollisionScene(scene);
        GetCollisionEventQueue().Clear();
    }
    void Uninstall() {
        active.Clear();
        passive.Clear();
        statics.clear();
        ContactedList.Clear();
        GetCollisionEventQueue().Clear();
        SetCollisionScene(previous_);
    }

    Actor *Make(const std::string &name, const Vector3 &position = {0, 0, 0}) {
        Actor *actor = CreateActor(0, name, nullptr, GetActorById(kSceneryRootId), nextId_++,
                                   false);
        actor->position = position;
        actor->InvalidateTransform();
        return actor;
    }

    // A sphere of the actor at its local centre.
    ColObj &Sphere(Actor *actor, float radius, uint32_t flags, const Vector3 &centre = {0, 0, 0}) {
        auto object = std::make_unique<ColObj>(actor);
        object->type = kKindSphere;
        object->flags = flags;
        object->boxMin = centre;
        object->boxMax = {radius, 0.0f, 0.0f};
        ColObj &added = actor->AddColObj(std::move(object));
        UpdateTestBounds(actor);
        return added;
    }
    // A box of the actor in its own space.
    ColObj &Box(Actor *actor, const Vector3 &min, const Vector3 &max, uint32_t flags,
                uint32_t kind = kKindBox) {
        auto object = std::make_unique<ColObj>(actor);
        object->type = kind;
        object->flags = flags;
        object->boxMin = min;
        object->boxMax = max;
        ColObj &added = actor->AddColObj(std::move(object));
        UpdateTestBounds(actor);
        return added;
    }
    // A static box entered in a group's static list.
    ColObj &StaticBox(Actor *actor, int32_t group, const Vector3 &min, const Vector3 &max,
                      uint32_t flags = kNormal) {
        ColObj &object = Box(actor, min, max, flags);
        actor->drawGroupId = group;
        statics[group].Append(&object, &object.staticNodes);
        return object;
    }

    std::vector<ContactRecord> Contacts(Actor *actor) const {
        return actor->simState ? actor->simState->contacts : std::vector<ContactRecord>();
    }
    // "<target name> <command>" of the queued records.
    std::vector<std::string> Queued() const {
        std::vector<std::string> lines;
        for (const auto &record : GetCollisionEventQueue().Records()) {
            lines.push_back(record.target->name + " " + std::to_string(record.commandId));
        }
        return lines;
    }

    PointerList<Actor> active;
    PointerList<Actor> passive;
    std::map<int32_t, PointerList<ColObj>> statics;
    std::map<int32_t, AABox> groupBoxes;
    std::vector<std::pair<int32_t, int32_t>> openConnectors;

  private:
    static inline CollisionWorld *self_ = nullptr;
    CollisionScene previous_;
    int32_t nextId_ = 3000;
};

inline void ExpectNear(const Vector3 &a, const Vector3 &b, float tolerance = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

} // namespace coltest
