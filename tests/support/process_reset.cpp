#include "process_reset.h"

#include <array>
#include <gtest/gtest.h>
#include <string>

#include "actors/characters/auto_aim_actor.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/character_seams.h"
#include "actors/world/collision.h"
#include "base/file_system.h"
#include "base/random.h"
#include "base/text_table.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_system.h"
#include "core/actors/loading_screen.h"
#include "core/actors/screen_capture.h"
#include "core/actors/script_runner.h"
#include "game/game_sleep.h"
#include "game/save_game_actor.h"
#include "library/display.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "library/save_device.h"
#include "library/texture_items.h"
#include "platform/input.h"
#include "platform/sound.h"
#include "platform/texture_object.h"
#include "platform/timer.h"
#include "platform/video.h"

namespace {

// What the process held before the first test.
struct RecordedState {
    bool recorded = false;
    std::array<ItemLoader, kItemClassSlots> loaders{};
    FileSystem *fileSystem = nullptr;
    GameSleepFunction sleep = nullptr;
    ScriptRunner *scriptRunner = nullptr;
    ActorLoadProgress loadProgress = nullptr;
    CollisionScene collisionScene;
    size_t collisionGridMinimum = 0;
    CollisionHoldReader holdReader = nullptr;
    SaveDeviceLink *saveDeviceLink = nullptr;
    std::string saveFolder;
};

RecordedState &Recorded() {
    static RecordedState state;
    return state;
}

class ResetAfterEveryTest : public testing::EmptyTestEventListener {
    // Runs once the fixture has been torn down and destroyed.
    void OnTestEnd(const testing::TestInfo &) override { ResetProcessForTests(); }
};

} // namespace

void RecordProcessStateForTests() {
    RecordedState &r = Recorded();
    for (uint32_t cls = 0; cls < kItemClassSlots; ++cls) {
        r.loaders[cls] = GetItemLoader(static_cast<ItemClass>(cls));
    }
    r.fileSystem = GetCurrentFileSystem();
    // The setters answer what they replace: it goes straight back.
    r.sleep = SetGameSleep(nullptr);
    SetGameSleep(r.sleep);
    r.scriptRunner = InstallScriptRunner(nullptr);
    InstallScriptRunner(r.scriptRunner);
    r.loadProgress = SetActorLoadProgress(nullptr);
    SetActorLoadProgress(r.loadProgress);
    r.collisionScene = SetCollisionScene(CollisionScene{});
    SetCollisionScene(r.collisionScene);
    r.collisionGridMinimum = SetCollisionGridMinimum(0);
    SetCollisionGridMinimum(r.collisionGridMinimum);
    r.holdReader = SetCollisionHoldReader(nullptr);
    SetCollisionHoldReader(r.holdReader);
    r.saveDeviceLink = SetSaveDeviceLink(nullptr);
    SetSaveDeviceLink(r.saveDeviceLink);
    r.saveFolder = GetSaveFolder();
    r.recorded = true;
}

void ResetProcessForTests() {
    const RecordedState &r = Recorded();
    if (!r.recorded) {
        return;
    }
    // Films and sound first: their threads read the library and the
    // device while they run.
    StopFullScreenVideo();
    ShutdownSoundDevice();
    SetSoundError("");

    // The actor world (actors, class rows, command tables, the subsystem
    // hooks), then the modules around it.
    ResetActorWorldForTests();
    ResetCharacterModuleForTests();
    ResetAutoAimModuleForTests();
    ResetLoadingScreenForTests();
    ResetCaptureImageForTests();
    InstallScriptRunner(r.scriptRunner);
    SetActorLoadProgress(r.loadProgress);
    SetCollisionScene(r.collisionScene);
    SetCollisionGridMinimum(r.collisionGridMinimum);
    SetCollisionHoldReader(r.holdReader);

    // The library: none, as at the start (the engine's own one goes with
    // its items; CreateEngineServices makes a fresh one), the loaders as
    // recorded and none of the hooks the engine's start-up installs.
    DestroyEngineServicesLibraryForTests();
    ReplaceLibraryForTests(nullptr);
    for (uint32_t cls = 0; cls < kItemClassSlots; ++cls) {
        SetItemLoader(static_cast<ItemClass>(cls), r.loaders[cls]);
    }
    SetCreateSoundDeviceHook({});
    SetDrawBucketSetUpHook({});
    SetShadowQuadHook({});
    SetDefaultFontHook({});
    // The default font belongs to no library: it goes with the device
    // services that made it.
    delete GetDefaultFontItem();
    SetDefaultFontItem(nullptr);
    SetRestoreDeviceStateHook(nullptr);
    SetOpenVideoTextureHook(nullptr);
    InstallFilmHooks(nullptr);
    SetDestroyVideoHook(nullptr);
    SetVideoClock({});
    SetFilmSourceOpener({});

    // Save games: the folder, the device's test faults, the link and the index.
    SetSaveFolder(r.saveFolder.c_str());
    SetSaveDeviceError("");
    SetSaveDeviceUnopenableForTests(nullptr);
    SetSaveDeviceLink(r.saveDeviceLink);
    ResetSaveIndexBuffer();

    // The rest of the process-wide services.
    InitInput(nullptr);
    DestroyFrameTimer();
    DestroyTextTable();
    SeedRand(1);
    SetGameSleep(r.sleep);
    SetCurrentFileSystem(r.fileSystem);
    SetReplaceFaultForTests(ReplaceStep::None);
}

void ResetProcessAfterEveryTest() {
    RecordProcessStateForTests();
    testing::UnitTest::GetInstance()->listeners().Append(new ResetAfterEveryTest);
}
