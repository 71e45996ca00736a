// Running small scenes through the engine's own frame step.
//
// SceneRunner brings up the library on a recording device with the test
// library, fixes the frame time at 1/60 s, keeps the sound off and seeds the
// random numbers with 1. SceneBuilder makes a fresh actor world, lets a test
// build actors in code below "Scenery", writes them with SaveActors and
// opens the file again through "Open File", so that the scene goes through
// the loader's passes (build tree, draw-group ids, connectors), then sets
// the global time to 0, precalculates every actor and starts the game.
// SpyLog records the notices (command 93) of the actors it watches.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/engine_host.h"
#include "core/actors/engine_startup.h"
#include "library/render/screen_layers.h"
#include "temp_folder.h"

namespace gfx {
class RecordingDevice;
}
class ResourceLibrary;
class InputBackend;

namespace scene {

// The library of the scene tests, written in memory with LibraryWriter:
// slot 1 the sound "beep", slot 3 the mesh "cube", slot 4 the material
// "Default", slot 5 the material "whiteadd" (the cameras' flash).
struct TestLibrary {
    static std::vector<uint8_t> Bytes();
    // Reads it into the library; false when it does not read.
    static bool Load(ResourceLibrary &library);
};

// Reads a library written in memory (LibraryWriter::WriteToMemory) into the
// library beside what it holds; false when it is empty or does not read.
bool AddToLibrary(ResourceLibrary &library, const std::vector<uint8_t> &bytes);

// One notice: the frame counter when it came, the watched actor's name,
// the command and the first word of its block (0 when it has none).
struct SpyNotice {
    uint32_t frame = 0;
    std::string actor;
    uint32_t command = 0;
    int32_t value = 0;

    bool operator==(const SpyNotice &) const = default;
};

class SpyLog {
  public:
    SpyLog();
    ~SpyLog();
    SpyLog(const SpyLog &) = delete;
    SpyLog &operator=(const SpyLog &) = delete;

    void Watch(Actor *actor);
    // Every notice so far, then forgotten.
    std::vector<SpyNotice> Take();
    // "<frame> <actor>" of the notices of one command, in order.
    std::vector<std::string> Of(uint32_t command) const;
    // How many notices of the command the actor received.
    size_t Count(const std::string &actor, uint32_t command) const;

    std::vector<SpyNotice> notices;

  private:
    std::unique_ptr<Actor> spy_;
};

class SceneBuilder {
  public:
    // A fresh actor world with its base folder in a scratch folder.
    SceneBuilder();
    ~SceneBuilder();

    // An actor of the class below the parent ("Scenery" when null), at the
    // next id of the scenery range.
    Actor *Make(int32_t classId, const std::string &name, Actor *parent = nullptr);
    // Writes the made actors to <base>/Data/<file>, opens the file on "Scenery",
    // sets the global time to 0, precalculates every actor and sends "Start
    // Game". False (with the actor system's error text in `error`) when a
    // step fails.
    bool Load(std::string *error = nullptr, const std::string &file = "Scene.qva");
    // Works in a game folder (one that mksample wrote, say): its library
    // replaces the one in memory and the files are written to its "Data"
    // folder, beside the library's. False when the library does not read.
    bool UseGameFolder(const std::string &game);
    // Globals: writes the actors of ids first..end-1 to <base>/Data/<file> and
    // opens the file on "Global", as the engine loads its globals file
    // before the scene. Opening it replaces what "Global" holds, the front
    // end (16) among it: the range should take it in. False (with the
    // error text) when a step fails.
    bool LoadGlobals(int32_t first, int32_t end, const std::string &file,
                     std::string *error = nullptr);
    // The loaded actor of that name, or null.
    static Actor *Find(const std::string &name);
    // Moves an actor made at a run-time id (a child a class makes itself)
    // to the next id of the scenery range, so that Load writes it; false
    // when it cannot move.
    bool Claim(Actor *actor);
    // Adds a compiled script bound to the event command; false (with the
    // compiler's message in `error`) when it does not compile.
    static bool AddScript(Actor *actor, uint32_t eventId, const std::string &source,
                          std::string *error = nullptr);

    // Runs in Load after "Precalculate" and before "Start Game".
    std::function<void()> beforeStart;

    TempFolder folder;
    // The folder whose "Data" the files go to: `folder` or a game folder.
    std::string base;
    int32_t nextId = 3000;
};

class SceneRunner {
  public:
    // A blind runner's device keeps no log and no draws (a run judged by
    // what the world does, not by what it drew).
    explicit SceneRunner(bool blind = false);
    ~SceneRunner();
    SceneRunner(const SceneRunner &) = delete;
    SceneRunner &operator=(const SceneRunner &) = delete;

    bool Ready() const { return ready_; }
    // Runs frames through FrameLoop::FrameStep; the pre-step hook runs
    // before each with the number of the frame about to run.
    void Step(int frames = 1);
    // Puts the library's camera at the point (looking down +z).
    void SetCamera(const Vector3 &position);
    // The input layer reads the backend from now on, and each frame step
    // updates it.
    void UseInput(InputBackend *backend);
    // Each frame step gives the sound listener the camera from now on.
    void HearListener();

    std::function<void(uint32_t frame)> preStep;
    // The quads, texts and overlays the last frame drew, as queued.
    ScreenLayers frameLayers;
    // The last frame's quads of the material, in queue order.
    std::vector<const ScreenQuad *> Quads(const std::string &material) const;
    // The last frame's first line of the text, or null.
    const TextLine *Text(const std::string &text) const;
    gfx::RecordingDevice *device = nullptr;
    ResourceLibrary *library = nullptr;

  private:
    struct Host;
    std::unique_ptr<Host> host_;
    std::unique_ptr<FrameLoop> frames_;
    bool ready_ = false;
};

} // namespace scene
