#include "sample_door.h"

#include "actors/presentation/mesh_object_actor.h"
#include "actors/world/door_actor.h"
#include "actors/world/path_actor.h"
#include "actors/world/path_node_actor.h"
#include "actors/world/trigger_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "sample_actors.h"
#include "sample_output.h"

namespace {

constexpr int32_t kDoorId = 3060;
constexpr int32_t kTriggerId = 3066;
constexpr int32_t kRunnerId = 3067;
// The walker's path and its nodes, in ids the level left free.
constexpr int32_t kTourId = 3057;
// Subtype "GeometryEvent": active, raises and takes events, pushes nothing.
constexpr uint32_t kGeometryEvent =
    kColObjActive | kColObjCausesEvents | kColObjTakesEvents | kColObjTakesAllEvents;

// Gives the mesh child the item, the local position and the scale.
bool ShapeMesh(Actor* mesh, const Vector3& at, const Vector3& scale) {
    if (mesh == nullptr || SendCommandArgs(mesh, cmd::base::SetResource,
                                           std::string("cube")) == 0) {
        return false;
    }
    mesh->position = at;
    mesh->scale = scale;
    mesh->InvalidateTransform();
    return true;
}

bool AddDoor(SampleOutput& out, const std::string& file) {
    Actor* door = MakeSampleActor(static_cast<int32_t>(kDoorClassId), "GA5_Door", kSceneryRootId,
                                  kDoorId);
    if (door == nullptr) return out.Fail(file, "cannot make actor \"GA5_Door\"");
    SendCommandArgs(door, cmd::base::SetPosition, Vector3{0.0f, 0.0f, 500.0f});
    SendCommandArgs(door, cmd::door::SetDoorType, kDoorSingle);
    SendCommandArgs(door, cmd::door::SetUseConnector, true);
    SendCommandArgs(door, cmd::door::SetDoorOpenTime, 1.0f);
    SendCommandArgs(door, cmd::door::SetDoorCloseTime, 1.0f);
    SendCommandArgs(door, cmd::door::SetDoorAutocloseTime, 3.0f);
    // The children come at run-time ids; the file keeps them in the door's
    // block.
    int32_t id = kDoorId + 1;
    for (Actor* child : std::vector<Actor*>(door->children)) {
        if (!MoveSampleActorId(child, id++)) return out.Fail(file, "cannot number the door's children");
    }
    // A lintel above the doorway and a 100 x 200 x 10 leaf filling it.
    if (!ShapeMesh(FindChildByName(door, "Door_Frame"), {0.0f, 210.0f, 0.0f}, {1.2f, 0.2f, 0.2f}) ||
        !ShapeMesh(FindChildByName(door, "Door_1"), {0.0f, 100.0f, 0.0f}, {1.0f, 2.0f, 0.1f})) {
        return out.Fail(file, "cannot shape the door's meshes");
    }
    if (FindChildByName(door, "Door Connector") == nullptr || id != kTriggerId) {
        return out.Fail(file, "the door lacks its children");
    }
    return true;
}

}  // namespace

bool AddDoorAndTrigger(SampleOutput& out, const std::string& file) {
    Actor* room = FindChildByName(GetActorById(kSceneryRootId), "RoomA");
    if (room == nullptr) return out.Fail(file, "no room RoomA for the trigger");
    if (!AddDoor(out, file)) return false;

    Actor* trigger = CreateActor(static_cast<int32_t>(kTriggerClassId), "T", nullptr, room,
                                 kTriggerId, true);
    if (trigger == nullptr || trigger->colObjs.empty()) return out.Fail(file, "cannot make actor \"T\"");
    SendCommandArgs(trigger, cmd::base::SetPosition, Vector3{0.0f, 50.0f, 380.0f});
    SendCommandArgs(trigger, cmd::trigger::SetTriggerRadius, 100.0f);
    trigger->colObjs[0]->receiveGroups = 1;
    trigger->scripts.clear();
    std::string error;
    if (!AddSampleScript(trigger, "On Trigger", cmd::trigger::OnTriggerEnter,
                         "[ga]GA5.Open_Door();", &error)) {
        return out.Fail(file, error);
    }

    // The walker's route: from (0, 50, -300) it goes into the trigger's
    // sphere 3.73 s in, waits 1.5 s at N3 in front of the door, walks
    // through the doorway to N4 in RoomC and jumps back, to wait 1 s there.
    Actor* tour = CreateActor(static_cast<int32_t>(kPathClassId), "Tour", nullptr, room, kTourId,
                              true);
    Actor* n3 = tour == nullptr ? nullptr
                                : CreateActor(static_cast<int32_t>(kPathNodeClassId), "N3",
                                              nullptr, tour, kTourId + 1, true);
    Actor* n4 = n3 == nullptr ? nullptr
                              : CreateActor(static_cast<int32_t>(kPathNodeClassId), "N4", nullptr,
                                            n3, kTourId + 2, true);
    if (n4 == nullptr) return out.Fail(file, "cannot make the Path \"Tour\"");
    SendCommandArgs(tour, cmd::base::SetPosition, Vector3{0.0f, 50.0f, -300.0f});
    SendCommandArgs(tour, cmd::path::SetPathSpeed, 150.0f);
    SendCommandArgs(tour, cmd::path::SetUseNodetimeForPause, 1u);
    SendCommandArgs(tour, cmd::path_node::SetPathnodeTime, 1.0f);
    SendCommandArgs(n3, cmd::base::SetPosition, Vector3{0.0f, 0.0f, 680.0f});
    SendCommandArgs(n3, cmd::path_node::SetPathnodeTime, 1.5f);
    SendCommandArgs(n4, cmd::base::SetPosition, Vector3{0.0f, 0.0f, 720.0f});
    SendCommandArgs(n4, cmd::path_node::SetPathnodeEndtype, kPathEndJumpBackToRoot);

    Actor* runner = CreateActor(0, "Runner", nullptr, tour, kRunnerId, true);
    if (runner == nullptr) return out.Fail(file, "cannot make actor \"Runner\"");
    ColObj sphere(runner);
    sphere.name = "Runner Col";
    sphere.type = 1;
    sphere.flags = kGeometryEvent;
    sphere.groups = 1;
    sphere.receiveGroups = 1;
    sphere.boxMin = {0.0f, 0.0f, 0.0f};
    sphere.boxMax = {20.0f, 20.0f, 20.0f};
    runner->AddColObj(sphere);
    return true;
}
