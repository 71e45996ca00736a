// The loading screen on a recording renderer, and the level load that
// ActorSystem::Process performs behind it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <map>
#include <tuple>
#include <memory>
#include <sstream>

#include "actors/world/file_actor.h"
#include "actors/world/world_seams.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/actors/loading_screen.h"
#include "../../support/temp_folder.h"
#include "world_command_fixture.h"

namespace {

// Logs every call as one line; frames are counted at EndRender.
class RecordingRenderer : public LoadingScreenRenderer {
  public:
    int32_t GetScreenWidth() override { return 800; }
    int32_t GetScreenHeight() override { return 600; }
    void QueueRect(float x, float y, float w, float h, const Color &, LibraryItem *) override {
        Log("quad", x, y, w, h);
    }
    void QueueText(const std::string &text, float x, float y, const Color &,
                   uint32_t style) override {
        Log("text", text, x, y, style);
        texts.push_back(text);
    }
    int BeginRender(uint32_t, uint32_t) override {
        Log("begin");
        return beginResult;
    }
    void DrawQueuedQuads() override { Log("quads"); }
    void DrawQueuedText() override { Log("texts"); }
    void DrawFilledRect(const ScreenRect &r, const Color &c) override {
        Log("rect", r.left, r.top, r.right, r.bottom, c.x);
        if (c.x != 0.0f)
            bars.push_back(r);
    }
    void EndRender(uint32_t) override {
        Log("present");
        ++frames;
    }
    template <class... T> void Log(const char *what, const T &...values) {
        std::ostringstream line;
        line << what;
        ((line << " " << values), ...);
        lines.push_back(line.str());
    }

    int beginResult = 1;
    int frames = 0;
    std::vector<std::string> lines;
    std::vector<std::string> texts;
    std::vector<ScreenRect> bars; // well and bar of every frame
};

class LoadingScreen : public WorldCommandTest {
  protected:
    void SetUp() override {
        WorldCommandTest::SetUp();
        SetLoadingScreenRenderer(&renderer);
    }
    RecordingRenderer renderer;
};

TEST(ArgbToColorTest, ChannelsAreScaledBytes) {
    const Color c = ArgbToColor(0x80FF4000);
    EXPECT_FLOAT_EQ(c.x, 1.0f);
    EXPECT_NEAR(c.y, 0.25098f, 1e-5f);
    EXPECT_EQ(c.z, 0.0f);
    EXPECT_NEAR(c.w, 0.50196f, 1e-5f);
}

TEST_F(LoadingScreen, LayoutAndDrawOrder) {
    BeginLoadingScreen(system, 1000);
    LoadingScreenState &s = GetLoadingScreenState();
    EXPECT_EQ(s.frame, (ScreenRect{200, 520, 600, 528}));
    EXPECT_EQ(s.well, (ScreenRect{198, 518, 602, 530}));
    EXPECT_EQ(s.bar, (ScreenRect{202, 522, 202, 526}));
    EXPECT_FLOAT_EQ(s.increment, 40.0f);
    EXPECT_EQ(std::tuple(s.barWidth, system->loadingCallback, system->loadingText),
              std::tuple(400.0f, &DrawLoadingScreen, "LOADING"));

    s.stepsPerUpdate = 0;
    DrawLoadingScreen("hello");
    EXPECT_EQ(std::tuple(s.textX, s.textY), std::tuple(200, 470));
    // No materials in the library: only the text is queued.
    EXPECT_EQ(renderer.lines,
              (std::vector<std::string>{"text hello 200 470 1", "begin", "quads", "texts",
                                        "rect 198 518 602 530 0.6", "rect 200 520 600 528 0",
                                        "rect 202 522 242 526 0.6", "present"}));
    EndLoadingScreen(system);
    EXPECT_EQ(system->loadingCallback, nullptr);
}

TEST_F(LoadingScreen, BarMovesEveryNthCallAndStopsShortOfTheFrame) {
    system->loadBarPosition = {10.0f, -20.0f, 0.0f};
    BeginLoadingScreen(system, 1000);
    LoadingScreenState &s = GetLoadingScreenState();
    EXPECT_EQ(s.frame, (ScreenRect{210, 500, 610, 508}));
    s.stepsPerUpdate = 1500;
    for (int i = 1; i <= 4500; ++i) {
        DrawLoadingScreen(nullptr);
        ASSERT_EQ(renderer.frames, i / 1500) << i;
    }
    EXPECT_EQ(renderer.texts.back(), "LOADING"); // null shows the loading text
    EXPECT_EQ(s.bar.right, 212 + 120);
    s.stepsPerUpdate = 0;
    for (int i = 0; i < 50; ++i)
        DrawLoadingScreen(nullptr);
    EXPECT_EQ(s.bar.right, 608); // frame right - 2
    EXPECT_EQ(s.drawCount, 4550u);

    // A failed frame begin skips the drawing; the bar state still advances.
    renderer.beginResult = 0;
    const int framesBefore = renderer.frames;
    const float progress = s.progress;
    EXPECT_EQ(DrawLoadingScreen(nullptr), 0);
    EXPECT_EQ(renderer.frames, framesBefore);
    EXPECT_GT(s.progress, progress);
}

// The bar and its text are laid out by the formula wherever the place puts
// them, on or off the screen (content hides them so). A place past what an
// int holds is held far off the screen on its own side, where the well's,
// the bar's and the text's pixels stay in an int's range.
TEST_F(LoadingScreen, TheBarAndTextAreLaidOutWhereverTheirPlaceIs) {
    constexpr int32_t kMax = INT32_MAX, kMin = INT32_MIN;
    const struct {
        float x, y;
        ScreenRect well;
        int32_t textX, textY;
    } cases[] = {{100.0f, -200.0f, {298, 318, 702, 330}, 300, 270},
                 {0.0f, 100.0f, {198, 618, 602, 630}, 200, 570},
                 {300.0f, 0.0f, {498, 518, 902, 530}, 500, 470},
                 {-300.0f, 0.0f, {-102, 518, 302, 530}, -100, 470},
                 {2000.0f, -2000.0f, {2198, -1482, 2602, -1470}, 2200, -1530},
                 {3e9f, -3e9f, {kMax - 404, kMin, kMax, kMin + 12}, kMax, kMin},
                 {-FLT_MAX, 1e30f, {kMin, kMax - 82, kMin + 404, kMax - 70}, kMin, kMax}};
    const LoadingScreenState &s = GetLoadingScreenState();
    const auto layOut = [&](float x, float y) {
        system->loadBarPosition = system->loadBarTextPosition = {x, y, 0.0f};
        BeginLoadingScreen(system, 1000);
        GetLoadingScreenState().stepsPerUpdate = 0;
        DrawLoadingScreen(nullptr);
        EndLoadingScreen(system);
        EXPECT_TRUE(s.bar.left <= s.bar.right && s.bar.right <= s.frame.right - 2) << x << ", " << y;
    };
    for (const auto &c : cases) {
        layOut(c.x, c.y);
        EXPECT_EQ(std::tuple(s.well, s.textX, s.textY), std::tuple(c.well, c.textX, c.textY))
            << c.x << ", " << c.y;
        if (c.x < 3e3f && c.x > -3e3f) {
            EXPECT_EQ(s.bar.right, s.bar.left + 40) << c.x;
        }
    }
    // Far off, each way: wholly off the screen on that side.
    for (const float far : {2000.0f, 1e6f, 3e9f, 1e30f, FLT_MAX}) {
        layOut(far, 0.0f);
        EXPECT_TRUE(s.well.left >= 800 && s.textX >= 800) << far;
        layOut(-far, 0.0f);
        EXPECT_TRUE(s.well.right < 0 && s.textX <= -1000) << -far;
        layOut(0.0f, far);
        EXPECT_TRUE(s.well.top >= 600 && s.textY >= 600) << far;
        layOut(0.0f, -far);
        EXPECT_TRUE(s.well.bottom < 0 && s.textY <= -1000) << -far;
    }
}

// A fake actor-file reader: each file name maps to a list of (class, name)
// actors made under Scenery, with one loading callback per actor.
struct FakeFiles {
    std::vector<std::string> reads;
    std::map<std::string, std::vector<std::pair<int32_t, std::string>>> contents;
};

class LevelLoad : public LoadingScreen {
  protected:
    void SetUp() override {
        LoadingScreen::SetUp();
        system->baseFolder = "base";
        GetActorSystemHooks().loadActors = [this](const std::string &file, uint32_t mode) {
            EXPECT_EQ(mode, 0u);
            files.reads.push_back(file);
            auto it = files.contents.find(file);
            if (it == files.contents.end())
                return 0;
            for (const auto &[cls, name] : it->second) {
                Actor *parent = name == "Definition" ? global : scenery;
                CreateActor(cls, name, nullptr, parent, -1, false);
                if (system->loadingCallback != nullptr)
                    system->loadingCallback(nullptr);
            }
            return 1;
        };
        GetActorSystemHooks().findActorByPath = [this](std::string_view path) -> Actor * {
            return path == "/Global/Definition" ? FindChildByName(global, "Definition") : nullptr;
        };
    }

    void Meshes(const std::string &file, int count) {
        for (int i = 0; i < count; ++i)
            files.contents[file].push_back({3, "mesh" + std::to_string(i)});
    }

    FakeFiles files;
};

TEST_F(LevelLoad, FramesFollowTheNumberOfMeshObjects) {
    const std::pair<int, int> cases[] = {{25, 14}, {0, 2}, {5, 7}};
    for (const auto &[meshes, frames] : cases) {
        files.contents.clear();
        Meshes("base\\level.qva", meshes);
        files.contents["base\\level.qva"].push_back({12, "other"});
        renderer.frames = 0;
        Send(cmd::actor_system::LoadGame, "level.qva");
        system->Process();
        EXPECT_EQ(renderer.frames, frames) << meshes;
        EXPECT_EQ(system->loadPending, 0u);
        EXPECT_EQ(system->loadingCallback, nullptr);
    }
    // With 5 meshes every call draws but the bar stays empty.
    EXPECT_EQ(GetLoadingScreenState().increment, 0.0f);
}

TEST_F(LevelLoad, AMeshDeletingTheNextListedOneLeavesNoStalePointer) {
    Meshes("base\\level.qva", 25);
    int loads = 0;
    GetActorSystemHooks().loadActors = [&](const std::string &, uint32_t) {
        std::vector<WorldRecorder *> made;
        for (int i = 0; i < 25; ++i)
            made.push_back(MakeOfClass(3, "mesh"));
        for (int i = 0; i + 1 < 25; i += 2) {
            WorldRecorder *next = made[static_cast<size_t>(i) + 1];
            made[static_cast<size_t>(i)]->onCommand = [next, &loads](uint32_t id, ParamBlock) {
                if (id == 226) {
                    ++loads;
                    DeleteActor(next);
                }
            };
        }
        return 1;
    };
    Send(cmd::actor_system::LoadGame, "level.qva");
    TakeLog();
    system->Process();
    EXPECT_EQ(loads, 12); // the last mesh has no next one
    EXPECT_EQ(Names(TakeLog(), 226).size(), 13u); // deleted meshes get no 226
    EXPECT_EQ(renderer.frames, 14);
}

TEST_F(LevelLoad, NewGameReadsBothFilesAndStartsTheGame) {
    files.contents["base\\globals.qva"] = {{12, "Definition"}};
    files.contents["base\\scene.qva"] = {{12, "thing"}};
    Make("spy");
    Send(cmd::actor_system::NewGame, "globals.qva", "scene.qva");
    system->Process();
    EXPECT_EQ(files.reads, (std::vector<std::string>{"base\\globals.qva", "base\\scene.qva"}));
    EXPECT_EQ(FindActorsByName("MASTERPLAYER", 9).size(), 1u);
    Actor *definition = FindActorByName("Definition", -1);
    ASSERT_NE(definition, nullptr);
    EXPECT_FALSE(definition->IsOperational());
    EXPECT_EQ(FindActorByName("spy", -1), nullptr); // the old world is gone
    EXPECT_TRUE(system->firstFile.empty() && system->secondFile.empty());
    EXPECT_EQ(system->newGame, 0u);
    EXPECT_EQ(traced, (std::vector<uint32_t>{25}));

    files.reads.clear();
    Send(cmd::actor_system::LoadGame, "scene.qva");
    system->Process();
    EXPECT_EQ(files.reads, (std::vector<std::string>{"base\\scene.qva"}));
    EXPECT_EQ(FindActorByName("MASTERPLAYER", 9), nullptr); // no "Start Game"
}

TEST_F(LevelLoad, SystemActorsSurviveAndTheWorldIsEmptied) {
    WorldRecorder *a = Make("a");
    Make("b", a);
    Make("g", global);
    Make("c", clipboard);
    CreateActor(15, "group", nullptr, scenery, -1, false);
    ColObj object(a);
    system->StaticColObjs(3).Append(&object, &object.staticNodes);
    DrawGroupRegistry.push_back(a);
    FileCountTable.push_back({"crate.qva", 1, 1});
    CameraActor *camera = MakeRealCamera("Camera");
    CurrentCamera = camera;
    system->listenerEffects = {3, 4};

    Send(cmd::actor_system::LoadGame, "missing.qva"); // cannot be read: the world stays empty
    system->Process();
    for (size_t id = 10; id < ActorTable.size(); ++id)
        ASSERT_EQ(ActorTable[id], nullptr) << id;
    for (uint32_t id : {0u, 1u, 2u, 3u})
        EXPECT_NE(GetActorById(id), nullptr);
    EXPECT_TRUE(global->children.empty() && scenery->children.empty());
    EXPECT_TRUE(clipboard->children.empty() && system->StaticColObjs(3).Empty());
    EXPECT_EQ(DrawGroupRegistry.size(), 2u);
    EXPECT_TRUE(FileCountTable.empty()); // the files choose afresh
    EXPECT_EQ(CurrentCamera, nullptr);
    EXPECT_TRUE(system->listenerEffects.empty());
}

TEST_F(LevelLoad, AFileThatDoesNotReadBringsBackTheStartUpFiles) {
    files.contents["base\\globals.qva"] = {{12, "Definition"}};
    files.contents["base\\scene.qva"] = {{12, "thing"}};
    files.contents["base\\Data\\title.qva"] = {{12, "Menu"}};
    files.contents["base\\Data\\start.qva"] = {{12, "Start"}};
    system->startGlobalsFile = "title.qva";
    struct Case {
        const char *scene;   // the start-up scene ("" after a menu)
        const char *missing; // "New Game"'s file that does not read
        std::vector<std::string> reads;
        const char *kept;    // what the world holds afterwards
    } cases[] = {
        {"", "scene.qva",
         {"base\\globals.qva", "base\\scene.qva", "base\\Data\\title.qva"}, "Menu"},
        {"start.qva", "globals.qva",
         {"base\\globals.qva", "base\\scene.qva", "base\\Data\\title.qva",
          "base\\Data\\start.qva"},
         "Start"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.missing);
        system->startSceneFile = c.scene;
        const auto kept = files.contents;
        files.contents.erase(std::string("base\\") + c.missing);
        files.reads.clear();
        Make("old");
        Send(cmd::actor_system::NewGame, "globals.qva", "scene.qva");
        testing::internal::CaptureStderr();
        system->Process();
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_EQ(files.reads, c.reads);
        EXPECT_NE(FindActorByName(c.kept, -1), nullptr);
        EXPECT_EQ(FindActorByName("old", -1), nullptr);
        EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
        EXPECT_NE(told.find(std::string("base\\") + c.missing), std::string::npos) << told;
        EXPECT_EQ(std::tuple(system->loadPending, system->loadingStartFiles), std::tuple(0u, 0u));
        // "Start Game" only where start-up sent it: with a scene.
        EXPECT_EQ(FindActorByName("MASTERPLAYER", 9) != nullptr, *c.scene != '\0');
        files.contents = kept;
    }
    // Start-up files that do not read either are not tried again and again.
    files.contents.clear();
    files.reads.clear();
    Send(cmd::actor_system::LoadGame, "scene.qva");
    testing::internal::CaptureStderr();
    system->Process();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(files.reads.size(), 3u);
    EXPECT_EQ(system->loadPending, 0u);
}

// The line of a file that does not read shows its path in one separator
// style: the base folder's, when it is spelt with '/'.
TEST_F(LevelLoad, AFileThatDoesNotReadIsNamedInOneSeparatorStyle) {
    system->baseFolder = "../base";
    std::strcpy(system->errorText, "Serialize Error");
    Send(cmd::actor_system::LoadGame, "Data\\Mission_01.qva");
    testing::internal::CaptureStderr();
    system->Process();
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(told.substr(0, told.find('\n') + 1),
              "Level load: cannot read ../base/Data/Mission_01.qva: Serialize Error\n");
}

TEST_F(LevelLoad, QueuedDeletionsRunFirstLastQueuedFirst) {
    WorldRecorder *parent = Make("parent");
    WorldRecorder *first = Make("first", parent);
    WorldRecorder *second = Make("second", parent);
    std::vector<std::string> order;
    parent->onCommand = [&order](uint32_t id, ParamBlock block) {
        if (id == 102)
            order.push_back(block.ReadActor(0)->name);
    };
    ActorSystem::QueueActorForDeletion(first);
    ActorSystem::QueueActorForDeletion(second);
    system->Process();
    EXPECT_EQ(order, (std::vector<std::string>{"second", "first"}));
    EXPECT_TRUE(parent->children.empty() && system->pendingDeletion.empty());
    EXPECT_EQ(renderer.frames, 0); // no load pending
}

TEST_F(LevelLoad, DeferredResourceLoadsAreCollected) {
    Send(cmd::actor_system::LoadGame, "level.qva");
    int preloads = 0;
    GetActorSystemHooks().loadActors = [&](const std::string &, uint32_t) {
        WorldRecorder *r = MakeOfClass(12, "asker");
        r->onCommand = [&preloads, this](uint32_t id, ParamBlock) {
            if (id == 47) {
                ++preloads;
                EXPECT_EQ(AskU32(cmd::actor_system::GetDeferLoads), 1u);
            }
        };
        return 1;
    };
    system->Process();
    EXPECT_EQ(preloads, 1);
    EXPECT_EQ(AskU32(cmd::actor_system::GetDeferLoads), 0u);
}

TEST_F(LevelLoad, EveryDeferredLoadIsLoadedRepeatsIncluded) {
    RecordedLibrary resources;
    ASSERT_TRUE(resources.Ready());
    GetActorSystemHooks().loadActors = [this](const std::string &, uint32_t) {
        WorldRecorder *asker = MakeOfClass(12, "asker");
        asker->onCommand = [this](uint32_t id, ParamBlock) {
            if (id == 47) {
                const std::vector<uint8_t> wall = Name128("wall");
                const std::vector<uint8_t> none = Name128("none");
                for (int i = 0; i < 8; ++i) {
                    SendRaw(cmd::actor_system::LoadResource, wall.data(), wall.size());
                    SendRaw(cmd::actor_system::LoadResource, none.data(), none.size());
                }
            }
        };
        return 1;
    };
    Send(cmd::actor_system::LoadGame, "level.qva");
    system->Process();
    EXPECT_EQ(RecordedLibrary::TakeCalls(), std::vector<std::string>(8, "load wall"));
    EXPECT_TRUE(system->deferredLoads.empty());
    // "...." once, then every fourth of the eight loads; the last step's
    // call comes one after a movement and draws nothing.
    EXPECT_EQ(renderer.frames, 3);
}

// The real actor-file code behind "Save Game" and "Load Game".
class SavedGame : public LoadingScreen {
  protected:
    void SetUp() override {
        LoadingScreen::SetUp();
        ResetActorSystemHooks(); // the actor-file code, not the recorders
        system->baseFolder = folder.Path();
    }
    TempFolder folder;
};

void AddScript(Actor *actor, const std::string &name, uint32_t eventId,
               const std::string &source) {
    auto script = std::make_unique<ScriptRecord>();
    script->name = name;
    script->eventId = eventId;
    script->source = source;
    script->owner = actor;
    actor->scripts.push_back(std::move(script));
}

// name, event, source of each script.
std::vector<std::string> Scripts(const Actor *actor) {
    std::vector<std::string> out;
    for (const auto &script : actor->scripts) {
        out.push_back(script->name + "|" + std::to_string(script->eventId) + "|" +
                      script->source);
    }
    return out;
}

TEST_F(SavedGame, SaveThenLoadRestoresTheTree) {
    WorldRecorder *a = Make("a", nullptr, 3000);
    a->position = {1.0f, 2.0f, 3.0f};
    a->rotation = {0.0f, 0.6f, 0.0f, 0.8f};
    a->scale = {2.0f, 2.0f, 0.5f};
    a->InvalidateTransform();
    AddScript(a, "on enter", 98, "Print 1");
    AddScript(a, "helper", 0, "Print 2\nPrint 3");
    WorldRecorder *b = Make("b", a, 3001);
    b->position = {0.0f, -4.0f, 0.0f};
    b->InvalidateTransform();
    AddScript(b, "own", 154, "Print 4");
    Make("g", global, 20);
    const Matrix aWorld = a->GetWorldMatrix();
    const Matrix bWorld = b->GetWorldMatrix();
    const std::vector<std::string> aScripts = Scripts(a);
    const std::vector<std::string> bScripts = Scripts(b);
    Actor *roots[4] = {system, global, scenery, clipboard};

    ASSERT_NE(Send(cmd::actor_system::SaveGame, "slot.sav"), 0) << system->errorText;
    Make("later", nullptr, 3005);
    Send(cmd::actor_system::LoadGame, "slot.sav");
    system->Process();

    for (uint32_t id = 0; id < 4; ++id) {
        EXPECT_EQ(GetActorById(id), roots[id]) << id; // never made anew
    }
    Actor *restored = GetActorById(3000);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(std::tuple(restored->name, restored->parent, restored->position.y),
              std::tuple("a", scenery, 2.0f));
    EXPECT_EQ(std::tuple(restored->rotation.y, restored->scale.z), std::tuple(0.6f, 0.5f));
    auto expectNear = [](const Matrix &got, const Matrix &want, float tolerance) {
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(got.m[i / 4][i % 4], want.m[i / 4][i % 4], tolerance) << i;
    };
    expectNear(restored->GetWorldMatrix(), aWorld, 1e-6f);
    EXPECT_EQ(Scripts(restored), aScripts);
    for (const auto &script : restored->scripts)
        EXPECT_EQ(script->owner, restored);
    ASSERT_EQ(restored->children.size(), 1u);
    Actor *child = restored->children[0];
    EXPECT_EQ(std::tuple(child->actorId, child->name), std::tuple(3001, "b"));
    EXPECT_EQ(Scripts(child), bScripts);
    expectNear(child->GetWorldMatrix(), bWorld, 1e-5f);
    ASSERT_NE(GetActorById(20), nullptr);
    EXPECT_EQ(GetActorById(20)->parent, global);
    EXPECT_EQ(GetActorById(3005), nullptr);
    ASSERT_NE(GetActorById(14), nullptr); // back from the file only
    EXPECT_EQ(GetActorById(14)->name, "Environment");
    // Nothing below id 10 was made by the load.
    for (uint32_t id = 4; id < 10; ++id)
        EXPECT_EQ(GetActorById(id), nullptr) << id;
    EXPECT_EQ(system->loadPending, 0u);
}

} // namespace
