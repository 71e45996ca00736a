// The reset every test program runs after each test: what a test changed
// and left behind comes back as the program found it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/file_system.h"
#include "base/random.h"
#include "base/text_table.h"
#include "core/actors/actor_system.h"
#include "game/game_sleep.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "library/save_device.h"
#include "platform/input.h"
#include "platform/os/scripted_input_backend.h"
#include "platform/sound.h"
#include "platform/timer.h"
#include "support/process_reset.h"

namespace {

void NoSleep(uint32_t) {}
int LoadNothing(LibraryItem &) { return 1; }

TEST(ProcessReset, PutsBackWhatATestLeftBehind) {
    const ItemLoader meshLoader = GetItemLoader(ItemClass::Mesh);
    const std::string saveFolder = GetSaveFolder();
    FileSystem *fileSystem = GetCurrentFileSystem();
    const GameSleepFunction sleep = SetGameSleep(nullptr);
    SetGameSleep(sleep);
    SeedRand(1);
    const int firstRand = Rand();

    // A test that changes all of it and stops before putting anything back.
    ASSERT_EQ(CreateEngineServices(), 1);
    ASSERT_NE(GetLibrary(), nullptr);
    GetLibrary()->SetBaseFolder("also\\left");
    auto library = std::make_unique<ResourceLibrary>();
    library->SetBaseFolder("left\\over");
    ReplaceLibraryForTests(library.get());
    SetItemLoader(ItemClass::Mesh, {LoadNothing, LoadNothing});
    ASSERT_TRUE(CreateTextTable());
    TextTable::Instance()->Parse("1\nKEY }\nText }\n");
    ASSERT_EQ(InitActorSystem(), 1);
    GetActorSystem()->baseFolder = "left";
    auto keys = std::make_unique<ScriptedInputBackend>();
    InitInput(keys.get());
    keys->SetKey(0x41, true);
    ASSERT_NE(AsyncKeyState(0x41), 0);
    SetGameSleep(&NoSleep);
    SetCurrentFileSystem(GetMemoryFileSystem());
    SeedRand(99);
    ASSERT_NE(GetFrameTimer(), nullptr);

    ResetProcessForTests();
    // The fixture's objects go after the reset has dropped every pointer to them.
    library.reset();
    keys.reset();

    EXPECT_EQ(GetLibrary(), nullptr);
    EXPECT_EQ(GetSaveFolder(), saveFolder);
    EXPECT_EQ(GetItemLoader(ItemClass::Mesh).load, meshLoader.load);
    EXPECT_EQ(GetItemLoader(ItemClass::Mesh).release, meshLoader.release);
    EXPECT_EQ(TextTable::Instance(), nullptr);
    EXPECT_EQ(GetActorSystem(), nullptr);
    EXPECT_EQ(AsyncKeyState(0x41), 0);
    EXPECT_EQ(SetGameSleep(sleep), sleep);
    EXPECT_EQ(GetCurrentFileSystem(), fileSystem);
    EXPECT_EQ(Rand(), firstRand);
    EXPECT_EQ(GetFrameTimer(), nullptr);
    EXPECT_FALSE(HasSoundDevice());
    // And the engine starts again on top of it.
    ASSERT_EQ(CreateEngineServices(), 1);
    ASSERT_NE(GetLibrary(), nullptr);
    EXPECT_EQ(GetLibrary()->GetBaseFolder(), "");
    EXPECT_EQ(InitActorSystem(), 1);
}

} // namespace
