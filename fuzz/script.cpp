// Scripts from untrusted bytes, run in a small world that holds an actor of
// nearly every class. An input whose first byte is '#' is the text of a
// script as it stands; any other input chooses a script of a few statements:
// commands that a script can name, each sent to "this", the world, an actor
// that is no actor, or the world's actor of the command's class, with
// arguments of every kind (words, reals, texts, actor references, vectors
// and the like, nested commands) drawn from values that matter at the edges.
// The script is bound to "Start Game" of "Self" (in the draw group
// "/Scenery/Room"), the world starts and runs for some frames. A crash, a
// sanitizer's report, or an input that runs past libFuzzer's -timeout (a
// frame that never ends) is a finding.
//
// The world is written once to a scratch folder, removed when the process
// ends, and read again for every input, so each input starts from the same
// world. Files are opened for reading only: a script that saves writes
// nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/class_list.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "read_only_files.h"
#include "scene_run.h"
#include "support/game_fixture.h"
#include "support/scene_harness.h"

namespace {

constexpr int kFrames = 12;
constexpr int kMaxStatements = 4;
constexpr int kMaxNesting = 3;
constexpr size_t kMaxInput = 4096;

// The classes "Self" holds an actor of, each named "C<class id>". The world,
// the front end, the environment, the files and the class manager are the
// engine's own: the world is reached as "sys".
const uint32_t kClasses[] = {kBaseClassId,           kSoundClassId,        kMeshObjectClassId,
                             kLightClassId,          kPlayerClassId,       kTimerClassId,
                             kGameObjectClassId,     kDoorClassId,         kGameContainerClassId,
                             kDrawGroupClassId,      kCharacterClassId,    kSkinObjectClassId,
                             kParticleSystemClassId, kCameraClassId,       kDrawGroupConnectorClassId,
                             kSpawnPointClassId,     kDeveloperClassId,    kDeveloper2ClassId,
                             kDeveloper3ClassId,     kGuardClassId,        kPathNodeClassId,
                             kPathClassId,           kMatrixAnimationClassId, kAIPlayerClassId,
                             kAmbientSoundClassId,   kTriggerClassId,      kAIHelperClassId,
                             kUiSystemClassId,       kUiButtonClassId,     kUiTextClassId,
                             kUiSpriteClassId,       kReferenceClassId,    kUiMapInputClassId,
                             kNullActorClassId,      kAnimationClassId,    kUVAnimationClassId,
                             kAutoAimClassId,        kSimulationClassId,   kUiWindowClassId,
                             kSaveGameClassId,       kLodClassId,          kTimeInstanceClassId,
                             kAimTargetClassId,      kPlayer2ClassId,      kAIPlayer2ClassId,
                             kCharacter2ClassId,     kLightSensorClassId,  kStateClassId};

const char *const kWords[] = {"0",          "1",         "2",        "-1",     "4294967295",
                              "2147483648", "2147483647", "65536",   "1000000", "154",
                              "100",        "3"};
const char *const kReals[] = {"0",     "1",      "-1",      "0.5",   "0.01",   "100.5",  "-0.1",
                              "1e30",  "-1e30",  "3.4e38",  "1e39",  "-1e39",  "nan",    "1e-45",
                              "60",    "-60",    "1000000", "2",     "0.001",  "-1000"};
// "/Scenery/Room" is the draw group that holds "Self".
const char *const kAccesses[] = {"this", "sys",  "local", "Nobody",       "C0",
                                 "C11",  "C15",  "C25",   "/Scenery/Room", "C46"};

// The input as a stream of choices; past its end every choice is 0.
class Choices {
  public:
    Choices(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint32_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint32_t Word() { return Byte() | (Byte() << 8); }
    template <class T, size_t N> const T &Pick(const T (&list)[N]) { return list[Byte() % N]; }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

struct World {
    scene::SceneRunner runner{true};
    scene::SceneBuilder builder;
    ReadOnlyFiles files;
    std::vector<uint32_t> named; // the commands a script can name
    // SCRIPT_FUZZ_PRINT=1: each script goes to stderr, and whether it runs.
    bool print = std::getenv("SCRIPT_FUZZ_PRINT") != nullptr;
};

World *g_world = nullptr;

// The world outlives every input, so its scratch folder goes when the
// process ends (replayed inputs and libFuzzer runs alike).
void RemoveScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_world->builder.folder.Path(), ignored);
}

[[noreturn]] void Fail(const std::string &what) {
    std::fprintf(stderr, "script fuzz: %s\n", what.c_str());
    std::abort();
}

std::string Text(Choices &in) {
    switch (in.Byte() % 10) {
    case 0:
        return "";
    case 1:
        return "on 154"; // "Start Game" of the script's owner
    case 2:
        return std::string(300, 'a');
    case 3:
        return "%s%s%n%s";
    case 4:
        return "../../../../x";
    case 5:
        return "C" + std::to_string(kClasses[in.Byte() % std::size(kClasses)]);
    case 6:
        return "cube";
    case 7:
        return "beep";
    case 8:
        return "Self";
    default: {
        std::string text;
        for (uint32_t n = in.Byte() % 12; n > 0; --n) {
            text.push_back(static_cast<char>('0' + in.Byte() % 75)); // no quote
        }
        return text;
    }
    }
}

std::string Access(Choices &in, uint32_t classId) {
    if (in.Byte() % 4 == 0) {
        return in.Pick(kAccesses);
    }
    for (uint32_t c : kClasses) {
        if (c == classId && c != kBaseClassId) {
            return "C" + std::to_string(c);
        }
    }
    return "this";
}

void Command(Choices &in, std::string &out, int depth);

void Argument(Choices &in, uint32_t type, std::string &out, int depth) {
    const ParamTypeInfo &info = GetParamTypeTable().Get(type);
    switch (type) {
    case ParamType::UInt32:
    case ParamType::Int32:
    case ParamType::Bool:
        out += in.Byte() % 4 == 0 ? std::to_string(in.Word() | (in.Word() << 16)) : in.Pick(kWords);
        return;
    case ParamType::Real:
        out += in.Pick(kReals);
        return;
    case ParamType::String:
    case ParamType::String128:
    case ParamType::StringPtr:
        out += "\"" + Text(in) + "\"";
        return;
    case ParamType::CommandID:
        out += ScriptName(GetCommandTable()[g_world->named[in.Word() % g_world->named.size()]].name);
        return;
    case ParamType::ActorPointer:
    case ParamType::ActorPointerExt:
        out += Access(in, 0);
        return;
    case ParamType::Command:
        if (depth >= kMaxNesting) {
            out += "Start()";
        } else {
            Command(in, out, depth + 1);
        }
        return;
    default:
        break;
    }
    if (info.components.empty()) {
        out += in.Byte() % 2 == 0 ? "0" : "()"; // the type's zero value
        return;
    }
    out += "(";
    for (size_t i = 0; i < info.components.size(); ++i) {
        out += i > 0 ? ", " : "";
        Argument(in, info.components[i], out, depth);
    }
    out += ")";
}

// A command a script can name with its arguments: "Name(a, b, ...)".
void Command(Choices &in, std::string &out, int depth) {
    const CommandInfo &info = GetCommandTable()[g_world->named[in.Word() % g_world->named.size()]];
    out += ScriptName(info.name) + "(";
    for (size_t i = 0; i < info.paramTypes.size(); ++i) {
        out += i > 0 ? ", " : "";
        Argument(in, info.paramTypes[i], out, depth);
    }
    out += ")";
}

std::string Script(Choices &in) {
    std::string script;
    for (uint32_t n = 1 + in.Byte() % kMaxStatements; n > 0; --n) {
        std::string statement;
        Command(in, statement, 0);
        const uint32_t id = LookupCommandByName(statement.substr(0, statement.find('(')));
        const CommandInfo *info = FindCommandInfo(id);
        script += Access(in, info != nullptr ? uint32_t(info->classId) : 0) + "." + statement + ";";
    }
    return script;
}

World &TheWorld() {
    if (g_world != nullptr) {
        return *g_world;
    }
    InstallEngineClasses();
    g_world = new World; // lives as long as the process
    std::atexit(&RemoveScratchFolder);
    World &world = *g_world;
    if (!world.runner.Ready()) {
        Fail("the scene runner is not ready");
    }
    scene::SceneBuilder &builder = world.builder;
    Actor *room = game::Room(builder, "Room", {-2000, -100, -2000}, {2000, 1000, 2000});
    game::BoxWall(builder, "Floor", {-2000, -10, -2000}, {2000, 0, 2000}, room);
    Actor *self = builder.Make(kBaseClassId, "Self", room);
    SendCommandArgs(self, cmd::base::SetPosition, Vector3{0, 50, 0});
    for (uint32_t classId : kClasses) {
        Actor *actor = builder.Make(int32_t(classId), "C" + std::to_string(classId), self);
        if (actor != nullptr) {
            SendCommandArgs(actor, cmd::base::SetPosition, Vector3{float(classId) * 10.0f, 20.0f, 0.0f});
        }
    }
    std::string error;
    if (!builder.Load(&error, "Fuzz.qva")) {
        Fail("the world does not load: " + error);
    }
    const CommandTable &table = GetCommandTable();
    for (uint32_t id = 0; id < table.size(); ++id) {
        if (table[id].registered() && LookupCommandByName(ScriptName(table[id].name)) == id) {
            world.named.push_back(id);
        }
    }
    if (world.named.empty()) {
        Fail("no command has a script name");
    }
    SetCurrentFileSystem(&world.files);
    return world;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    World &world = TheWorld();
    if (size > kMaxInput) {
        return 0;
    }
    std::string script;
    if (size > 0 && data[0] == '#') {
        script.assign(reinterpret_cast<const char *>(data) + 1, size - 1);
    } else {
        Choices in(data, size);
        script = Script(in);
    }

    fuzzscene::FreshWorld(world.builder.base);
    if (SendCommandArgs(GetActorById(kSceneryRootId), cmd::file_io::OpenFile, "Fuzz.qva") == 0) {
        Fail("the world no longer reads");
    }
    Actor *self = FindActorByName("Self", -1);
    if (self == nullptr) {
        Fail("the world has no \"Self\"");
    }
    std::string error;
    const bool compiles = scene::SceneBuilder::AddScript(self, cmd::base::StartGame, script, &error);
    if (world.print) {
        std::fprintf(stderr, "%s\n  %s\n", script.c_str(), compiles ? "runs" : error.c_str());
    }
    if (!compiles) {
        return 0;
    }
    fuzzscene::StartAndRun(world.runner, kFrames);
    return 0;
}
