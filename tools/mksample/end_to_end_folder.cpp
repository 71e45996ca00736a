#include "end_to_end_folder.h"

#include <string>

#include "core/actors/actor.h"
#include "core/actors/param_builder.h"
#include "sample_actors.h"
#include "sample_output.h"

namespace {

constexpr uint32_t kCmdTimerCommand = 57;
constexpr uint32_t kCmdSetPosition = 63;
constexpr uint32_t kCmdSetActionStartTime = 195;
constexpr uint32_t kCmdStartGame = 154;
constexpr uint32_t kCmdActionStartPost = 214;

constexpr int32_t kGlobalRoot = 1;
constexpr int32_t kSceneryRoot = 2;
constexpr int32_t kMoverId = 10;
constexpr int32_t kFirstSceneryId = 3000;

bool WriteGlobals(SampleOutput& out) {
    const std::string file = "game/Data/Globals.qva";
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    Actor* mover = MakeSampleActor(0, "Mover", kGlobalRoot, kMoverId);
    if (mover == nullptr) return out.Fail(file, "cannot make actor \"Mover\"");
    SendCommandArgs(mover, kCmdSetActionStartTime, 1.0f);
    std::string error;
    if (!AddSampleScript(mover, "boot", kCmdStartGame,
                         "this.TimerCommand(0.5, Set_Position((1, 2, 3))); this.Action_Start_Pre();",
                         &error) ||
        !AddSampleScript(mover, "done", kCmdActionStartPost,
                         "sys.Load_Resource(\"film\"); sys.Play_Texture_Movie(\"film\"); "
                         "sys.Capture_BackBuffer((800, 600)); sys.Capture_Save(\"shot.tga\"); "
                         "sys.Save_Game(\"demo.sav\"); sys.Exit_Engine();",
                         &error)) {
        return out.Fail(file, error);
    }
    return WriteActorFile(out, file, kMoverId, kMoverId + 1);
}

bool WriteLevel(SampleOutput& out) {
    const std::string file = "game/Data/Level1.qva";
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    Actor* floor = MakeSampleActor(0, "Floor", kSceneryRoot, kFirstSceneryId);
    Actor* post = MakeSampleActor(0, "Post", kSceneryRoot, kFirstSceneryId + 1);
    if (floor == nullptr || post == nullptr) return out.Fail(file, "cannot make the scenery actors");
    post->position = {5.0f, 0.0f, 5.0f};

    ColObj box(floor);
    box.name = "floor box";
    box.boxMin = {-100.0f, -1.0f, -100.0f};
    box.boxMax = {100.0f, 0.0f, 100.0f};
    floor->AddColObj(box);

    // Still pending when the demo saves, about four seconds later.
    if (SendCommandArgs(floor, kCmdTimerCommand, 5.0f,
                        ParamValue::Command(kCmdSetPosition, {Vector3{0.0f, -1.0f, 0.0f}})) == 0) {
        return out.Fail(file, "cannot schedule the timer command");
    }
    return WriteActorFile(out, file, kFirstSceneryId, kFirstSceneryId + 2);
}

}  // namespace

bool WriteEndToEndFolder(SampleOutput& out, const std::vector<uint8_t>& library) {
    if (!out.WriteText("init.txt", CrLfLines({"game", "Level1.qva", "", "Demo"}))) return false;
    if (!out.Write("game/DAZedirad.qvf", library)) return false;

    if (!out.WriteText("game/Data/text.txt", CrLfLines({"1", "LOADING }", "Loading }"}))) {
        return false;
    }
    return WriteGlobals(out) && WriteLevel(out);
}
