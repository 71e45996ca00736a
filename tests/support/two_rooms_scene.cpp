#include "two_rooms_scene.h"

#include <vector>

#include "actors/presentation/camera_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/world/collision.h"
#include "actors/world/door_actor.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/trigger_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "library/resource_library.h"

namespace scene {

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kSetBoxMin = 74;
constexpr uint32_t kSetBoxMax = 76;

Actor *Room(SceneBuilder &builder, const char *name, const Vector3 &min, const Vector3 &max) {
    Actor *group = builder.Make(kDrawGroupClassId, name);
    SendCommandArgs(group, kSetBoxMin, min);
    SendCommandArgs(group, kSetBoxMax, max);
    return group;
}

// An Object showing the library's "cube".
Actor *Cube(SceneBuilder &builder, const char *name, Actor *parent, const Vector3 &at,
            const Vector3 &scale) {
    Actor *mesh = builder.Make(kMeshObjectClassId, name, parent);
    LibraryItem *item = GetLibrary() != nullptr ? GetLibrary()->FindItemByName("cube", ItemClass::Mesh)
                                                : nullptr;
    if (mesh == nullptr || item == nullptr) {
        return nullptr;
    }
    mesh->HandleCommand(cmd::mesh_object::SetMesh, ParamBlock(&item, sizeof(item)));
    SendCommandArgs(mesh, kSetPosition, at);
    mesh->scale = scale;
    mesh->InvalidateTransform();
    return mesh;
}

} // namespace

bool BuildTwoRooms(SceneBuilder &builder, const TwoRoomsOptions &options, std::string *error) {
    auto fail = [&](const std::string &what) {
        if (error != nullptr) {
            *error = "cannot make " + what;
        }
        return false;
    };
    auto *camera = dynamic_cast<CameraActor *>(builder.Make(kCameraClassId, "Cam"));
    if (camera == nullptr) {
        return fail("Cam");
    }
    camera->position = {0, 50, 0};
    camera->active = 1;

    Actor *roomA = Room(builder, "RoomA", {-500, -100, -500}, {500, 400, 500});
    if (Cube(builder, "FloorA", roomA, {0, 0, 0}, {10, 0.2f, 10}) == nullptr) {
        return fail("FloorA");
    }
    if (options.trigger) {
        Actor *trigger = builder.Make(kTriggerClassId, "T", roomA);
        if (trigger == nullptr || trigger->colObjs.empty()) {
            return fail("T");
        }
        SendCommandArgs(trigger, kSetPosition, Vector3{400, 50, 0});
        SendCommandArgs(trigger, cmd::trigger::SetTriggerRadius, 100.0f);
        trigger->colObjs[0]->receiveGroups = 1;
        trigger->scripts.clear();
        if (!SceneBuilder::AddScript(trigger, cmd::trigger::OnTriggerEnter, "[ga]GA5.Open_Door();",
                                     error)) {
            return false;
        }
    }
    if (options.runner) {
        Actor *runner = builder.Make(0, "Runner", roomA);
        if (runner == nullptr) {
            return fail("Runner");
        }
        SendCommandArgs(runner, kSetPosition, Vector3{0, 50, 0});
        ColObj sphere(runner);
        sphere.type = 1;
        sphere.flags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents | kColObjTakesAllEvents;
        sphere.groups = 1;
        sphere.receiveGroups = 1;
        sphere.boxMin = {0, 0, 0};
        sphere.boxMax = {20, 20, 20};
        runner->AddColObj(sphere);
    }

    Actor *roomB = Room(builder, "RoomB", {500, -100, -500}, {1500, 410, 500});
    if (Cube(builder, "Statue", roomB, {1000, 50, 0}, {1, 1, 1}) == nullptr) {
        return fail("Statue");
    }

    Actor *door = builder.Make(kDoorClassId, "GA5_Door");
    if (door == nullptr) {
        return fail("GA5_Door");
    }
    SendCommandArgs(door, kSetPosition, Vector3{500, 0, 0});
    SendCommandArgs(door, cmd::door::SetDoorType, kDoorSingle);
    SendCommandArgs(door, cmd::door::SetUseConnector, true);
    SendCommandArgs(door, cmd::door::SetDoorOpenTime, 0.5f);
    SendCommandArgs(door, cmd::door::SetDoorCloseTime, 0.5f);
    SendCommandArgs(door, cmd::door::SetDoorAutoclose, options.autoClose > 0.0f);
    if (options.autoClose > 0.0f) {
        SendCommandArgs(door, cmd::door::SetDoorAutocloseTime, options.autoClose);
    }
    // Its children come at run-time ids; the file keeps them at the scene's.
    for (Actor *child : std::vector<Actor *>(door->children)) {
        if (!builder.Claim(child)) {
            return fail("the door's children");
        }
    }
    Actor *connector = FindChildByName(door, "Door Connector");
    if (connector == nullptr) {
        return fail("Door Connector");
    }
    SendCommandArgs(connector, kSetPosition, Vector3{0, 30, 0});
    return true;
}

} // namespace scene
