// The save screen of the sample's "e2e/save" folder run by the engine: it
// loads slot 2 of an index written beforehand, then saves into slot 3.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/file_system.h"
#include "game/inventory_actor.h"
#include "library/save_device.h"
#include "support/sample_copy.h"
#include "support/temp_folder.h"
#include "support/tool_run.h"

namespace {

TEST(SaveEndToEnd, LoadsSlotTwoThenSavesSlotThree) {
    TempFolder folder;
    const toolrun::ToolRun sample = samplecopy::Make(folder.Path());
    ASSERT_EQ(sample.exitCode, 0) << sample.err;
    ASSERT_TRUE(std::filesystem::is_directory(folder / "game/SaveGames"));
    const toolrun::ToolRun dump = toolrun::Run("qvadump", {folder / "game/Data/SaveRun.qva"});
    EXPECT_NE(dump.out.find("class=45 name=\"SaveGame\" parent=3160 classname=\"Save Game\""),
              std::string::npos)
        << dump.out;
    EXPECT_NE(dump.out.find("\n        savegame type 0\n"), std::string::npos) << dump.out;

    InitSaveDevice(0);
    SetSaveFolder((folder / "game/SaveGames").c_str());
    GameStateBlock index{};
    index[0] = 2;
    index[1] = 6;
    index[3] = 2;
    ASSERT_EQ(SaveDevice::WriteFile(0, "SaveGame", index.data(), kGameStateBytes, 0, 0), 1u);
    folder.Put("game/SaveGames/readme.txt", "not a saved game\n");

    const toolrun::ToolRun run = toolrun::Run(
        "../engine", {"-win=1", "-s=0"}, folder / "e2e/save",
        // judged by the files alone: nothing is drawn
        toolrun::GlDrivers() +
            "ENGINE_BLIND_DEVICE=1 SDL_VIDEODRIVER=offscreen ENGINE_FIXED_FRAME_TIME=0.016666668 "
            "ENGINE_SKIP_WAITS=1 ENGINE_FRAME_LIMIT=1200");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;

    const std::string bytes = folder.Get("game/SaveGames/SaveGame");
    ASSERT_EQ(bytes.size(), 16496u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x01\0\0\0\x68\x40\0\0", 8));
    GameStateBlock expected{};
    expected[0] = 2;
    expected[1] = 6;
    expected[3] = 2;
    expected[4] = 2;
    EXPECT_EQ(bytes.substr(8), std::string(reinterpret_cast<const char *>(expected.data()),
                                           kGameStateBytes));
    EXPECT_EQ(folder.Get("game/SaveGames/readme.txt"), "not a saved game\n");
    for (const auto &entry : std::filesystem::directory_iterator(folder / "game/SaveGames")) {
        EXPECT_FALSE(IsReplaceTemporaryName(entry.path().filename().c_str())) << entry.path();
    }
}

} // namespace
