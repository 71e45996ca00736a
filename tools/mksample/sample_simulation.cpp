#include "sample_simulation.h"

#include "actors/presentation/mesh_object_actor.h"
#include "actors/world/simulation_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "sample_actors.h"
#include "sample_output.h"

namespace {

constexpr uint32_t kSphereApprox = 5;

}  // namespace

bool AddFallingBall(SampleOutput& out, const std::string& file, int32_t& next) {
    Actor* room = FindChildByName(GetActorById(kSceneryRootId), "RoomA");
    if (room == nullptr) return out.Fail(file, "no room RoomA");
    // Its sphere (radius 50) rests on FloorA (height 0) at 50; it starts 20
    // above, in the camera's view.
    Actor* ball = CreateActor(static_cast<int32_t>(kSimulationClassId), "Ball", nullptr, room,
                              next++, true);
    if (ball == nullptr) return out.Fail(file, "cannot make actor \"Ball\"");
    ball->position = {200.0f, 70.0f, 300.0f};
    ball->InvalidateTransform();
    SendCommandArgs(ball, cmd::base::SetSimStyle, kSphereApprox);
    std::string error;
    if (!AddSampleScript(ball, "drop", cmd::base::StartGame, "this.Action_Start();", &error) ||
        !AddSampleScript(ball, "rested", cmd::base::OnSimRestStart,
                         "[ga]GA28.Set_Position((7, 7, 7));", &error)) {
        return out.Fail(file, error);
    }

    // The visible ball; without collision objects of its own, so that it
    // never pushes its parent.
    auto* mesh = dynamic_cast<MeshObjectActor*>(CreateActor(
        static_cast<int32_t>(kMeshObjectClassId), "BallMesh", nullptr, ball, next++, true));
    if (mesh == nullptr) return out.Fail(file, "cannot make actor \"BallMesh\"");
    mesh->meshFlags &= ~kMeshSyncCollision;
    if (SendCommandArgs(mesh, cmd::base::SetResource, std::string("sphere")) == 0) {
        return out.Fail(file, "cannot give \"BallMesh\" the mesh \"sphere\"");
    }
    if (!mesh->colObjs.empty()) return out.Fail(file, "\"BallMesh\" took collision objects");

    if (CreateActor(0, "GA28_Rest", nullptr, room, next++, true) == nullptr) {
        return out.Fail(file, "cannot make actor \"GA28_Rest\"");
    }
    return true;
}
