// The sample's mission 1 and the missions' globals, as the engine's file
// reader gives them back: every actor the game relies on under its name with
// its class, and a readable text for every key the front end and the save
// dialog look up.
#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_folder.h"
#include "support/tool_run.h"

namespace {

// The actors of a dump: name -> the class names it appears with.
std::multimap<std::string, std::string> ActorClasses(const std::string& dump) {
    std::multimap<std::string, std::string> actors;
    std::istringstream in(dump);
    std::string line;
    while (std::getline(in, line)) {
        const size_t name = line.find(" name=\"");
        const size_t cls = line.find(" classname=\"");
        if (line.find("id=") == std::string::npos || name == std::string::npos ||
            cls == std::string::npos) {
            continue;
        }
        const size_t nameEnd = line.find('"', name + 7);
        const size_t clsEnd = line.find('"', cls + 12);
        actors.emplace(line.substr(name + 7, nameEnd - name - 7),
                       line.substr(cls + 12, clsEnd - cls - 12));
    }
    return actors;
}

bool Has(const std::multimap<std::string, std::string>& actors, const std::string& name,
         const std::string& cls) {
    auto [from, to] = actors.equal_range(name);
    for (auto it = from; it != to; ++it) {
        if (it->second == cls) return true;
    }
    return false;
}

TEST(SampleMissionContent, GlobalsAndMission1HoldTheGameActorsAndTheTextsTheirKeys) {
    TempFolder folder;
    const toolrun::ToolRun made = toolrun::Run("mksample", {folder.Path()});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    std::multimap<std::string, std::string> actors;
    for (const char* file : {"Globals1_XBox.qva", "Mission_01_Release.qva"}) {
        const toolrun::ToolRun dump = toolrun::Run("qvadump", {folder / (std::string("game/Data/") + file)});
        ASSERT_EQ(dump.exitCode, 0) << file << ": " << dump.err;
        actors.merge(ActorClasses(dump.out));
    }
    const std::vector<std::pair<std::string, std::string>> wanted = {
        // The pause menu and the save offer with their Save Games.
        {"PauseMenu", "UI System"}, {"Resume", "UI Button"}, {"Save Game", "UI Button"},
        {"Load Game", "UI Button"}, {"Options", "UI Button"}, {"Quit", "UI Button"},
        {"Menu", "UI System"}, {"SaveContinueMenu", "UI Window"}, {"Save", "UI Button"},
        {"Continue", "UI Button"}, {"Cursor", "UI Sprite"}, {"SaveGame", "Save Game"},
        {"SavedGameSlots", "UI Window"}, {"SaveSlot_01", "UI Button"},
        {"SaveSlot_06", "UI Button"}, {"Img", "UI Sprite"}, {"Device", "UI Window"},
        {"Back", "UI Button"}, {"InfoDialog", "UI Window"}, {"InfoOkDialog", "UI Window"},
        {"YesNoDialog", "UI Window"},
        // The items the game hands out.
        {"Pistol", "Game Object"}, {"SpareAmmo", "Game Object"},
        // Mission 1.
        {"RoomA", "Draw Group"}, {"RoomB", "Draw Group"}, {"RoomC", "Draw Group"},
        {"Portal AB", "Draw Group Connector"}, {"GA5_Door", "Door"},
        {"PlayerStart0", "Spawn Point"}, {"Guard", "Guard"}, {"PatrolA", "Path Node"},
        {"PatrolB", "Path Node"}, {"DungeonSpawn", "Spawn Point"}, {"PowerUp", "Game Object"},
        {"Cupboard", "Game Container"}, {"TrapWire", "Game Container"},
        {"Watcher", "AutoAim"}, {"Lookout", "Character"}, {"Companion", "Character"},
        {"Exit", "Trigger"}};
    for (const auto& [name, cls] : wanted) {
        EXPECT_TRUE(Has(actors, name, cls)) << "no " << cls << " \"" << name << "\"";
    }
    // Without the checks' drivers.
    for (const char* driver : {"ProbeA", "ProbeB", "ProbeC", "Tour"}) {
        EXPECT_EQ(actors.count(driver), 0u) << driver;
    }

    // The text table: a count line, then key and text lines, each ending in " }".
    std::istringstream table(folder.Get("game/Data/text.txt"));
    std::map<std::string, std::string> texts;
    std::string line;
    std::getline(table, line);
    for (std::string key, text; std::getline(table, key) && std::getline(table, text);) {
        const auto strip = [](std::string s) {
            while (!s.empty() && (s.back() == '\r' || s.back() == '}' || s.back() == ' ')) s.pop_back();
            return s;
        };
        texts[strip(key)] = strip(text);
    }
    for (const char* key :
         {"LOADING", "SAVING_GAME", "LOADING_GAME", "DONT_TURN_OFF_COMPUTER", "OVERWRITE_SAVED_GAME",
          "QUIT_CURRENT_GAME", "THIS_MU_IS_FULL", "THIS_MU_IS_UNUSABLE",
          "MU_NOT_ENOUGH_FREE_BLOCKS_FOR_SAVE_GAME", "HARD_DISK_NOT_ENOUGH_FREE_BLOCKS_FOR_SAVE_GAME",
          "UNABLE_TO_SAVE_GAME", "UNABLE_TO_LOAD_GAME", "SAVE_GAME_MENU", "LOAD_GAME_MENU",
          "MU_REMOVED_DURING_USE", "SAVE", "LOAD", "QVI_UP", "QVI_DOWN", "QVI_LEFT", "QVI_RIGHT",
          "QVI_RCTRL", "QVI_RSHIFT"}) {
        const auto it = texts.find(key);
        ASSERT_NE(it, texts.end()) << key;
        EXPECT_FALSE(it->second.empty()) << key;
        EXPECT_NE(it->second, key) << key << " has no text of its own";
    }
}

// Each mission's own pieces: mission 1's walls, its locked doorway and the
// way it opens, mission 2's yard with its AI and the end's way back to the
// title; the pictures of their surfaces are generated, not checkers.
TEST(SampleMissionContent, TheMissionsHoldTheirWallsTheirAIAndTheirWaysOn) {
    TempFolder folder;
    const toolrun::ToolRun made = toolrun::Run("mksample", {folder.Path()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const struct {
        const char* file;
        std::vector<std::pair<std::string, std::string>> wanted;
        std::vector<std::string> scripts;  // texts the file's scripts hold
    } files[] = {
        {"Mission_01_Release.qva",
         {{"Walls", "Base"}, {"DoorBlockA", "Base"}, {"DoorBlockC", "Base"},
          {"DoorTrigger", "Trigger"}, {"Key", "Game Object"}, {"AmmoClip", "Game Object"},
          {"Torch", "Particle"}, {"Lamp", "Light"}, {"MissionRestart", "Base"}},
         {"[ga]GA5.Set_Lock_Locked(0);", "DoorBlockA.Delete();", "Level_Completed(1);"}},
        {"Mission_02_Release.qva",
         {{"Hall", "Draw Group"}, {"Walls", "Base"}, {"FloorMesh", "Object"},
          {"Lookout", "Character"}, {"Brain", "AI Player 2"}, {"ShelterH1", "AI Helper"},
          {"ShelterH2", "AI Helper"}, {"Companion", "Character"}, {"Brain", "AI Player"},
          {"PlayerStart0", "Spawn Point"}, {"Exit", "Trigger"}, {"MissionRestart", "Base"}},
         {"Level_Completed(2);", "Mission_02_Release.qva"}},
        {"Mission_03_Release.qva",
         {{"Stage", "Draw Group"}, {"PlayerStart0", "Spawn Point"}, {"CurtainCall", "Timer"}},
         {"Title.qva"}},
    };
    for (const auto& [file, wanted, scripts] : files) {
        const toolrun::ToolRun dump =
            toolrun::Run("qvadump", {folder / (std::string("game/Data/") + file)});
        ASSERT_EQ(dump.exitCode, 0) << file << ": " << dump.err;
        const std::multimap<std::string, std::string> actors = ActorClasses(dump.out);
        for (const auto& [name, cls] : wanted) {
            EXPECT_TRUE(Has(actors, name, cls)) << file << ": no " << cls << " \"" << name << "\"";
        }
        for (const std::string& text : scripts) {
            EXPECT_NE(dump.out.find(text), std::string::npos) << file << ": no script with " << text;
        }
    }
    // The surfaces: 128 x 128 pictures of a dozen shades and more, unlike a
    // two-colour checker (uncompressed 32-bit TGA, 18-byte header).
    for (const char* name : {"stone", "wood", "metal", "tile", "brick"}) {
        const std::string bytes = folder.Get(std::string("game/Data/") + name + ".tga");
        ASSERT_EQ(bytes.size(), 18u + 128u * 128u * 4u) << name;
        std::set<uint32_t> shades;
        for (size_t at = 18; at + 3 < bytes.size(); at += 4) {
            shades.insert(uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
                          uint32_t(uint8_t(bytes[at + 2])) << 16);
        }
        EXPECT_GE(shades.size(), 16u) << name;
    }
}

}  // namespace
