#include "sample_moving.h"

#include "actors/presentation/lod_actor.h"
#include "actors/presentation/matrix_animation_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/world/path_actor.h"
#include "actors/world/path_node_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "sample_output.h"

namespace {


Actor* Make(uint32_t classId, const char* name, Actor* parent, int32_t id) {
    return parent != nullptr
               ? CreateActor(static_cast<int32_t>(classId), name, nullptr, parent, id, true)
               : nullptr;
}

// A Mesh Object on the named mesh; hidden ones wait for their LOD.
Actor* MakeMesh(const char* name, const char* mesh, Actor* parent, int32_t id, float scale,
                bool visible) {
    Actor* actor = Make(kMeshObjectClassId, name, parent, id);
    if (actor == nullptr || SendCommandArgs(actor, cmd::base::SetResource,
                                            std::string(mesh)) == 0) {
        return nullptr;
    }
    actor->scale = {scale, scale, scale};
    actor->InvalidateTransform();
    if (!visible) SendCommandArgs(actor, cmd::mesh_object::SetVisible, 0u);
    return actor;
}

}  // namespace

bool AddMovingContent(SampleOutput& out, const std::string& file) {
    Actor* roomA = FindChildByName(GetActorById(kSceneryRootId), "RoomA");
    if (roomA == nullptr) return out.Fail(file, "no room RoomA");
    int32_t id = kFirstMovingId;

    // Its update writes the base position over the actor's own.
    Actor* spin = Make(kMatrixAnimationClassId, "Spin", roomA, id++);
    if (spin == nullptr || MakeMesh("SpinCube", "cube", spin, id++, 0.5f, true) == nullptr) {
        return out.Fail(file, "cannot make the Matrix Animation \"Spin\"");
    }
    SendCommandArgs(spin, cmd::matrix_animation::SetMatrixAnimPosition,
                    Vector3{300.0f, 200.0f, 200.0f});
    SendCommandArgs(spin, cmd::matrix_animation::SetMatrixAnimRotation,
                    Vector3{0.0f, 3.1415927f, 0.0f});

    Actor* route = Make(kPathClassId, "Route", roomA, id++);
    Actor* n1 = Make(kPathNodeClassId, "N1", route, id++);
    Actor* n2 = Make(kPathNodeClassId, "N2", n1, id++);
    if (n2 == nullptr || MakeMesh("Walker", "sphere", route, id++, 0.3f, true) == nullptr) {
        return out.Fail(file, "cannot make the Path \"Route\"");
    }
    route->position = {-300.0f, 30.0f, -200.0f};
    route->InvalidateTransform();
    SendCommandArgs(route, cmd::path::SetPathSpeed, 100.0f);
    SendCommandArgs(n1, cmd::base::SetPosition, Vector3{300.0f, 0.0f, 0.0f});
    SendCommandArgs(n2, cmd::base::SetPosition, Vector3{300.0f, 0.0f, 0.0f});
    SendCommandArgs(n2, cmd::path_node::SetPathnodeEndtype, kPathEndReverse);

    // The levels are made first, so that "Set Lod Level Count" takes them.
    Actor* pillar = Make(kLodClassId, "Pillar", roomA, id++);
    if (pillar == nullptr || MakeMesh("Lev_1", "cylinder", pillar, id++, 1.0f, false) == nullptr ||
        MakeMesh("Lev_2", "cube", pillar, id++, 1.0f, false) == nullptr) {
        return out.Fail(file, "cannot make the LOD \"Pillar\"");
    }
    pillar->position = {350.0f, 0.0f, 100.0f};
    pillar->InvalidateTransform();
    SendCommandArgs(pillar, cmd::lod::SetLodLevelCount, 2u);
    const std::pair<const char*, float> distances[] = {{"Level 1", 1500.0f}, {"Level 2", 100000.0f}};
    for (const auto& [label, distance] : distances) {
        if (SendCommandArgs(pillar, cmd::lod::SetLodLevelLabel, std::string(label)) != 4) {
            return out.Fail(file, "cannot select the levels of \"Pillar\"");
        }
        SendCommandArgs(pillar, cmd::lod::SetLodLevelDistance, distance);
    }
    return id == kEndMovingId || out.Fail(file, "the moving content outgrew its ids");
}
