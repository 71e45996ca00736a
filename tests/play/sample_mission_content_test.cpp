// The sample's mission 1 and the missions' globals, as the engine's file
// reader gives them back: every actor the game relies on under its name with
// its class, a readable text for every key the front end and the save
// dialog look up, and a button for every answer each menu window offers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/sample_copy.h"
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
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
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

// A dump's actors by id: class, name, parent, "On UI Button Up" script, text.
struct DumpActor {
    int parent = -1;
    std::string cls, name, up, text;
};

std::string Quoted(const std::string& line, const std::string& key) {
    const size_t at = line.find(key + "\"");
    if (at == std::string::npos) return "";
    const size_t from = at + key.size() + 1;
    return line.substr(from, line.find('"', from) - from);
}

std::map<int, DumpActor> DumpActors(const std::string& dump) {
    std::map<int, DumpActor> actors;
    std::istringstream in(dump);
    int current = -1;
    for (std::string line; std::getline(in, line);) {
        const size_t id = line.find("id=");
        if (id != std::string::npos && line.find(" classname=\"") != std::string::npos) {
            current = std::stoi(line.substr(id + 3));
            actors[current] = {std::stoi(line.substr(line.find(" parent=") + 8)),
                               Quoted(line, "classname="), Quoted(line, " name="), "", ""};
        } else if (current >= 0 && line.find("event 1615 ") != std::string::npos) {
            actors[current].up = line.substr(line.find(" source \"") + 9);
        } else if (current >= 0 && line.find("uitext ") != std::string::npos) {
            actors[current].text = Quoted(line, " text ");
        }
    }
    return actors;
}

// The nearest ancestor of the class, -1 when there is none.
int Above(const std::map<int, DumpActor>& actors, int id, const std::string& cls) {
    for (id = actors.at(id).parent; actors.count(id) != 0; id = actors.at(id).parent) {
        if (actors.at(id).cls == cls) return id;
    }
    return -1;
}

TEST(SampleMissionContent, EveryMenuWindowHasAButtonForEachAnswerItOffers) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    // Window -> each answer's label and what its "Up" script does.
    const std::map<std::string, std::vector<std::pair<std::string, std::string>>> answers = {
        {"YesNoDialog", {{"Yes", "Save_Game_Yes_No_Respons(1);"}, {"No", "Save_Game_Yes_No_Respons(0);"}}},
        {"InfoOkDialog", {{"OK", "parent.Action_Stop();"}}},
        {"Device", {{"Back", "Save_Game_Back();"}}},
        {"SavedGameSlots", {{"Back", "Save_Game_Back();"}}},
        {"Page", {{"Resume", "UI_System_Deactivate();"}, {"Quit", "Exit_Engine();"}}},
        {"Options", {{"Back", "/Global/PauseMenu/Page.Action_Start();"}}},
        {"SaveContinueMenu", {{"Continue", "UI_System_Deactivate();"}, {"Save", "Save_Game_Set_State_Save();"}}},
        {"MainMenu", {{"New Game", "Level_Completed(0)"}, {"Exit", "Exit_Engine();"}}}};
    std::map<std::string, int> windows;
    for (const char* file : {"Title.qva", "Globals1_XBox.qva"}) {
        const toolrun::ToolRun dump = toolrun::Run("qvadump", {folder / (std::string("game/Data/") + file)});
        ASSERT_EQ(dump.exitCode, 0) << file << ": " << dump.err;
        const std::map<int, DumpActor> actors = DumpActors(dump.out);
        // Each window's buttons (not those of a window inside it) by label.
        std::map<int, std::multimap<std::string, std::string>> buttons;
        for (const auto& [id, label] : actors) {
            const int button = label.cls == "UI Text" ? Above(actors, id, "UI Button") : -1;
            if (button >= 0) buttons[Above(actors, button, "UI Window")].emplace(label.text, actors.at(button).up);
        }
        for (const auto& [id, window] : actors) {
            const auto wanted = answers.find(window.name);
            if (window.cls != "UI Window" || wanted == answers.end()) continue;
            ++windows[window.name];
            for (const auto& [label, does] : wanted->second) {
                auto [from, to] = buttons[id].equal_range(label);
                EXPECT_TRUE(std::any_of(from, to, [&does = does](const auto& b) { return b.second.find(does) != std::string::npos; }))
                    << file << ": \"" << window.name << "\" has no \"" << label << "\" doing " << does;
            }
        }
    }
    // The title's Save Game, the save offer's, the pause menu's and the death menu's.
    for (const char* name : {"YesNoDialog", "InfoOkDialog", "Device", "SavedGameSlots"}) EXPECT_EQ(windows[name], 4) << name;
    for (const char* name : {"Page", "Options", "SaveContinueMenu", "MainMenu"}) EXPECT_EQ(windows[name], 1) << name;
}

// Each mission's own pieces: mission 1's walls, its locked doorway and the
// way it opens, mission 2's yard with its AI and the end's way back to the
// title; the pictures of their surfaces are generated, not checkers.
TEST(SampleMissionContent, TheMissionsHoldTheirWallsTheirAIAndTheirWaysOn) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
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
         {"Level_Completed(25);", "Mission_02_Release.qva"}},
        {"Mission_26_Release.qva",
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
    // Only what stands in a room is drawn: every character, guard and item of
    // a mission hangs under a room or stands inside one's box (a character
    // moves under the scenery once it simulates), and each character wears
    // one skin with the motions a figure stands, walks, runs and fights by.
    for (const char *file : {"Mission_01_Release.qva", "Mission_02_Release.qva"}) {
        const toolrun::ToolRun dump =
            toolrun::Run("qvadump", {folder / (std::string("game/Data/") + file)});
        ASSERT_EQ(dump.exitCode, 0) << file << ": " << dump.err;
        const std::map<int, DumpActor> actors = DumpActors(dump.out);
        std::map<int, std::vector<float>> pos, box; // "transform pos", "drawgroup box"
        std::map<int, std::string> motions;         // a skin's motion names, quoted
        std::istringstream in(dump.out);
        int current = -1;
        for (std::string line; std::getline(in, line);) {
            const size_t id = line.find("id=");
            if (id != std::string::npos && line.find(" classname=\"") != std::string::npos) {
                current = std::stoi(line.substr(id + 3));
                continue;
            }
            for (auto [key, into] : {std::pair{std::string("transform pos "), &pos},
                                     {std::string("drawgroup box "), &box}}) {
                if (line.find(key) == std::string::npos)
                    continue;
                std::istringstream numbers(line.substr(line.find(key) + key.size()));
                std::vector<float> &values = (*into)[current];
                for (float v; values.size() < (into == &pos ? 3u : 6u) && numbers >> v;)
                    values.push_back(v);
            }
            if (line.find(" motion ") != std::string::npos)
                motions[current] += "\"" + Quoted(line, " name ") + "\" ";
        }
        int characters = 0;
        for (const auto &[id, actor] : actors) {
            if (actor.cls != "Character" && actor.cls != "Guard" && actor.cls != "Game Object" &&
                actor.cls != "Game Container") {
                continue;
            }
            float at[3] = {0.0f, 0.0f, 0.0f};
            for (int up = id; actors.count(up) != 0; up = actors.at(up).parent) {
                for (int i = 0; i < 3 && pos[up].size() == 3; ++i)
                    at[i] += pos[up][i];
            }
            bool inRoom = Above(actors, id, "Draw Group") >= 0;
            for (const auto &[room, b] : box) {
                inRoom = inRoom || (b.size() == 6 && b[0] < at[0] && at[0] < b[3] && b[1] < at[1] &&
                                    at[1] < b[4] && b[2] < at[2] && at[2] < b[5]);
            }
            EXPECT_TRUE(inRoom) << file << ": \"" << actor.name << "\" stands in no room";
            if (actor.cls != "Character")
                continue;
            ++characters;
            std::vector<int> skins;
            for (const auto &[child, c] : actors) {
                if (c.parent == id && c.name == "Skin")
                    skins.push_back(child);
            }
            ASSERT_EQ(skins.size(), 1u) << file << ": \"" << actor.name << "\"";
            for (const char *motion :
                 {"N_Neutral", "N_Forward", "R_Forward", "N_Gethit0", "N_Die0", "M_Attack0"}) {
                EXPECT_NE(motions[skins[0]].find(std::string("\"") + motion + "\""),
                          std::string::npos)
                    << file << ": \"" << actor.name << "\" has no " << motion;
            }
        }
        EXPECT_EQ(characters, 2) << file << ": the Lookout and the Companion";
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

namespace {

// Numbers after `key` on the first line from `from` on that holds it.
std::vector<float> NumbersAfter(const std::string& dump, size_t from, const std::string& key, int n) {
    std::vector<float> numbers;
    const size_t at = dump.find(key, from);
    if (at == std::string::npos) return numbers;
    std::istringstream in(dump.substr(at + key.size(), 200));
    for (float v; int(numbers.size()) < n && in >> v;) numbers.push_back(v);
    return numbers;
}

} // namespace

// What the missions hold that makes them play as they tell: each exit's
// trigger reaches every corner of its marked square (a hero hugging the
// corner walls steps into it), the guard's catch costs health, and the
// mission clock's end opens the death menu.
TEST(SampleMissionContent, ExitsCoverTheirSquaresCatchesHurtAndTheClockEndsTheMission) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const auto dump = [&](const std::string& file) {
        return toolrun::Run("qvadump", {folder / ("game/Data/" + file)}).out;
    };
    for (const char* file : {"Mission_01_Release.qva", "Mission_02_Release.qva"}) {
        const std::string text = dump(file);
        const size_t exit = text.find(" name=\"Exit\" ");
        ASSERT_NE(exit, std::string::npos) << file;
        const std::vector<float> at = NumbersAfter(text, exit, "transform pos ", 3);
        const std::vector<float> radius = NumbersAfter(text, exit, " max ", 1);
        ASSERT_EQ(at.size() + radius.size(), 4u) << file;
        int pieces = 0;
        for (size_t mark = text.find(" name=\"ExitMark_"); mark != std::string::npos;
             mark = text.find(" name=\"ExitMark_", mark + 1), ++pieces) {
            // A cube of 100 scaled about its centre.
            const std::vector<float> pos = NumbersAfter(text, mark, "transform pos ", 3);
            const std::vector<float> scale = NumbersAfter(text, mark, " scale ", 3);
            ASSERT_EQ(pos.size() + scale.size(), 6u) << file;
            for (float sx : {-50.0f, 50.0f}) {
                for (float sz : {-50.0f, 50.0f}) {
                    const float dx = pos[0] + sx * scale[0] - at[0];
                    const float dz = pos[2] + sz * scale[2] - at[2];
                    EXPECT_LT(dx * dx + dz * dz, radius[0] * radius[0])
                        << file << ": a corner of the exit's square lies outside its trigger";
                }
            }
        }
        EXPECT_GT(pieces, 0) << file << ": no marked exit";
    }
    const std::string mission1 = dump("Mission_01_Release.qva");
    const size_t guard = mission1.find(" name=\"Guard\" ");
    ASSERT_NE(guard, std::string::npos);
    const size_t effect = mission1.find("guardeffect 0 type ", guard);
    ASSERT_NE(effect, std::string::npos) << "the guard's catch has no effect";
    EXPECT_EQ(NumbersAfter(mission1, effect, " type ", 1), std::vector<float>{12.0f})
        << "the guard's hit effect is not on health";
    const std::vector<float> value = NumbersAfter(mission1, effect, " value ", 1);
    ASSERT_EQ(value.size(), 1u);
    EXPECT_LT(value[0], 0.0f) << "the guard's catch does not cost health";

    const std::string globals = dump("Globals1_XBox.qva");
    const size_t clock = globals.find(" name=\"MissionTime\" ");
    ASSERT_NE(clock, std::string::npos);
    const size_t key = globals.find("key 0 ", clock);
    ASSERT_NE(key, std::string::npos) << "nothing happens at the clock's end";
    const std::string line = globals.substr(key, globals.find('\n', key) - key);
    EXPECT_NE(line.find("/Global/DeathMenu.UI_System_Activate();"), std::string::npos) << line;
    EXPECT_NE(line.find(" time 0"), std::string::npos) << line;
}
