#include "scene_harness.h"

#include <filesystem>

#include "actors/world/file_io_actor.h"
#include "base/file_system.h"
#include "base/random.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/command_ids.h"
#include "core/script/script_compiler.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/input.h"
#include "platform/os/gfx/recording_device.h"
#include "fake_display.h"

namespace scene {

namespace {


class SpyActor : public Actor {
  public:
    explicit SpyActor(SpyLog &log) : log_(log) { name = "spy log"; }
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == cmd::base::SpyNotice && block.size() >= sizeof(CommandSpyNotice)) {
            CommandSpyNotice notice{};
            block.ReadBytes(0, &notice, sizeof(notice));
            SpyNotice entry;
            entry.frame = FrameCounter;
            entry.actor = notice.actor != nullptr ? notice.actor->name : std::string();
            entry.command = notice.commandId;
            if (notice.block != nullptr && notice.block->size() >= 4) {
                entry.value = notice.block->ReadI32(0);
            }
            log_.notices.push_back(entry);
            return 1;
        }
        return Actor::HandleCommand(commandId, block);
    }

  private:
    SpyLog &log_;
};

} // namespace

std::vector<uint8_t> TestLibrary::Bytes() {
    SoundItem beep;
    beep.name = "beep";
    beep.fileName = "beep.wav";
    MeshItem cube;
    cube.name = "cube";
    cube.fileName = "cube.qvm";
    MaterialItem material;
    material.name = "Default";
    MaterialItem flash;
    flash.name = "whiteadd";
    LibraryWriter writer;
    writer.AddItem(1, beep);
    writer.AddItem(3, cube);
    writer.AddItem(4, material);
    writer.AddItem(5, flash);
    return writer.WriteToMemory();
}

bool TestLibrary::Load(ResourceLibrary &library) { return AddToLibrary(library, Bytes()); }

bool AddToLibrary(ResourceLibrary &library, const std::vector<uint8_t> &bytes) {
    if (bytes.empty()) {
        return false;
    }
    Archive archive;
    archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return library.ReadLibraryArchive(archive, 1, {}) != 0;
}

// --- SpyLog ----------------------------------------------------------------------

SpyLog::SpyLog() : spy_(std::make_unique<SpyActor>(*this)) {}

SpyLog::~SpyLog() = default;

void SpyLog::Watch(Actor *actor) {
    if (actor != nullptr) {
        AddCommandSpy(actor, spy_.get());
    }
}

std::vector<SpyNotice> SpyLog::Take() {
    std::vector<SpyNotice> taken = std::move(notices);
    notices.clear();
    return taken;
}

std::vector<std::string> SpyLog::Of(uint32_t command) const {
    std::vector<std::string> lines;
    for (const SpyNotice &n : notices) {
        if (n.command == command) {
            lines.push_back(std::to_string(n.frame) + " " + n.actor);
        }
    }
    return lines;
}

size_t SpyLog::Count(const std::string &actor, uint32_t command) const {
    size_t count = 0;
    for (const SpyNotice &n : notices) {
        if (n.actor == actor && n.command == command) {
            ++count;
        }
    }
    return count;
}

// --- SceneBuilder --------------------------------------------------------------

SceneBuilder::SceneBuilder() : base(folder.Path()) {
    ResetActorWorldForTests();
    InitActorSystem();
    std::filesystem::create_directories(folder / "Data");
    if (ActorSystem *system = GetActorSystem()) {
        system->baseFolder = folder.Path();
    }
    if (ResourceLibrary *library = GetLibrary()) {
        library->SetBaseFolder(folder.Path().c_str());
    }
}

SceneBuilder::~SceneBuilder() { ResetActorWorldForTests(); }

Actor *SceneBuilder::Make(int32_t classId, const std::string &name, Actor *parent) {
    if (parent == nullptr) {
        parent = GetActorById(kSceneryRootId);
    }
    return CreateActor(classId, name, nullptr, parent, nextId++, true);
}

bool SceneBuilder::Load(std::string *error, const std::string &file) {
    ActorSystem *system = GetActorSystem();
    auto fail = [&] {
        if (error != nullptr) {
            *error = system != nullptr ? system->errorText : "no actor system";
        }
        return false;
    };
    if (system == nullptr) {
        return fail();
    }
    const std::string path = base + "/Data/" + file;
    if (SaveActors(path, 3000, static_cast<uint32_t>(nextId), kSerializeSave) == 0) {
        return fail();
    }
    Actor *scenery = GetActorById(kSceneryRootId);
    if (SendCommandArgs(scenery, cmd::file_io::OpenFile, file.c_str()) == 0) {
        return fail();
    }
    SendCommandArgs(system, cmd::actor_system::SetGlobalTime, 0u);
    PrecalculateAll();
    if (beforeStart) {
        beforeStart();
    }
    SendCommandArgs(system, cmd::base::StartGame);
    return true;
}

bool SceneBuilder::LoadGlobals(int32_t first, int32_t end, const std::string &file,
                               std::string *error) {
    ActorSystem *system = GetActorSystem();
    const std::string path = base + "/Data/" + file;
    bool ok = system != nullptr &&
              SaveActors(path, uint32_t(first), uint32_t(end), kSerializeSave) != 0;
    ok = ok && SendCommandArgs(GetActorById(kGlobalRootId), cmd::file_io::OpenFile,
                               file.c_str()) != 0;
    if (!ok && error != nullptr) {
        *error = system != nullptr ? system->errorText : "no actor system";
    }
    return ok;
}

bool SceneBuilder::UseGameFolder(const std::string &game) {
    base = game;
    std::filesystem::create_directories(game + "/Data");
    if (ActorSystem *system = GetActorSystem()) {
        system->baseFolder = game;
    }
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return false;
    }
    library->SetBaseFolder(game.c_str());
    return library->SerializeLibrary(1) != 0;
}

Actor *SceneBuilder::Find(const std::string &name) { return FindActorByName(name, -1); }

bool SceneBuilder::Claim(Actor *actor) {
    const auto id = static_cast<size_t>(nextId);
    if (actor == nullptr || id >= ActorTable.size() || ActorTable[id] != nullptr ||
        ActorTableEntry(actor->actorId) != actor) {
        return false;
    }
    ActorTable[static_cast<size_t>(actor->actorId)] = nullptr;
    SetActorTableEntry(id, actor);
    actor->actorId = nextId++;
    for (Actor *child : actor->children) {
        if (child != nullptr) {
            child->parentId = actor->actorId;
        }
    }
    return true;
}

bool SceneBuilder::AddScript(Actor *actor, uint32_t eventId, const std::string &source,
                             std::string *error) {
    auto record = std::make_unique<ScriptRecord>();
    record->name = "on " + std::to_string(eventId);
    record->eventId = eventId;
    record->source = source;
    record->owner = actor;
    std::string message;
    size_t position = 0;
    if (CompileScript(record.get(), actor, &message, &position) == 0) {
        if (error != nullptr) {
            *error = message + " at " + std::to_string(position);
        }
        return false;
    }
    actor->scripts.push_back(std::move(record));
    return true;
}

// --- SceneRunner -------------------------------------------------------------------

// The engine's services without input, sound or a real clock.
struct SceneRunner::Host : EngineHost {
    void UpdateInput(float frameTime, int recentre) override {
        if (liveInput) {
            EngineHost::UpdateInput(frameTime, recentre);
        }
    }
    void Draw2D() override {
        if (ResourceLibrary *resources = GetLibrary()) {
            runner->frameLayers = resources->GetScreenLayers();
        }
        EngineHost::Draw2D();
    }
    bool liveInput = false;
    bool hearListener = false;
    SceneRunner *runner = nullptr;
    int DebugKeyState(uint32_t) override { return 0; }
    double GetDeltaTime() override { return 1.0 / 60.0; }
    void SetListener(const float *position, const float *front, const float *top,
                     const float *velocity) override {
        if (hearListener) {
            EngineHost::SetListener(position, front, top, velocity);
        }
    }
};

SceneRunner::SceneRunner(bool blind) : host_(std::make_unique<Host>()) {
    host_->runner = this;
    SeedRand(1);
    if (CreateEngineServices() != 1) {
        return;
    }
    if (blind) {
        testdisplay::UseFakeAdapter([] { return std::make_unique<gfx::BlindDevice>(640, 480); });
    } else {
        testdisplay::UseFakeAdapter();
    }
    if (!GetGraphics()->CreateWindowDevice(nullptr)) {
        return;
    }
    device = dynamic_cast<gfx::RecordingDevice *>(GetD3DDevice());
    library = GetLibrary();
    if (device == nullptr || library == nullptr || !TestLibrary::Load(*library)) {
        return;
    }
    SetCamera({0.0f, 0.0f, 0.0f});
    frames_ = std::make_unique<FrameLoop>(*host_);
    frames_->SetFixedFrameTime(1.0 / 60.0);
    ready_ = true;
}

SceneRunner::~SceneRunner() {
    frames_.reset();
    testdisplay::RestoreGlAdapter();
}

void SceneRunner::Step(int frames) {
    for (int i = 0; i < frames && frames_; ++i) {
        if (preStep) {
            preStep(FrameCounter + 1);
        }
        frames_->FrameStep();
    }
}

std::vector<const ScreenQuad *> SceneRunner::Quads(const std::string &material) const {
    std::vector<const ScreenQuad *> found;
    for (const ScreenQuad &quad : frameLayers.quads) {
        if (quad.material != nullptr && quad.material->name == material) {
            found.push_back(&quad);
        }
    }
    return found;
}

const TextLine *SceneRunner::Text(const std::string &text) const {
    for (const TextLine &line : frameLayers.texts) {
        if (line.text == text) {
            return &line;
        }
    }
    return nullptr;
}

void SceneRunner::UseInput(InputBackend *backend) {
    InitInput(backend);
    host_->liveInput = true;
}

void SceneRunner::HearListener() { host_->hearListener = true; }

void SceneRunner::SetCamera(const Vector3 &position) {
    if (library != nullptr) {
        library->SetCameraLookAt(position, {position.x, position.y, position.z + 1.0f},
                                 {0.0f, 1.0f, 0.0f});
    }
}

} // namespace scene
