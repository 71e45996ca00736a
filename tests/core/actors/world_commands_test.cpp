// The world's own commands: what each serves before the base handler, the
// game start, the unloading of spawned actors, draw-group renumbering and
// the checks on script-given file names and capture sizes.
#include <gtest/gtest.h>

#include <bit>
#include <tuple>
#include <functional>
#include <memory>
#include <cmath>
#include <limits>

#include "actors/characters/character_seams.h"
#include "actors/presentation/presentation_seams.h"
#include "actors/world/world_seams.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/actors/screen_capture.h"
#include "../../support/temp_folder.h"
#include "core/actors/script_runner.h"
#include "library/library_item.h"
#include "platform/os/clock_source.h"
#include "platform/timer.h"
#include "world_command_fixture.h"
#include "support/tick_clock.h"

namespace {

struct SpyNotice {
    uint32_t commandId;
    const ParamBlock *block;
    Actor *actor;
};

// Every delivery the recorders saw for an actor name.
std::vector<Delivery> To(const std::vector<Delivery> &log, const std::string &name) {
    std::vector<Delivery> out;
    for (const Delivery &d : log) {
        if (d.actorName == name)
            out.push_back(d);
    }
    return out;
}

std::vector<uint32_t> InnerIdsTo(const std::vector<Delivery> &log, int32_t actorId) {
    std::vector<uint32_t> ids;
    for (const Delivery &d : log) {
        if (d.actorId == actorId && d.commandId == kRecursiveCommandId)
            ids.push_back(d.innerId);
    }
    return ids;
}

using WorldCommands = WorldCommandTest;

TEST_F(WorldCommands, EveryCommandIsServedThenPassedToTheBaseHandler) {
    WorldRecorder *spy = Make("spy", nullptr, 500); // survives 365
    AddCommandSpy(system, spy);
    std::vector<uint32_t> heard;
    uint32_t difficultyWhenHeard = 0;
    spy->onCommand = [&](uint32_t id, ParamBlock block) {
        if (id == 93) {
            SpyNotice notice{};
            block.ReadBytes(0, &notice, sizeof(notice));
            // Broadcasts (508, 511), tree callbacks and the save mark (246)
            // reach actor 0 too.
            if (notice.commandId != 508 && notice.commandId != 511 && notice.commandId != 246 &&
                (notice.commandId < 100 || notice.commandId > 105)) {
                heard.push_back(notice.commandId);
            }
            if (notice.commandId == cmd::actor_system::SetDifficultyLevel)
                difficultyWhenHeard = system->difficultyLevel;
        }
    };
    const std::vector<uint32_t> ids = {
        154, 224, 225, 232, 248, 364, 365, 366, 367, 368, 369, 370, 371, 372, 373, 374, 375,
        377, 378, 379, 380, 381, 382, 383, 384, 385, 390, 391, 392, 393, 394, 395, 396, 397,
        398, 399, 403, 404, 828, 1238, 359, 360, 361, 362, 363, 386, 387, 388, 389, 400, 401, 402};
    uint8_t zeros[512] = {};
    for (uint32_t id : ids) {
        std::fill(std::begin(zeros), std::end(zeros), 0);
        if (id == cmd::actor_system::SetDifficultyLevel)
            zeros[0] = 2;
        system->HandleCommand(id, ParamBlock(zeros, sizeof(zeros)));
    }
    // 154 reaches actor 0 once: the tree walk goes to its children only.
    EXPECT_EQ(heard, ids);
    EXPECT_EQ(difficultyWhenHeard, 2u); // served before the base handler ran
    EXPECT_EQ(closeRequests, 1);
}

// Runs nothing; calls `onRun` for every script that would run.
class ScriptSpy : public ScriptRunner {
  public:
    int Run(ScriptRecord *record, Actor *) override {
        onRun(record);
        return 1;
    }
    std::function<void(ScriptRecord *)> onRun;
};

TEST_F(WorldCommands, StartGameRunsTheSystemsBoundScriptAfterServingIt) {
    auto script = std::make_unique<ScriptRecord>();
    script->name = "on start";
    script->eventId = cmd::base::StartGame;
    script->owner = system;
    system->scripts.push_back(std::move(script));
    ScriptSpy spy;
    int runs = 0;
    bool playerMade = false;
    spy.onRun = [&](ScriptRecord *record) {
        ++runs;
        EXPECT_EQ(record->name, "on start");
        playerMade = FindActorByName("MASTERPLAYER", 9) != nullptr;
    };
    ScriptRunner *previous = InstallScriptRunner(&spy);
    Send(cmd::base::StartGame);
    InstallScriptRunner(previous);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(playerMade);
}

// A script of the starting world that starts it again (twice) is not
// heard: each start would run every start script once more.
TEST_F(WorldCommands, AStartSentWhileTheWorldStartsIsNotCarriedOut) {
    WorldRecorder *starter = Make("Starter");
    auto script = std::make_unique<ScriptRecord>();
    script->eventId = cmd::base::StartGame;
    script->owner = starter;
    starter->scripts.push_back(std::move(script));
    ScriptSpy spy;
    int runs = 0;
    spy.onRun = [&](ScriptRecord *) {
        if (++runs < 3) { // bounded, should the start be carried out again
            Send(cmd::base::StartGame);
            Send(cmd::base::StartGame);
        }
    };
    ScriptRunner *previous = InstallScriptRunner(&spy);
    Send(cmd::base::StartGame);
    EXPECT_EQ(runs, 1);
    size_t players = 0;
    for (Actor *actor : ActorTable) players += actor != nullptr && actor->name == "MASTERPLAYER";
    EXPECT_EQ(players, 1u);
    // Once the start is over, the world starts again when asked.
    Send(cmd::base::StartGame);
    InstallScriptRunner(previous);
    EXPECT_EQ(runs, 2);
}

TEST_F(WorldCommands, StartGameAndSkipFrameTimeDropOneFrameTime) {
    TickClock clock;
    DestroyFrameTimer();
    ASSERT_EQ(CreateFrameTimer(&clock), 1);
    FrameTimer *timer = GetFrameTimer();
    timer->GetDeltaTime();
    for (uint32_t command : {cmd::actor_system::SkipFrameTime, cmd::base::StartGame}) {
        clock.tick += 5000; // a long pause...
        Send(command);
        clock.tick += 100; // ...is not the next frame's time
        EXPECT_NEAR(timer->GetDeltaTime(), 0.1, 1e-6) << command;
    }
    DestroyFrameTimer();
}

TEST_F(WorldCommands, GlobalTimeAndMotionQueries) {
    Send(cmd::actor_system::SetGlobalTime, std::bit_cast<uint32_t>(10.0f));
    TimeRecord *root = RootTimeRecord();
    EXPECT_FLOAT_EQ(root->time, 10.0f);
    EXPECT_NEAR(root->previousTime, 9.983333f, 1e-5f);
    EXPECT_NEAR(root->earlierTime, 9.966667f, 1e-5f);
    Send(cmd::actor_system::SetGlobalTime, 0u);
    EXPECT_EQ(root->time, 0.0f);
    EXPECT_FLOAT_EQ(root->previousTime, -1.0f / 60.0f);
    EXPECT_FLOAT_EQ(root->earlierTime, -1.0f / 30.0f);

    const std::pair<float, std::pair<uint32_t, uint32_t>> cases[] = {
        {1.0f, {0, 0}}, {0.5f, {1, 0}}, {0.0f, {1, 1}}, {1.5f, {0, 0}}};
    for (const auto &[multiplier, answers] : cases) {
        Send(cmd::actor_system::SetGlobalSpeedMultiplier, multiplier);
        EXPECT_EQ(AskU32(cmd::actor_system::SlowmotionIsActive), answers.first) << multiplier;
        EXPECT_EQ(AskU32(cmd::actor_system::FreezemotionIsActive), answers.second) << multiplier;
        float back = -1.0f;
        system->HandleCommand(cmd::actor_system::GetGlobalSpeedMultiplier,
                              ParamBlock(&back, sizeof(back)));
        EXPECT_EQ(back, multiplier);
    }
}

TEST_F(WorldCommands, SettingsAndHooks) {
    Send(cmd::actor_system::SetLoadBarTextColor, Vector4{0.1f, 0.2f, 0.3f, 0.4f});
    float color[4] = {};
    system->HandleCommand(cmd::actor_system::GetLoadBarColor, ParamBlock(color, sizeof(color)));
    EXPECT_EQ(std::vector<float>(color, color + 4), (std::vector<float>{0.6f, 0.9f, 0.4f, 1.0f}));
    system->HandleCommand(cmd::actor_system::GetLoadBarTextColor, ParamBlock(color, sizeof(color)));
    EXPECT_EQ(color[1], 0.2f);
    Send(cmd::actor_system::SetLoadBarColor, Vector4{1.0f, 0.0f, 0.5f, 1.0f});
    EXPECT_EQ(system->loadBarColor.z, 0.5f);
    Send(cmd::actor_system::SetLoadBarPosition, Vector3{1, 2, 3});
    Send(cmd::actor_system::SetLoadBarTextPosition, Vector3{4, 5, 6});
    float v[3] = {};
    system->HandleCommand(cmd::actor_system::GetLoadBarPosition, ParamBlock(v, sizeof(v)));
    EXPECT_EQ(v[2], 3.0f);
    system->HandleCommand(cmd::actor_system::GetLoadBarTextPosition, ParamBlock(v, sizeof(v)));
    EXPECT_EQ(v[0], 4.0f);

    Send(cmd::actor_system::SetDifficultyLevel, 3u);
    EXPECT_EQ(AskU32(cmd::actor_system::GetDifficultyLevel), 3u);
    Send(cmd::actor_system::SetGlobalMultiplierAIPlayerHitEffect, 2.5f);
    for (const float bad : {NAN, INFINITY, -INFINITY}) {
        Send(cmd::actor_system::SetGlobalMultiplierAIPlayerHitEffect, bad);
    }
    EXPECT_EQ(GlobalHitEffectMultiplier, 2.5f);
    SendRaw(cmd::actor_system::SetDeferLoads, "\x07\0\0\0", 4);
    EXPECT_EQ(AskU32(cmd::actor_system::GetDeferLoads), 7u);

    // Listener effects: pushed values, then the new top or 25.
    Send(cmd::actor_system::PushListenerEffect, 4u);
    Send(cmd::actor_system::PushListenerEffect, 9u);
    Send(cmd::actor_system::PopListenerEffect);
    Send(cmd::actor_system::PopListenerEffect);
    Send(cmd::actor_system::PopListenerEffect);
    EXPECT_EQ(traced, (std::vector<uint32_t>{4, 9, 4, 25, 25}));
    EXPECT_TRUE(system->listenerEffects.empty());

    // The current camera and the gamma block.
    Actor *none = scenery;
    system->HandleCommand(cmd::actor_system::GetCurrentCamera, ParamBlock(&none, sizeof(none)));
    EXPECT_EQ(none, nullptr);
    CameraActor *camera = MakeRealCamera("cam");
    ASSERT_NE(camera, nullptr);
    CurrentCamera = camera;
    Actor *answer = nullptr;
    system->HandleCommand(cmd::actor_system::GetCurrentCamera, ParamBlock(&answer, sizeof(answer)));
    EXPECT_EQ(answer, camera);
    Send(cmd::camera::SetGlobalGamma, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f);
    EXPECT_EQ(std::tuple(GlobalGamma[5], camera->gammaRefresh), std::tuple(6.0f, 1u));

    Send(cmd::actor_system::ExitEngine);
    EXPECT_EQ(closeRequests, 1);
}

class ResourceCommands : public WorldCommandTest {
  protected:
    void SetUp() override {
        WorldCommandTest::SetUp();
        ASSERT_TRUE(resources.Ready());
        GetActorSystemHooks().textureMovie = [](LibraryItem *item, bool play) {
            RecordedLibrary::Calls().push_back((play ? "play " : "stop ") + item->name);
        };
    }
    void SendName(uint32_t command, const std::string &name, int32_t cls = -1) {
        std::vector<uint8_t> bytes = Name128(name);
        bytes.resize(132);
        std::memcpy(bytes.data() + 128, &cls, 4);
        SendRaw(command, bytes.data(), bytes.size());
    }
    RecordedLibrary resources;
    LibraryItem *wall = resources.wall;
    LibraryItem *film = resources.film;
    static std::vector<std::string> TakeCalls() { return RecordedLibrary::TakeCalls(); }
};

TEST_F(ResourceCommands, ItemsAreFoundByNameAndMissingOnesIgnored) {
    ASSERT_NE(wall, nullptr);
    ASSERT_NE(film, nullptr);
    // 248: release then load, of the given class only.
    SendName(cmd::base::InvalidateResources, "WALL", static_cast<int32_t>(ItemClass::Material));
    SendName(cmd::base::InvalidateResources, "wall", static_cast<int32_t>(ItemClass::Texture));
    SendName(cmd::base::InvalidateResources, "none", static_cast<int32_t>(ItemClass::Material));
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"release wall", "load wall"}));

    // 366 loads at once unless loads are deferred; 367 releases.
    SendName(cmd::actor_system::LoadResource, "wall");
    SendName(cmd::actor_system::UnloadResource, "wall");
    SendName(cmd::actor_system::LoadResource, "none");
    SendName(cmd::actor_system::UnloadResource, "none");
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"load wall", "release wall"}));
    EXPECT_TRUE(system->deferredLoads.empty());
    Send(cmd::actor_system::SetDeferLoads, 1u);
    SendName(cmd::actor_system::LoadResource, "wall");
    SendName(cmd::actor_system::LoadResource, "none");
    SendName(cmd::actor_system::LoadResource, "wall");
    Send(cmd::actor_system::SetDeferLoads, 0u);
    EXPECT_TRUE(TakeCalls().empty());
    EXPECT_EQ(system->deferredLoads, (std::vector<LibraryItem *>{wall, wall}));

    // 373/374 play and stop the film of a texture item only.
    SendName(cmd::actor_system::PlayTextureMovie, "film");
    SendName(cmd::actor_system::StopTextureMovie, "film");
    SendName(cmd::actor_system::PlayTextureMovie, "wall");
    SendName(cmd::actor_system::StopTextureMovie, "none");
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"play film", "stop film"}));
}

// Six gamma values of which one is not finite are refused whole: the
// current camera's ramp (and every later camera's) keeps the held ones.
TEST_F(WorldCommands, AGammaThatIsNotFiniteIsRefused) {
    CameraActor *camera = MakeRealCamera("cam");
    ASSERT_NE(camera, nullptr);
    CurrentCamera = camera;
    Send(cmd::camera::SetGlobalGamma, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f);
    const uint32_t refreshes = camera->gammaRefresh;
    for (const float bad : {NAN, INFINITY, -INFINITY}) {
        for (size_t i = 0; i < 6; ++i) {
            float values[6] = {0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f};
            values[i] = bad;
            system->HandleCommand(cmd::camera::SetGlobalGamma, ParamBlock(values, sizeof(values)));
            EXPECT_EQ(std::vector<float>(GlobalGamma, GlobalGamma + 6),
                      (std::vector<float>{1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f}))
                << bad << " at " << i;
        }
    }
    EXPECT_EQ(camera->gammaRefresh, refreshes);
}

// The loading screen lays its bar and text out from these places: one with
// a component that is not finite is refused, and the held place stays.
TEST_F(WorldCommands, ALoadBarPlaceThatIsNotFiniteIsRefused) {
    Send(cmd::actor_system::SetLoadBarPosition, Vector3{1, 2, 3});
    Send(cmd::actor_system::SetLoadBarTextPosition, Vector3{4, 5, 6});
    for (const float bad : {NAN, INFINITY, -INFINITY}) {
        for (const Vector3 &place : {Vector3{bad, 0, 0}, Vector3{0, bad, 0}, Vector3{0, 0, bad}}) {
            Send(cmd::actor_system::SetLoadBarPosition, place);
            Send(cmd::actor_system::SetLoadBarTextPosition, place);
        }
    }
    const Vector3 &bar = system->loadBarPosition, &text = system->loadBarTextPosition;
    EXPECT_EQ(std::tuple(bar.x, bar.y, bar.z, text.x, text.y, text.z),
              std::tuple(1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f));
}

TEST_F(WorldCommands, PendingLoadFields) {
    system->baseFolder = "C:\\Game";
    Send(cmd::actor_system::NewGame, "data\\Globals1_XBox.qva", "data\\Level1.qva");
    EXPECT_EQ((std::vector<uint32_t>{system->loadPending, system->loadFlag, system->newGame}),
              (std::vector<uint32_t>{1, 1, 1}));
    EXPECT_EQ(system->firstFile, "C:\\Game\\data\\Globals1_XBox.qva");
    EXPECT_EQ(system->secondFile, "C:\\Game\\data\\Level1.qva");

    Send(cmd::actor_system::LoadGame, "save1.qva");
    EXPECT_EQ(system->newGame, 0u);
    EXPECT_EQ(system->firstFile, "C:\\Game\\data\\Globals1_XBox.qva"); // kept
    EXPECT_EQ(system->secondFile, "C:\\Game\\save1.qva");

    Send(cmd::actor_system::NewGame2, "a", "b", false, true);
    EXPECT_EQ(std::tuple(system->loadFlag, system->newGame, system->firstFile),
              std::tuple(0u, 1u, "C:\\Game\\a"));
}

TEST_F(WorldCommands, SaveGameChecksTheNameAndReportsAFailedWrite) {
    system->baseFolder = "base";
    EXPECT_NE(Send(cmd::actor_system::SaveGame, "slot1.sav"), 0);
    EXPECT_NE(Send(cmd::actor_system::SaveGame, "saves/slot2.sav"), 0);
    EXPECT_NE(Send(cmd::actor_system::SaveGame, "\\slot3.sav"), 0);
    EXPECT_EQ(savedFiles, (std::vector<std::string>{"base\\slot1.sav", "base\\saves/slot2.sav",
                                                     "base\\\\slot3.sav"}));
    savedFiles.clear();
    for (const char *bad : {"..\\evil.sav", "a/../../evil.sav", "a\\..", ".."})
        EXPECT_EQ(Send(cmd::actor_system::SaveGame, bad), 0) << bad;
    EXPECT_TRUE(savedFiles.empty());
    // "..." and "..x" are plain names.
    EXPECT_NE(Send(cmd::actor_system::SaveGame, "...\\..x"), 0);
    EXPECT_EQ(savedFiles.size(), 1u);

    // A failed write answers 0 after the base handling.
    saveResult = 0;
    EXPECT_EQ(Send(cmd::actor_system::SaveGame, "slot1.sav"), 0);
    EXPECT_EQ(savedFiles.size(), 2u);
}

TEST_F(WorldCommands, SaveGameMarksTheTreeAsSavedFirst) {
    WorldRecorder *actor = Make("saved");
    actor->flags &= ~kActorSaved;
    GetActorSystemHooks().saveActors = [&](const std::string &, uint32_t, uint32_t, uint32_t) {
        EXPECT_TRUE(actor->HasFlag(kActorSaved));
        return 1;
    };
    Send(cmd::actor_system::SaveGame, "x");
}

TEST_F(WorldCommands, StartGameWithoutPlayerCharacter) {
    WorldRecorder *watcher = Make("watcher");
    WorldRecorder *spy = Make("spy");
    AddCommandSpy(system, spy);
    int startsAtZero = 0;
    spy->onCommand = [&](uint32_t id, ParamBlock block) {
        SpyNotice notice{};
        block.ReadBytes(0, &notice, sizeof(notice));
        startsAtZero += id == 93 && notice.commandId == cmd::base::StartGame ? 1 : 0;
    };
    for (uint32_t level : {0u, 1u, 2u, 3u, 4u}) {
        system->difficultyLevel = level;
        TakeLog();
        Send(cmd::base::StartGame);
        Actor *player = FindActorByName("MASTERPLAYER", 9);
        ASSERT_NE(player, nullptr);
        EXPECT_EQ(player->parent, scenery);
        EXPECT_TRUE(player->HasFlag(kActorMaster));
        std::vector<uint32_t> expected = {cmd::base::StartGame};
        if (level >= 1 && level <= 3)
            expected.push_back(240 + level);
        EXPECT_EQ(InnerIdsTo(TakeLog(), watcher->actorId), expected) << level;
        EXPECT_EQ(FindActorByName("Camera", -1), nullptr);
        DeleteActor(player);
    }
    EXPECT_EQ(startsAtZero, 5);
}

class TypeFourCharacter : public WorldRecorder {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == 838) {
            block.WriteU32(0, 4);
            return 1;
        }
        return WorldRecorder::HandleCommand(commandId, block);
    }
};

TEST_F(WorldCommands, StartGameSetsUpThePlayerCopyAndCamera) {
    WorldRecorder *character = MakeOfClass(16, "PlayerCharacter");
    WorldRecorder *arm = Make("Arm", character);
    (void)arm;
    WorldRecorder *marker = Make("PlayerStart0");
    marker->position = {5.0f, 6.0f, 7.0f};
    marker->InvalidateTransform();
    TakeLog();
    Send(cmd::base::StartGame);
    const std::vector<Delivery> log = TakeLog();

    Actor *copy = FindActorByName("GA1_Player", -1);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->parent, scenery);
    ASSERT_EQ(copy->children.size(), 1u);
    EXPECT_EQ(std::tuple(copy->children[0]->name, GetGlobalActor(1)), std::tuple("Arm", copy));
    const Matrix &placed = copy->GetWorldMatrix();
    const Matrix &wanted = marker->GetWorldMatrix();
    EXPECT_EQ(std::memcmp(&placed, &wanted, sizeof(Matrix)), 0);

    const std::vector<Delivery> toPlayer = To(log, "MASTERPLAYER");
    ASSERT_FALSE(toPlayer.empty());
    bool setCharacter = false;
    for (const Delivery &d : toPlayer)
        setCharacter |= d.commandId == 538 && d.PointerAt(0) == copy;
    EXPECT_TRUE(setCharacter);

    std::vector<uint32_t> toCopy;
    for (const Delivery &d : To(log, "GA1_Player")) {
        if (d.commandId != kRecursiveCommandId)
            toCopy.push_back(d.commandId);
    }
    EXPECT_EQ(toCopy, (std::vector<uint32_t>{270, 41, 838, 969}));

    std::vector<Delivery> toCamera;
    for (const Delivery &d : To(log, "Camera")) {
        if (d.commandId != kRecursiveCommandId && d.commandId != cmd::base::Create)
            toCamera.push_back(d);
    }
    ASSERT_EQ(Ids(toCamera), (std::vector<uint32_t>{63, 1212, 1220, 1222, 1235}));
    EXPECT_EQ(toCamera[0].Read<float>(4, toCamera[0].block), 50.0f);
    EXPECT_EQ(toCamera[1].Read<float>(0, toCamera[1].block), 1.4f);
    EXPECT_EQ(toCamera[2].Read<uint32_t>(0, toCamera[2].block), 1u);
    EXPECT_EQ(toCamera[3].PointerAt(0), copy);
    EXPECT_EQ(toCamera[4].Read<uint32_t>(0, toCamera[4].block), 1u);
}

TEST_F(WorldCommands, StartGameWithATypeFourCharacter) {
    SetActorClassRowForTests(16, {16, [] { return static_cast<Actor *>(new TypeFourCharacter); },
                                  nullptr});
    MakeOfClass(16, "PlayerCharacter");
    TakeLog();
    Send(cmd::base::StartGame);
    const std::vector<Delivery> log = TakeLog();
    std::vector<uint32_t> cameraIds;
    for (const Delivery &d : To(log, "Camera")) {
        if (d.commandId == 1212) {
            EXPECT_EQ(d.Read<float>(0, d.block), 1.45f);
        }
        if (d.commandId == 1220) {
            EXPECT_EQ(d.Read<uint32_t>(0, d.block), 5u);
        }
        cameraIds.push_back(d.commandId);
    }
    EXPECT_NE(std::find(cameraIds.begin(), cameraIds.end(), 1220u), cameraIds.end());
    bool health = false;
    for (const Delivery &d : To(log, "GA1_Player")) {
        if (d.commandId == 952)
            health = d.Read<float>(0, d.block) == -1.0f && d.Read<float>(4, d.block) == 0.0f;
    }
    EXPECT_TRUE(health);
}

TEST_F(WorldCommands, UnloadAllFileobjectsDeletesSpawnedActorsCleanly) {
    WorldRecorder *kept = Make("kept", nullptr, 500);
    WorldRecorder *a = Make("a");       // 8000 under Scenery
    WorldRecorder *b = Make("b", a);    // 8001 under a
    WorldRecorder *c = Make("c", kept); // 8002 under a kept actor
    ASSERT_GE(b->actorId, 8000);
    (void)c;
    CameraActor *current = MakeRealCamera("Cam");
    ASSERT_NE(current, nullptr);
    CurrentCamera = current;
    const size_t before = ActorTable.size();

    TakeLog();
    Send(cmd::actor_system::UnloadAllFileobjects);
    const std::vector<Delivery> log = TakeLog();
    EXPECT_EQ(log.front().commandId, 511u);
    for (size_t id = 8000; id < ActorTable.size(); ++id)
        EXPECT_EQ(ActorTable[id], nullptr) << id;
    EXPECT_EQ(std::tuple(ActorTable.size(), GetActorById(500)), std::tuple(before, kept));
    EXPECT_TRUE(kept->children.empty());
    for (Actor *child : scenery->children) {
        EXPECT_LT(child->actorId, 8000); // touched only through live pointers (ASan)
    }
    EXPECT_EQ(CurrentCamera, nullptr);
    EXPECT_NE(GetActorById(14), nullptr);
    EXPECT_NE(GetActorById(16), nullptr);
}

TEST_F(WorldCommands, CopyActorRefusesNullAndSelfNesting) {
    WorldRecorder *source = Make("source");
    WorldRecorder *inner = Make("inner", source);
    WorldRecorder *target = Make("target");
    const size_t count = scenery->children.size();
    Actor *pairs[][2] = {{nullptr, target}, {source, nullptr}, {source, inner}, {source, source}};
    for (auto &pair : pairs)
        system->HandleCommand(cmd::actor_system::CopyActor, ParamBlock(pair, sizeof(pair)));
    EXPECT_EQ(std::tuple(scenery->children.size(), inner->children.size(), source->children.size()),
              std::tuple(count, 0u, 1u));
    Actor *good[2] = {source, target};
    system->HandleCommand(cmd::actor_system::CopyActor, ParamBlock(good, sizeof(good)));
    ASSERT_EQ(target->children.size(), 1u);
    EXPECT_EQ(target->children[0]->name, "source");
    EXPECT_EQ(target->children[0]->children.size(), 1u);
}

DrawGroupActor *MakeGroup(Actor *parent, float diagonalX) {
    auto *group =
        static_cast<DrawGroupActor *>(CreateActor(15, "group", nullptr, parent, -1, false));
    group->boxMax = {diagonalX, 0.0f, 0.0f};
    return group;
}

TEST_F(WorldCommands, AssignDrawGroupIdsSortsByDiagonal) {
    DrawGroupActor *g3 = MakeGroup(scenery, 3.0f);
    DrawGroupActor *g1 = MakeGroup(scenery, 1.0f);
    DrawGroupActor *g2 = MakeGroup(scenery, 2.0f);
    DrawGroupRegistry = {nullptr, nullptr, g3, g1, g2};
    Send(cmd::draw_group::GetAssignDrawgroupID);
    EXPECT_EQ(DrawGroupRegistry, (std::vector<Actor *>{nullptr, nullptr, g1, g2, g3}));
    EXPECT_EQ((std::vector<int>{g1->drawGroupId, g2->drawGroupId, g3->drawGroupId}),
              (std::vector<int>{2, 3, 4}));

    // Equal diagonals keep registry order; empty entries go last.
    DrawGroupActor *e1 = MakeGroup(scenery, 2.0f);
    DrawGroupActor *e2 = MakeGroup(scenery, 2.0f);
    DrawGroupRegistry = {nullptr, nullptr, e2, nullptr, e1, g1, g2};
    Send(cmd::draw_group::GetAssignDrawgroupID);
    EXPECT_EQ(DrawGroupRegistry, (std::vector<Actor *>{nullptr, nullptr, g1, e2, e1, g2, nullptr}));
    EXPECT_EQ(std::tuple(e2->drawGroupId, g2->drawGroupId), std::tuple(3, 5));
}

TEST_F(WorldCommands, CaptureSizesOutsideTheRangeKeepThePreviousImage) {
    uint8_t pixels[4 * 4 * 4] = {};
    ASSERT_EQ(CaptureFromSource({22, 4, 4, 16, pixels}, 64, 48), 1);
    CaptureImage *image = GetCaptureImage();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float bad[][2] = {{0, 48},   {64, 0},    {-5, 48}, {64, -5},
                            {5000, 1}, {1, 5000}, {nan, 48}, {64, nan},
                            {std::numeric_limits<float>::infinity(), 48}};
    for (const auto &size : bad) {
        Send(cmd::actor_system::CaptureBackBuffer, Vector2{size[0], size[1]});
        ASSERT_EQ(GetCaptureImage(), image);
        EXPECT_EQ(std::tuple(image->GetWidth(), image->GetHeight()), std::tuple(64, 48));
    }
    // Without a device a good size still makes the image, filled with 0xFF.
    Send(cmd::actor_system::CaptureBackBuffer, Vector2{8.9f, 2.2f});
    ASSERT_NE(GetCaptureImage(), nullptr);
    EXPECT_EQ(GetCaptureImage()->GetWidth(), 8);
    EXPECT_EQ(GetCaptureImage()->GetHeight(), 2);
}

TEST_F(WorldCommands, CaptureSaveStaysInsideTheBaseFolder) {
    TempFolder base;
    std::filesystem::create_directories(base / "inner/shots");
    system->baseFolder = base / "inner";
    uint8_t pixels[4 * 4 * 4] = {};
    ASSERT_EQ(CaptureFromSource({22, 4, 4, 16, pixels}, 2, 2), 1);
    for (const char *bad : {"..\\out.tga", "shots/../../out.tga", "..", "shots\\..\\..\\x"})
        Send(cmd::actor_system::CaptureSave, bad);
    EXPECT_EQ(base.List(""), std::vector<std::string>{"inner"});
    EXPECT_EQ(base.List("inner"), std::vector<std::string>{"shots"});
    Send(cmd::actor_system::CaptureSave, "shots\\a.tga");
    Send(cmd::actor_system::CaptureSave, "\\b.tga"); // a leading separator stays inside
    EXPECT_EQ(base.List("inner/shots"), std::vector<std::string>{"a.tga"});
    EXPECT_EQ(base.List("inner"), (std::vector<std::string>{"b.tga", "shots"}));
}

} // namespace
