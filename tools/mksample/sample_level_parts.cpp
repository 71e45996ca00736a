#include "sample_level_parts.h"

#include <algorithm>
#include <cmath>

#include "actors/presentation/mesh_object_actor.h"
#include "actors/world/trigger_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/resource_library.h"
#include "sample_actors.h"
#include "sample_output.h"

namespace {

// The group a collision object joins by being solid.
constexpr uint32_t kSolidBodyGroup = 1u << 16;
// The cube mesh is 100 units along each side.
constexpr float kCubeSize = 100.0f;

// One cube piece over the box, its material given by slot.
bool AddPiece(Actor *parent, const std::string &name, int32_t id, const Slab &box,
              int32_t material) {
    auto *piece = dynamic_cast<MeshObjectActor *>(
        CreateActor(static_cast<int32_t>(kMeshObjectClassId), name, nullptr, parent, id, true));
    if (piece == nullptr || piece->subMeshes.size() != 1)
        return false;
    // Meshes do not load here: the record names the cube and the piece's
    // material by their slots.
    piece->meshFlags &= ~(kMeshSyncCollision | kMeshSyncMaterial);
    piece->subMeshes[0].materialIndex = static_cast<uint32_t>(material);
    piece->position = {(box.min.x + box.max.x) / 2.0f, (box.min.y + box.max.y) / 2.0f,
                       (box.min.z + box.max.z) / 2.0f};
    piece->scale = {(box.max.x - box.min.x) / kCubeSize, (box.max.y - box.min.y) / kCubeSize,
                    (box.max.z - box.min.z) / kCubeSize};
    piece->InvalidateTransform();
    return true;
}

} // namespace

int32_t SampleMaterialSlot(const std::string &name) {
    ResourceLibrary *library = GetLibrary();
    return ResourceLibrary::GetItemIndex(
        library != nullptr ? library->FindItemByName(name.c_str(), ItemClass::Material) : nullptr);
}

bool AddSlabMeshes(Actor *parent, const std::string &name, int32_t &next, const Slab &slab,
                   const std::string &material, float tile) {
    const int32_t slot = SampleMaterialSlot(material);
    if (parent == nullptr || slot < 0 || tile <= 0.0f)
        return false;
    const Vector3 size = {slab.max.x - slab.min.x, slab.max.y - slab.min.y,
                          slab.max.z - slab.min.z};
    // Pieces along x and z; the height stays whole.
    const int nx = std::max(1, int(std::ceil(size.x / tile - 0.001f)));
    const int nz = std::max(1, int(std::ceil(size.z / tile - 0.001f)));
    const int ny = std::max(1, int(std::ceil(size.y / (tile * 1.5f) - 0.001f)));
    int made = 0;
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < nz; ++j) {
            for (int k = 0; k < ny; ++k) {
                const Slab piece = {{slab.min.x + size.x * float(i) / float(nx),
                                     slab.min.y + size.y * float(k) / float(ny),
                                     slab.min.z + size.z * float(j) / float(nz)},
                                    {slab.min.x + size.x * float(i + 1) / float(nx),
                                     slab.min.y + size.y * float(k + 1) / float(ny),
                                     slab.min.z + size.z * float(j + 1) / float(nz)}};
                if (!AddPiece(parent, name + "_" + std::to_string(made), next++, piece, slot))
                    return false;
                ++made;
            }
        }
    }
    return true;
}

Actor *AddSolidSlabs(Actor *room, const std::string &name, int32_t id, const Slab *slabs,
                     size_t count) {
    Actor *holder = room == nullptr ? nullptr : CreateActor(0, name, nullptr, room, id, true);
    if (holder == nullptr)
        return nullptr;
    for (size_t i = 0; i < count; ++i) {
        AddSolidBox(holder, name.c_str(), slabs[i].min, slabs[i].max);
    }
    return holder;
}

bool AddWall(Actor *room, Actor *solids, const std::string &name, int32_t &next, const Slab &slab,
             const std::string &material) {
    if (solids == nullptr || !AddSlabMeshes(room, name, next, slab, material))
        return false;
    AddSolidBox(solids, name.c_str(), slab.min, slab.max);
    return true;
}

bool AddMissionExit(SampleOutput &out, const std::string &file, Actor *room, int32_t id,
                    const Vector3 &at, uint32_t level, float radius) {
    Actor *exit =
        CreateActor(static_cast<int32_t>(kTriggerClassId), "Exit", nullptr, room, id, true);
    if (exit == nullptr || exit->colObjs.empty())
        return out.Fail(file, "cannot make actor \"Exit\"");
    SendCommandArgs(exit, cmd::base::SetPosition, at);
    SendCommandArgs(exit, cmd::trigger::SetTriggerRadius, radius);
    exit->colObjs[0]->receiveGroups = kSolidBodyGroup;
    exit->scripts.clear();
    std::string error;
    if (!AddSampleScript(exit, "done", cmd::trigger::OnTriggerEnterFirst,
                         "/Global/Inventory.Level_Completed(" + std::to_string(level) + ");",
                         &error)) {
        return out.Fail(file, error);
    }
    return true;
}

bool AddMissionRestart(SampleOutput &out, const std::string &file, int32_t id,
                       const std::string &scene) {
    Actor *restart = MakeSampleActor(0, "MissionRestart", kSceneryRootId, id);
    if (restart == nullptr)
        return out.Fail(file, "cannot make actor \"MissionRestart\"");
    std::string error;
    if (!AddSampleScript(restart, "again", cmd::base::ActionStart,
                         "sys.New_Game(\"Data/Globals1_XBox.qva\", \"Data/" + scene + "\");",
                         &error)) {
        return out.Fail(file, error);
    }
    return true;
}

bool AddPlayerDeath(SampleOutput &out, const std::string &file) {
    Actor *player = FindChildByName(GetActorById(kGlobalRootId), "PlayerCharacter");
    if (player == nullptr)
        return out.Fail(file, "no \"PlayerCharacter\"");
    std::string error;
    if (!AddSampleScript(player, "died", cmd::character::OnDie,
                         "/Global/DeathMenu.TimerCommand(3, UI_System_Activate());", &error)) {
        return out.Fail(file, error);
    }
    return true;
}
