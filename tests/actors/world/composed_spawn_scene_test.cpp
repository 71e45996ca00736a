// A room composed from files and spawned copies: a File actor loads one of
// its two files, drawn by weight, under fresh ids; a Spawn Point copies its
// template on "Start Game" onto one of its markers or itself and renames the
// copy from its script; the File actor writes its children back as a file
// that reads into the same tree; the same seed chooses alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "actors/world/draw_group_actor.h"
#include "actors/world/file_actor.h"
#include "actors/world/spawn_point_actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/script_runner.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kSetBoxMin = 74;
constexpr uint32_t kSetBoxMax = 76;
constexpr uint32_t kAddFile = 493;
constexpr uint32_t kLoadFileObject = 508;
constexpr uint32_t kCreated = 345;

// Notes the events whose scripts run, with the scripts' owners.
struct SpawnedEvents : ScriptRunner {
    int Run(ScriptRecord *record, Actor *local) override {
        ScriptRunner *self = InstallScriptRunner(nullptr);
        const int result = RunActorScript(record, local);
        InstallScriptRunner(self);
        events.emplace_back(record->owner, record->eventId);
        return result;
    }
    // How often the actor's scripts of the event ran.
    long Count(const Actor *owner, uint32_t event) const {
        return std::count(events.begin(), events.end(), std::pair<const Actor *, uint32_t>(owner, event));
    }
    std::vector<std::pair<const Actor *, uint32_t>> events;
};

std::vector<std::string> Names(const Actor *actor) {
    std::vector<std::string> names;
    for (const Actor *child : actor->children) names.push_back(child->name);
    return names;
}

// Builds, loads and runs the scene; answers the chosen prop's name and the
// name of the spawned copy's parent.
std::pair<std::string, std::string> RunScene() {
    scene::SceneRunner runner;
    EXPECT_TRUE(runner.Ready());
    scene::SceneBuilder builder;
    // The two prop files, one actor each.
    for (const char *prop : {"crate", "barrel"}) {
        Actor *actor = builder.Make(0, std::string("Prop") + prop);
        EXPECT_EQ(SaveActors(builder.folder / ("Data/" + std::string(prop) + ".qva"), 3000, 3001,
                             kSerializeSave),
                  1);
        DeleteActor(actor);
        builder.nextId = 3000;
    }
    Actor *room = builder.Make(kDrawGroupClassId, "RoomA");
    SendCommandArgs(room, kSetBoxMin, Vector3{-500, -100, -500});
    SendCommandArgs(room, kSetBoxMax, Vector3{500, 400, 500});
    auto *props = dynamic_cast<FileActor *>(builder.Make(kFileClassId, "Props", room));
    SendCommandArgs(props, kAddFile, std::string("crate.qva"));
    SendCommandArgs(props, kAddFile, std::string("barrel.qva"));
    SendCommandArgs(props, cmd::file::SetFileStringlist, std::string("barrel.qva"));
    SendCommandArgs(props, cmd::file::SetFileRandWeight, 3u);
    EXPECT_EQ(props->weights, (std::vector<uint32_t>{1, 3}));

    Actor *point = builder.Make(kSpawnPointClassId, "SP", room);
    SendCommandArgs(point, cmd::spawn_point::SetSpawnpointType, kSpawnTypeSpawn);
    SendCommandArgs(point, cmd::spawn_point::SetSpawnOnStartGame, true);
    SendCommandArgs(point, cmd::spawn_point::SetMinSpawnTime, 5.0f);
    std::string block(sizeof(void *), '\0');
    block += "/Scenery/Templates/Crate";
    block += '\0';
    point->HandleCommand(cmd::spawn_point::AddSpawnRecord, ParamBlock(block.data(), block.size()));
    std::string error;
    EXPECT_TRUE(scene::SceneBuilder::AddScript(point, cmd::spawn_point::OnSpawnActor,
                                               "local.Set_Name(\"Spawned\");",
                                               &error))
        << error;
    SendCommandArgs(builder.Make(0, "A", point), kSetPosition, Vector3{-50, 0, 0});
    SendCommandArgs(builder.Make(0, "B", point), kSetPosition, Vector3{50, 0, 0});
    Actor *templates = builder.Make(0, "Templates");
    Actor *crate = builder.Make(0, "Crate", templates);
    // A script that does nothing, so that the copy's event can be seen.
    EXPECT_TRUE(scene::SceneBuilder::AddScript(crate, kCreated, "", &error)) << error;
    templates->state &= ~kActorOperational;

    SpawnedEvents seen;
    ScriptRunner *previous = InstallScriptRunner(&seen);
    EXPECT_TRUE(builder.Load(&error)) << error;
    runner.SetCamera({0, 50, 0});
    runner.Step(2);
    props = dynamic_cast<FileActor *>(scene::SceneBuilder::Find("Props"));
    point = scene::SceneBuilder::Find("SP");
    Actor *spawned = scene::SceneBuilder::Find("Spawned");
    if (props == nullptr || point == nullptr || spawned == nullptr || props->children.size() != 1) {
        ADD_FAILURE() << "the scene's actors are missing";
        InstallScriptRunner(previous);
        return {};
    }
    const std::string chosen = props->children[0]->name;
    const std::string at = spawned->parent != nullptr ? spawned->parent->name : "";
    EXPECT_EQ(props->children[0]->actorId, 8000);
    EXPECT_TRUE(FileCountTable.empty());
    EXPECT_TRUE(at == "A" || at == "B" || at == "SP") << at;
    EXPECT_EQ(seen.Count(spawned, kCreated), 1);
    // Within the five seconds another spawn makes nothing.
    SendCommandArgs(point, cmd::spawn_point::Spawn);
    runner.Step(1);
    size_t copies = 0;
    for (Actor *actor : ActorTable) copies += actor != nullptr && actor->name == "Spawned";
    EXPECT_EQ(copies, 1u);
    InstallScriptRunner(previous);

    // Written back, the file reads into the same tree.
    EXPECT_EQ(props->HandleCommand(cmd::file::SaveFileobject, ParamBlock()), 1);
    props->HandleCommand(cmd::file::UnloadFileobject, ParamBlock());
    EXPECT_TRUE(props->children.empty());
    EXPECT_EQ(props->HandleCommand(kLoadFileObject, ParamBlock()), 1);
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    EXPECT_EQ(Names(props), std::vector<std::string>{chosen});
    return {chosen, at};
}

TEST(ComposedSpawnScene, FilesAndSpawnsComposeTheRoomAndTwoRunsChooseAlike) {
    const auto first = RunScene();
    EXPECT_FALSE(first.first.empty());
    EXPECT_EQ(RunScene(), first);
}

} // namespace
