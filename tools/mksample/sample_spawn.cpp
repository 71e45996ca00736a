#include "sample_spawn.h"

#include <vector>

#include "actors/world/file_actor.h"
#include "actors/world/spawn_point_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "sample_actors.h"
#include "sample_output.h"

namespace {

constexpr int32_t kPropId = 3000;

bool WriteProp(SampleOutput& out, const std::string& file, const std::string& actorName) {
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    if (MakeSampleActor(0, actorName, kSceneryRootId, kPropId) == nullptr) {
        return out.Fail(file, "cannot make actor \"" + actorName + "\"");
    }
    return WriteActorFile(out, file, kPropId, kPropId + 1);
}

}  // namespace

bool WritePropFiles(SampleOutput& out) {
    return WriteProp(out, "game/Data/crate.qva", "PropCrate") &&
           WriteProp(out, "game/Data/barrel.qva", "PropBarrel");
}

bool AddPropsAndSpawnPoint(SampleOutput& out, const std::string& file, int32_t& next) {
    Actor* scenery = GetActorById(kSceneryRootId);
    Actor* room = FindChildByName(scenery, "RoomA");
    if (room == nullptr) return out.Fail(file, "no room RoomA");

    auto* props = dynamic_cast<FileActor*>(
        CreateActor(static_cast<int32_t>(kFileClassId), "Props", nullptr, room, next++, true));
    if (props == nullptr) return out.Fail(file, "cannot make actor \"Props\"");
    SendCommandArgs(props, cmd::file::SetFilename, std::string("crate.qva"));
    SendCommandArgs(props, cmd::file::SetFilename, std::string("barrel.qva"));
    SendCommandArgs(props, cmd::file::SetFileStringlist, std::string("barrel.qva"));
    SendCommandArgs(props, cmd::file::SetFileRandWeight, 3u);
    if (props->weights != std::vector<uint32_t>{1, 3}) {
        return out.Fail(file, "cannot weigh the files of \"Props\"");
    }
    SendCommandArgs(props, cmd::base::SetPosition, Vector3{-200.0f, 0.0f, 300.0f});

    auto* point = dynamic_cast<SpawnPointActor*>(CreateActor(
        static_cast<int32_t>(kSpawnPointClassId), "SP", nullptr, room, next++, true));
    if (point == nullptr) return out.Fail(file, "cannot make actor \"SP\"");
    SendCommandArgs(point, cmd::spawn_point::SetSpawnpointType, kSpawnTypeSpawn);
    SendCommandArgs(point, cmd::spawn_point::SetSpawnOnStartGame, true);
    SendCommandArgs(point, cmd::base::SetPosition, Vector3{-200.0f, 0.0f, 100.0f});
    const std::string path = "/Scenery/Templates/Crate";
    std::string block(sizeof(void*), '\0');
    block += path;
    block += '\0';
    point->HandleCommand(cmd::spawn_point::AddSpawnRecord, ParamBlock(block.data(), block.size()));
    if (point->records.size() != 1 || point->records[0].objectPath != path) {
        return out.Fail(file, "cannot give \"SP\" its spawn record");
    }
    std::string error;
    if (!AddSampleScript(point, "named", cmd::spawn_point::OnSpawnActor,
                         "local.Set_Name(\"Spawned\");",
                         &error)) {
        return out.Fail(file, error);
    }
    const struct {
        const char* name;
        Vector3 at;
    } markers[] = {{"A", {-50.0f, 0.0f, 0.0f}}, {"B", {50.0f, 0.0f, 0.0f}}};
    for (const auto& marker : markers) {
        Actor* actor = CreateActor(0, marker.name, nullptr, point, next++, true);
        if (actor == nullptr) {
            return out.Fail(file, std::string("cannot make actor \"") + marker.name + "\"");
        }
        SendCommandArgs(actor, cmd::base::SetPosition, marker.at);
    }

    // The templates take no part in the game until copied.
    Actor* templates = CreateActor(0, "Templates", nullptr, scenery, next++, true);
    if (templates == nullptr) return out.Fail(file, "cannot make actor \"Templates\"");
    if (CreateActor(0, "Crate", nullptr, templates, next++, true) == nullptr) {
        return out.Fail(file, "cannot make actor \"Crate\"");
    }
    templates->state &= ~kActorOperational;
    return true;
}
