// Runs the mksample program: what it prints, the actors of its actor files
// (read back through qvadump), repeatability, and its failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <utility>
#include <vector>

#include "support/sample_copy.h"
#include "support/temp_folder.h"
#include "support/tool_run.h"

namespace {

namespace fs = std::filesystem;

using toolrun::ToolRun;

// Every regular file below a folder with its bytes, by relative path.
std::vector<std::pair<std::string, std::string>> Tree(const TempFolder& folder) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder.Path())) {
        if (!entry.is_regular_file()) continue;
        std::string relative = fs::relative(entry.path(), folder.Path()).string();
        files.emplace_back(relative, folder.Get(relative));
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(Mksample, ListsEveryFileOnceInWriteOrder) {
    TempFolder folder;
    ToolRun run = toolrun::Run("mksample", {folder.Path() + "/out"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::vector<std::string> lines;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_GE(lines.size(), 8u) << run.out;

    // "<bytes> <path>": each file of the tree once, with its size.
    std::vector<std::string> paths;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        const size_t blank = lines[i].find(' ');
        ASSERT_NE(blank, std::string::npos) << lines[i];
        const std::string path = lines[i].substr(blank + 1);
        EXPECT_EQ(lines[i].substr(0, blank), std::to_string(folder.Get("out/" + path).size()))
            << lines[i];
        paths.push_back(path);
    }
    const auto tree = Tree(folder);
    EXPECT_EQ(lines.back(), std::to_string(tree.size()) + " files");
    std::vector<std::string> sorted = paths;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> treePaths;
    for (const auto& [path, bytes] : tree) treePaths.push_back(path.substr(4)); // "out/"
    EXPECT_EQ(sorted, treePaths) << "no file twice, none missing, no temporary file left";

    // The library and every data file first; the actor files, made on that
    // library, after them; the folder of play.sh and the check folders last.
    const std::vector<std::string> first = {"init.txt", "game/DAZedirad.qvf", "game/Data/text.txt"};
    EXPECT_EQ(std::vector<std::string>(paths.begin(), paths.begin() + 3), first);
    const std::vector<std::string> last = {
        "game/Data/crate.qva", "game/Data/barrel.qva",      "game/Data/Globals.qva",
        "game/Data/Level1.qva", "game/Data/Title.qva", "game/Data/Globals1_XBox.qva",
        "game/Data/Mission_01_Release.qva", "game/Data/Mission_02_Release.qva",
        "game/Data/Mission_26_Release.qva", "game/Data/TitleStage.qva", "play/init.txt",
        "game/Data/Character.qva", "e2e/character/init.txt", "game/Data/LevelRun.qva",
        "e2e/level/init.txt", "game/Data/MenuRun.qva", "game/Data/MenuStage.qva",
        "e2e/menu/init.txt", "game/Data/GuardRun.qva", "game/Data/GuardRoom.qva",
        "e2e/guard/init.txt", "game/Data/AI2.qva", "game/Data/AI2Globals.qva",
        "e2e/ai2/init.txt", "game/Data/SaveRun.qva", "e2e/save/init.txt", "game/Data/WeaponRun.qva", "game/Data/WeaponRoom.qva",
        "e2e/weapons/init.txt", "game/Data/AimGlobals.qva", "game/Data/Aim.qva",
        "e2e/aim/init.txt", "game/Data/AI1.qva", "game/Data/AI1Globals.qva",
        "e2e/ai1/init.txt"};
    ASSERT_GE(paths.size(), 38u);
    EXPECT_EQ(std::vector<std::string>(paths.end() - 35, paths.end()), last);
    for (size_t i = 0; i + 35 < paths.size(); ++i) {
        EXPECT_EQ(paths[i].find(".qva"), std::string::npos) << paths[i];
    }
}

TEST(Mksample, ActorFilesHoldTheDemoActorsAndScripts) {
    TempFolder folder;
    // The program's one run of the tool, copied (support/sample_copy.h).
    ASSERT_EQ(samplecopy::Make(folder.Path()).exitCode, 0);

    ToolRun globals = toolrun::Run("qvadump", {folder / "game/Data/Globals.qva"});
    ASSERT_EQ(globals.exitCode, 0) << globals.err;
    EXPECT_NE(globals.out.find("header version 70 count 5 first 10 span 123\n"), std::string::npos);
    // The root Environment, which the file replaces when "Global" opens it.
    EXPECT_NE(globals.out.find("    id=14 class=7 name=\"Environment\" parent=1 "
                               "classname=\"Environment\"\n"),
              std::string::npos)
        << globals.out;
    EXPECT_NE(globals.out.find("      environment ambient 0.3 0.3 0.3 1 gravity 9.81 wind 0 0 0 "
                               "airres 1 fog 1 fogcolor 0.25 0.5 0.75 1 near 500 far 3000\n"),
              std::string::npos)
        << globals.out;
    EXPECT_NE(globals.out.find("    id=10 class=0 name=\"Mover\" parent=1 classname=\"Base\"\n"
                               "      transform pos 0 0 0 scale 1 1 1 rot 0 0 0 1\n"),
              std::string::npos)
        << globals.out;
    // Action start time 1.0 is the fourth of the times.
    EXPECT_NE(globals.out.find("      times 0 0 0 1 0 0 0\n"
                               "      script 0 \"boot\" event 154 \"Start Game\" source "
                               "\"this.TimerCommand(0.5, Set_Position((1, 2, 3))); "
                               "this.Action_Start_Pre();\"\n"
                               "      script 1 \"done\" event 214 \"Action Start Post\" source "
                               "\"sys.Load_Resource(\\\"film\\\"); "
                               "sys.Play_Texture_Movie(\\\"film\\\"); "
                               "sys.Capture_BackBuffer((800, 600)); "
                               "sys.Capture_Save(\\\"shot.tga\\\"); "
                               "sys.Save_Game(\\\"demo.sav\\\"); sys.Exit_Engine();\"\n"),
              std::string::npos)
        << globals.out;

    ToolRun level = toolrun::Run("qvadump", {folder / "game/Data/Level1.qva"});
    ASSERT_EQ(level.exitCode, 0) << level.err;
    EXPECT_NE(level.out.find("header version 70 count 109 first 3000 span 264\n"), std::string::npos);
    // The worm with its bone actors and the rig with its two crates.
    EXPECT_NE(level.out.find("        motion 0 index 60 name \"N_Neutral\" blend 0 priority 0 layer 255 "
                             "style 0 extra 0\n"),
              std::string::npos);
    EXPECT_NE(level.out.find("            id=3043 class=3 name=\"Hat\" parent=3039 "), std::string::npos);
    EXPECT_NE(level.out.find("        animation motion \"N_Neutral\" style 3 playonstart 1 "),
              std::string::npos);
    EXPECT_NE(level.out.find("    id=3000 class=0 name=\"Floor\" parent=2 classname=\"Base\"\n"),
              std::string::npos);
    EXPECT_NE(level.out.find("      colobj 0 \"floor box\" type 2 "), std::string::npos);
    EXPECT_NE(level.out.find("      sched 0 command 63 \"Set Position\" kind 2 layer 1 tag 0 "
                             "times 5 block 00000000000080bf00000000\n"),
              std::string::npos)
        << level.out;
    EXPECT_NE(level.out.find("    id=3001 class=0 name=\"Post\" parent=2 classname=\"Base\"\n"),
              std::string::npos);
    // The rooms, their portals and probes.
    for (const char *line :
         {"      drawgroup box -500 -100 -500 500 400 500 open 0 showbox 0 inherit 0 id 2 size 1500 "
          "connectors 2 3005 3065\n",
          "      drawgroup box 500 -100 -500 1500 410 500 open 0 showbox 0 inherit 0 id 3 ",
          "      drawgroup box -500 -100 500 500 420 1500 open 0 showbox 0 inherit 0 id 4 ",
          "      connector radius 25 type 0 isopen 1 forceopen 1 loadpoint 0 groups 2 2 3\n",
          "        connector radius 25 type 1 isopen 0 forceopen 0 loadpoint 0 groups 2 2 4\n",
          "      id=3009 class=0 name=\"ProbeC\" parent=3004 classname=\"Base\"\n"}) {
        EXPECT_NE(level.out.find(line), std::string::npos) << line;
    }
    // The door between RoomA and RoomC with its children, and in RoomA the
    // trigger that opens it, the path that walks the runner into it and the
    // timer that makes the lamp flicker.
    for (const char *line :
         {"    id=3060 class=13 name=\"GA5_Door\" parent=2 classname=\"Door\"\n"
          "      transform pos 0 0 500 ",
          "      door type 0 state 0 anim 0 times 1 1 3 autoclose 1 never 1 autoopen 0 away 0 "
          "axis 0 0 1 0 connector 1 ",
          "      id=3061 class=3 name=\"Door_Frame\" parent=3060 ",
          "      id=3062 class=3 name=\"Door_1\" parent=3060 classname=\"Object\"\n"
          "        transform pos 0 100 0 scale 1 2 0.1 ",
          "      id=3065 class=20 name=\"Door Connector\" parent=3060 ",
          "        script 0 \"On Trigger\" event 1429 \"On Trigger Enter\" source "
          "\"[ga]GA5.Open_Door();\"\n",
          "        colobj 0 \"Trigger\" type 1 material 0 fill 7 factor 1 min 0 0 0 max 100 0 0 ",
          "        trigger occupied 0 deactivate 0 delay 0 max 1 count 0\n",
          "      id=3057 class=27 name=\"Tour\" parent=3002 classname=\"Path\"\n"
          "        transform pos 0 50 -300 ",
          "        path speed 150 pause 1 time 1\n",
          "          pathnode time 1.5 weight 1 endtype 0\n",
          "            pathnode time 0 weight 1 endtype 2\n",
          "        id=3067 class=0 name=\"Runner\" parent=3057 classname=\"Base\"\n"
          "          transform pos 0 0 0 ",
          "        timer type 1 start 0 total 3 startactive 1 keys 2 ",
          "        key 0 event \"Unknown\" script \"off\" source \"[ga]GA30.Set_Enabled(0);\" time 2.6\n"}) {
        EXPECT_NE(level.out.find(line), std::string::npos) << line;
    }
    // The rooms' meshes, a UVAnimation with a mesh and a Reference, which
    // hangs below its room.
    for (const char *line :
         {"      id=3010 class=3 name=\"FloorA\" parent=3002 classname=\"Object\"\n"
          "        transform pos 0 0 0 scale 0.5 0.5 0.5 ",
          "      id=3013 class=3 name=\"CrateB\" parent=3003 classname=\"Object\"\n"
          "        transform pos 550 50 450 scale 1 1 1 ",
          "      id=3016 class=41 name=\"UVHolder\" parent=3002 classname=\"UVAnimation\"\n",
          "        id=3017 class=3 name=\"CrateUV\" parent=3016 classname=\"Object\"\n",
          "      id=3018 class=37 name=\"RefA\" parent=3002 classname=\"Reference\"\n",
          "        reference id 3011 path \"/Scenery/RoomA/CrateA\"\n"}) {
        EXPECT_NE(level.out.find(line), std::string::npos) << line;
    }
    // The sample camera, active, in RoomA looking along +z.
    EXPECT_NE(level.out.find("    id=3022 class=19 name=\"GA29_Cam\" parent=2 classname=\"Camera\"\n"
                             "      transform pos 0 120 -450 scale 1 1 1 rot 0 0 0 1\n"),
              std::string::npos);
    EXPECT_NE(level.out.find("      camera type 0 active 1 height 30 "), std::string::npos);
    EXPECT_NE(level.out.find(" eyesmoothing 0.92 fov 2.0943952 aspect 1.333 "), std::string::npos);
    // The beacon and the logic that makes it blink: a stopped looping timer
    // at time 0 whose keys run on the Time Instance once "Start Game" came.
    for (const char *line :
         {"      id=3023 class=3 name=\"GA32_Beacon\" parent=3002 classname=\"Object\"\n"
          "        transform pos 200 100 300 ",
          "      id=3024 class=53 name=\"Logic\" parent=3002 classname=\"State\"\n",
          "        id=3025 class=47 name=\"GA33_Clockwork\" parent=3024 classname=\"Time "
          "Instance\"\n",
          "        id=3026 class=11 name=\"Clock\" parent=3024 classname=\"Timer\"\n",
          "          script 0 \"run\" event 154 \"Start Game\" source "
          "\"this.Connect_to_TimeInstance([ga]GA33); this.Start_Timer();\"\n",
          "          timer type 1 start 0 total 2 startactive 0 keys 2 saved 0 mode 0 multiplier 1 "
          "time 0\n",
          "          key 0 event \"Unknown\" script \"hide\" source "
          "\"[ga]GA32.Set_Visible(0);\" time 0.5\n",
          "          key 1 event \"Unknown\" script \"show\" source "
          "\"[ga]GA32.Set_Visible(1);\" time 1.5\n"}) {
        EXPECT_NE(level.out.find(line), std::string::npos) << line;
    }
    // The props' File actor and the spawn point with its markers in RoomA;
    // the template under the non-operational "Templates" (state 2).
    for (const char *line :
         {"      id=3027 class=5 name=\"Props\" parent=3002 classname=\"File\"\n",
          "        fileentry 0 weight 1 max 0 name \"crate.qva\"\n"
          "        fileentry 1 weight 3 max 0 name \"barrel.qva\"\n",
          "      id=3028 class=21 name=\"SP\" parent=3002 classname=\"Spawn Point\"\n",
          "        script 0 \"named\" event 1288 \"On Spawn Actor\" source "
          "\"local.Set_Name(\\\"Spawned\\\");\"\n",
          "        spawnrecord 0 name \"\" weight 1 max 1000000 type 0 count 0 path "
          "\"/Scenery/Templates/Crate\"\n",
          "        id=3029 class=0 name=\"A\" parent=3028 classname=\"Base\"\n",
          "        id=3030 class=0 name=\"B\" parent=3028 classname=\"Base\"\n",
          "    id=3031 class=0 name=\"Templates\" parent=2 classname=\"Base\"\n"
          "      transform pos 0 0 0 scale 1 1 1 rot 0 0 0 1\n"
          "      state 2 ",
          "      id=3032 class=0 name=\"Crate\" parent=3031 classname=\"Base\"\n"}) {
        EXPECT_NE(level.out.find(line), std::string::npos) << line;
    }
    // The prop files: one actor each at 3000 below "Scenery".
    for (auto [file, name] : {std::pair{"crate", "PropCrate"}, {"barrel", "PropBarrel"}}) {
        const std::string path = folder / ("game/Data/" + std::string(file) + ".qva");
        ToolRun prop = toolrun::Run("qvadump", {path});
        ASSERT_EQ(prop.exitCode, 0) << prop.err;
        EXPECT_NE(prop.out.find("header version 70 count 1 first 3000 span 1\n"),
                  std::string::npos);
        EXPECT_NE(prop.out.find("    id=3000 class=0 name=\"" + std::string(name) +
                                "\" parent=2 classname=\"Base\"\n"),
                  std::string::npos)
            << prop.out;
    }
}

// The hero of the play and character globals holds the weapon check's pistol
// at free ids inside the written range, and the level lays its two items out
// of the fixed camera's view.
TEST(Mksample, HeroHoldsThePistolAndTheLevelLaysItsItems) {
    TempFolder folder;
    // The program's one run of the tool, copied (support/sample_copy.h).
    ASSERT_EQ(samplecopy::Make(folder.Path()).exitCode, 0);

    for (const char* file : {"game/Data/Globals1_XBox.qva", "game/Data/Character.qva"}) {
        ToolRun dump = toolrun::Run("qvadump", {folder / file});
        ASSERT_EQ(dump.exitCode, 0) << file << dump.err;
        EXPECT_NE(dump.out.find("      id=24 class=0 name=\"RightHand\" parent=20 "), std::string::npos)
            << file;
        EXPECT_NE(dump.out.find("        id=25 class=12 name=\"Pistol\" parent=24 "), std::string::npos)
            << file;
        EXPECT_NE(dump.out.find("          gameobject type 4 state 4 motion \"\" weaponstate 0 "),
                  std::string::npos)
            << file;
        EXPECT_NE(dump.out.find("          id=31 class=12 name=\"Ammo\" parent=25 "), std::string::npos)
            << file;
        EXPECT_NE(dump.out.find("            id=33 class=0 name=\"Shell\" parent=31 "), std::string::npos)
            << file;
        // The spare clip waits among the items, in the inventory, after the
        // pistol's looks: its gun shown while loaded and its muzzle flash.
        EXPECT_NE(dump.out.find("        id=45 class=12 name=\"SpareAmmo\" parent=22 "),
                  std::string::npos)
            << file;
        EXPECT_NE(dump.out.find("            id=34 class=3 name=\"Gun\" parent=26 "),
                  std::string::npos)
            << file;
        EXPECT_NE(dump.out.find("            id=44 class=3 name=\"Flash\" parent=31 "),
                  std::string::npos)
            << file;
        // The rifle waits there too, for the ammunition selector.
        EXPECT_NE(dump.out.find("        id=48 class=12 name=\"Rifle\" parent=22 "),
                  std::string::npos)
            << file;
        EXPECT_NE(dump.out.find("          gameobject type 4 state 3 motion \"\" weaponstate 0 "),
                  std::string::npos)
            << file;
        EXPECT_NE(dump.out.find("          gameobject type 8 state 3 motion \"\" bullets 6 rays 1\n"),
                  std::string::npos)
            << file;
    }
    ToolRun character = toolrun::Run("qvadump", {folder / "game/Data/Character.qva"});
    EXPECT_NE(character.out.find("header version 70 count 52 first 10 span 58\n"),
              std::string::npos);
    // The character file's range still leaves out the guards' template.
    EXPECT_EQ(character.out.find("name=\"GuardTemplate\""), std::string::npos);
    ToolRun play = toolrun::Run("qvadump", {folder / "game/Data/Globals1_XBox.qva"});
    EXPECT_NE(play.out.find("header version 70 count 396 first 10 span 7597\n"), std::string::npos);

    // The weapon check's shooter still holds the same pistol, its target after it.
    ToolRun weapons = toolrun::Run("qvadump", {folder / "game/Data/WeaponRoom.qva"});
    ASSERT_EQ(weapons.exitCode, 0) << weapons.err;
    EXPECT_NE(weapons.out.find("header version 70 count 14 first 3150 span 14\n"), std::string::npos);
    EXPECT_NE(weapons.out.find("        id=3154 class=12 name=\"Pistol\" parent=3153 "), std::string::npos);
    EXPECT_NE(weapons.out.find("            id=3162 class=0 name=\"Shell\" parent=3160 "), std::string::npos);
    EXPECT_NE(weapons.out.find("      id=3163 class=0 name=\"Target\" parent=3150 "), std::string::npos);

    ToolRun level = toolrun::Run("qvadump", {folder / "game/Data/Level1.qva"});
    ASSERT_EQ(level.exitCode, 0) << level.err;
    // Both lie in the scene behind "GA29_Cam", which stands at z -450.
    EXPECT_NE(level.out.find("      id=3190 class=12 name=\"PowerUp\" parent=3002 classname=\"Game Object\"\n"
                             "        transform pos -450 20 -490 "),
              std::string::npos)
        << level.out;
    EXPECT_NE(level.out.find("        gameobject type 7 state 2 motion \"\"\n"), std::string::npos);
    EXPECT_NE(level.out.find("      id=3191 class=12 name=\"Key\" parent=3002 classname=\"Game Object\"\n"
                             "        transform pos -400 20 -490 "),
              std::string::npos)
        << level.out;
    EXPECT_NE(level.out.find("        gameobject type 2 state 2 motion \"\"\n"), std::string::npos);
    EXPECT_NE(level.out.find("    id=3022 class=19 name=\"GA29_Cam\" parent=2 classname=\"Camera\"\n"
                             "      transform pos 0 120 -450 scale 1 1 1 rot 0 0 0 1\n"),
              std::string::npos);
}

// The play folder's game: a title whose menu holds start-up, the missions'
// globals and two missions whose exits report the level completed.
TEST(Mksample, PlayFolderHoldsTheTitleTheMissionGlobalsAndBothMissions) {
    TempFolder folder;
    // The program's one run of the tool, copied (support/sample_copy.h).
    ASSERT_EQ(samplecopy::Make(folder.Path()).exitCode, 0);
    const auto dump = [&](const char* name) {
        return toolrun::Run("qvadump", {folder / ("game/Data/" + std::string(name) + ".qva")}).out;
    };
    const auto expectLines = [](const std::string& text, std::initializer_list<const char*> lines) {
        for (const char* line : lines) EXPECT_NE(text.find(line), std::string::npos) << line;
    };

    // Saved active, so that start-up finds it and its "Precalculate" opens it.
    expectLines(
        dump("Title"),
        {"    id=3220 class=33 name=\"Menu\" parent=1 ",
         "      uisystem type 0 ref 800 600 active 1 cursor 100 70\n",
         "        id=3225 class=34 name=\"New Game\" parent=3222 classname=\"UI Button\"\n"
         "          transform pos 170 70 0 ",
         "source \"/Global/Menu.UI_System_Deactivate(); "
         "/Global/Inventory.TimerCommand(0, Level_Completed(0));\"\n",
         "        id=3237 class=34 name=\"Resume\" parent=3222 ",
         "uibutton type 0 rect 0 0 64 64 enabled 1 static 1 default 0\n",
         "event 1712 \"On Post Load Game\" source \"/Global/Menu.UI_System_Deactivate();\"\n"});

    // The remapping rows are stored with the code -1: each load takes the
    // action map's pairs, the player's keys (a row written with an empty
    // pair would unbind its action when the globals load).
    const std::string globals = dump("Globals1_XBox");
    expectLines(globals,
                {"      id=7100 class=11 name=\"MissionTime\" parent=16 ",
                 "        timer type 0 start 300 total 300 startactive 1 keys 1 saved -1 mode 0 "
                 "multiplier -1 ",
                 "      id=7102 class=40 name=\"Amount\" parent=7101 ",
                 "      id=7107 class=44 name=\"Options\" parent=7000 ",
                 "          uimapinput action 9 primary -1 second 0 axis 0\n",
                 "          uimapinput action 12 primary -1 second 0 axis 0\n",
                 "          uimapinput action 16 primary -1 second 0 axis 0\n",
                 "    id=7114 class=33 name=\"Menu\" parent=1 ",
                 "      uisystem type 0 ref 800 600 active 0 cursor 100 70\n",
                 "      id=7116 class=44 name=\"SaveContinueMenu\" parent=7114 ",
                 "source \"/Global/Menu.UI_System_Deactivate();\"\n",
                 "      id=7300 class=45 name=\"SaveGame\" parent=7114 ",
                 "        id=7404 class=34 name=\"Load Game\" parent=7002 ",
                 "      id=7408 class=45 name=\"SaveGame\" parent=7000 "});
    EXPECT_EQ(globals.find(" active 1 cursor"), std::string::npos) << "no menu opens at load";

    // Mission 1 is the level without its checks' drivers, the guard moved
    // to RoomB and the exit to RoomC's north-west corner; mission 2's exit
    // leads to the end, mission 26, without a save offer.
    const std::string mission1 = dump("Mission_01_Release");
    expectLines(mission1, {"      id=3090 class=21 name=\"PlayerStart0\" parent=3002 ",
                           "      id=3130 class=25 name=\"Guard\" parent=3003 ",
                           "      id=3239 class=31 name=\"Exit\" parent=3004 classname=\"Trigger\"\n"
                           "        transform pos -430 50 1430 ",
                           "event 1431 \"On Trigger Enter First\" source "
                           "\"/Global/Inventory.Level_Completed(1);\"\n"});
    for (const char* driver : {"\"ProbeA\"", "\"Tour\"", "\"Runner\"", "name=\"T\"", " sched "}) {
        EXPECT_EQ(mission1.find(driver), std::string::npos) << driver;
    }
    expectLines(dump("Mission_02_Release"),
                {"header version 70 count 96 first 4500 span 96\n",
                 "      id=4576 class=21 name=\"PlayerStart0\" parent=4500 ",
                 "source \"/Global/Inventory.Level_Completed(25);\"\n"});
}

TEST(Mksample, TwoRunsGiveTheSameTreeAndARunReplacesAnOldOne) {
    TempFolder first;
    TempFolder second;
    ToolRun one = toolrun::Run("mksample", {first.Path()});
    ToolRun two = toolrun::Run("mksample", {second.Path()});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    ASSERT_EQ(two.exitCode, 0) << two.err;
    EXPECT_EQ(one.out, two.out);
    EXPECT_EQ(Tree(first), Tree(second));

    // Over a damaged folder of its own: every file is written again.
    first.Put("game/Data/Globals.qva", "broken");
    first.Put("init.txt", "");
    ToolRun again = toolrun::Run("mksample", {first.Path()});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, one.out);
    EXPECT_EQ(Tree(first), Tree(second));
}

TEST(Mksample, FailuresNameThePathAndWrongArgumentsPrintUsage) {
    TempFolder folder;
    // The output folder is a file.
    folder.Put("file", "x");
    ToolRun run = toolrun::Run("mksample", {folder / "file"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("mksample: " + (folder / "file") + "/init.txt: ", 0), 0u) << run.err;

    // A folder where a later file must go: the files before it are listed.
    fs::create_directories(folder / "out/game/DAZedirad.qvf");
    run = toolrun::Run("mksample", {folder / "out"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "26 init.txt\n");
    EXPECT_EQ(run.err.rfind("mksample: " + (folder / "out") + "/game/DAZedirad.qvf: ", 0), 0u)
        << run.err;
    EXPECT_EQ(run.err.back(), '\n');

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"a", "b"}, {""}}) {
        run = toolrun::Run("mksample", args);
        EXPECT_EQ(run.exitCode, 2) << args.size();
        EXPECT_EQ(run.err, "usage: mksample OUT-DIR\n");
        EXPECT_EQ(run.out, "");
    }
}

}  // namespace
