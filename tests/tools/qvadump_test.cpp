// Runs the qvadump program on committed actor files and compares its output with committed text.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/actors/actor_system.h"
#include "support/actor_file_damage.h"
#include "support/temp_folder.h"
#include "support/tool_run.h"

namespace {

using toolrun::ReadFile;
using toolrun::ToolRun;

std::string DataPath(const std::string &name) { return toolrun::DataPath("qvadump/" + name); }

ToolRun RunQvadump(const std::vector<std::string> &args) {
    return toolrun::Run("qvadump", args, "", "LC_ALL=de_DE.UTF-8");
}

TEST(Qvadump, DumpMatchesGoldenText) {
    const std::string expected = ReadFile(DataPath("full_record.txt"));
    ASSERT_FALSE(expected.empty());
    ToolRun run = RunQvadump({DataPath("full_record.qva")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
}

// Mesh Object, Environment, UVAnimation (with a child) and a Reference, which
// hangs below its parent; without a library the mesh and the materials fall
// back to their default slots.
TEST(Qvadump, ClassLinesOfMeshEnvironmentAndReference) {
    const std::string expected = ReadFile(DataPath("class_records.txt"));
    ASSERT_FALSE(expected.empty());
    ToolRun run = RunQvadump({DataPath("class_records.qva")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
}

// A State holding a Time Instance, a looping Timer saved while running (it
// restarts from its saved time when loaded; its keys' "Timer Callback" is no
// event command and reads back as 0) and the three Developers.
TEST(Qvadump, TimerAndKeyLinesBelowAState) {
    const std::string expected = ReadFile(DataPath("logic_records.txt"));
    ASSERT_FALSE(expected.empty());
    ToolRun run = RunQvadump({DataPath("logic_records.qva")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
}

// A SkinObject with a line per motion record and per saved layer record (two
// in use of eleven), and an Animation with a child.
TEST(Qvadump, ClassLinesOfSkinObjectAndAnimation) {
    const std::string expected = ReadFile(DataPath("presentation_records.txt"));
    ASSERT_FALSE(expected.empty());
    ToolRun run = RunQvadump({DataPath("presentation_records.qva")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
}

// Particle Systems in the three override modes: each prints its stored
// words, then the eleven "Extend Base" values in force after loading (the
// local block read in mode 1, the full record's in mode 2).
TEST(Qvadump, ClassLinesOfParticleSystems) {
    const std::string expected = ReadFile(DataPath("particle_records.txt"));
    ASSERT_FALSE(expected.empty());
    ToolRun run = RunQvadump({DataPath("particle_records.qva")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_NE(run.out.find("      particle type 1 kill 0 intensity 1 mode 1 max 20 flow 12 "),
              std::string::npos);
}

// A target camera with its "Camera Col" sphere, active, following "Hero":
// its class line names the type, the flag, the view and the target paths.
TEST(Qvadump, ClassLineOfACamera) {
    const std::string expected = ReadFile(DataPath("camera_record.txt"));
    ASSERT_FALSE(expected.empty());
    ToolRun run = RunQvadump({DataPath("camera_record.qva")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_NE(run.out.find("      camera type 1 active 1 height 30 distance 125 pull 0 "
                           "targetheight 30 looksmoothing 0.86 eyesmoothing 0.92 fov 1.4 "
                           "aspect 1.333 near 10 far 2500 lookheight 20 "
                           "target1 \"/Scenery/Hero\" target2 \"\"\n"),
              std::string::npos);
}

// A File actor of two files (the barrel drawn, its file missing, so not
// loaded) and a warp-type Spawn Point with its box: a line per file and per
// spawn record.
TEST(Qvadump, ClassLinesOfFileAndSpawnPoint) {
    const std::string expected = ReadFile(DataPath("file_spawn_record.txt"));
    ASSERT_FALSE(expected.empty());
    ToolRun run = RunQvadump({DataPath("file_spawn_record.qva")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_NE(run.out.find("      fileentry 1 weight 3 max 2 name \"barrel.qva\"\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("      spawnrecord 0 name \"\" weight 1 max 1000000 type 0 count 0 "
                           "path \"/Scenery/Templates/Crate\"\n"),
              std::string::npos);
}

// Record files of one family of classes each: the whole dump equals its
// golden text, and the line that tells the family apart is there.
TEST(Qvadump, ClassLinesOfEachFamily) {
    struct Family {
        const char *file;
        std::vector<const char *> lines;
    };
    const Family families[] = {
        // A 2D looping Sound, a spot Light, an Ambient Sound with a line per
        // entry (eight channels and a released sound) and a Light Sensor,
        // whose masks are back at their defaults after loading.
        {"sound_light_record",
         {"      ambiententry 8 name \"hum3d\" fade 0.5 rate 0.5 frequency 1 "
          "state 3 looping 0 refcount 0 userefcount 0 channel 0\n"}},
        // A sliding double door saved mid-opening with its two leaves, a
        // locked door and a trigger with its sphere and script.
        {"door_trigger_records",
         {"      door type 3 state 3 anim 0 times 1 1 1 autoclose 1 never 1 "
          "autoopen 0 away 0 axis 5 0 0 1 connector 0 length 40 ",
          "      trigger occupied 0 deactivate 2 delay 0.5 max 3 count 0\n"}},
        // A Matrix Animation with a line per layer, a Path with its Path
        // Nodes and its mover, and a LOD with a line per level.
        {"moving_records", {"      lodlevel 1 distance 1e+05 fade 0.5\n"}},
        // A menu saved active: its UI System (the screen scale back at 1
        // until "Precalculate"), a cursor sprite, a window with a static
        // button holding a 3D-label text and a sprite, and a nested window.
        {"ui_records",
         {"      uisystem type 0 ref 640 600 active 1 cursor 100 70\n",
          "            uitext type 1 text \"Resume\" font -1 color 1 0.5 0.25 1 align 1 0 "
          "visible 1 space 0 0 style 1 max 600 fade 400\n"}},
        // A key-remapping row saved as an axis row: the record holds the
        // action map's pair (101, then "S"), and the axis flag reads back 0.
        {"map_input_record", {"      uimapinput action 10 primary 101 second 83 axis 0\n"}},
        // A lock-on AutoAim (its output by a relative path, its target by the
        // target's absolute path) and a trap-wire container.
        {"aim_container_records",
         {"        autoaim type 91 flags 1296 limith 6.2831855 limitvmin -0.5 limitvmax "
          "1.5707964 turnspeed 2 damper 1 penetration 0 prediction 0 release 3 threshold 0.1 "
          "target \"/Scenery/Aimed\" output \"../Head\"\n",
          "      gamecontainer kind 2 contenttype 7 contentid 3282 search 2.5 trigger 1 "
          "triggertime 4 delete 1\n"}},
    };
    for (const Family &family : families) {
        SCOPED_TRACE(family.file);
        const std::string expected = ReadFile(DataPath(std::string(family.file) + ".txt"));
        ASSERT_FALSE(expected.empty());
        ToolRun run = RunQvadump({DataPath(std::string(family.file) + ".qva")});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, expected);
        for (const char *line : family.lines) {
            EXPECT_NE(run.out.find(line), std::string::npos) << line;
        }
    }
}

TEST(Qvadump, FailedLoadPrintsWhatWasMadeAndTheError) {
    // The failed load frees the half-read actor: the fixed tree is what is left.
    const std::string expected = ReadFile(DataPath("short_file.txt"));
    ASSERT_FALSE(expected.empty());
    ToolRun run = RunQvadump({DataPath("short_file.qva")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "error: " + DataPath("short_file.qva") +
                           ": Serialize Error: record 1 of 2 (id 3000) cannot be read\n");

    ToolRun missing = RunQvadump({DataPath("no_such_file.qva")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "error: " + DataPath("no_such_file.qva") + ": Error - Loading Actors\n");
}

// Damaged copies of the sample's scene: the line names the file and the
// record where reading stopped, by its number and id.
TEST(Qvadump, RefusedFilesNameTheFileAndTheRecord) {
    ResetActorWorldForTests();
    ASSERT_NE(InitActorSystem(), 0);
    const std::string scene = actorfiles::ReadWholeFile(std::string(ENGINE_TEST_BINARY_DIR) +
                                                        "/sample/game/Data/Level1.qva");
    const std::vector<actorfiles::Record> records = actorfiles::ReadRecords(scene);
    ResetActorWorldForTests();
    ASSERT_GT(records.size(), 2u);
    const std::string n = std::to_string(records.size());
    std::map<std::string, std::string> firstOf;
    for (const actorfiles::DamagedFile &copy : actorfiles::DamagedCopies(scene, records)) {
        firstOf.emplace(copy.what.substr(0, copy.what.rfind(' ')), copy.bytes);
    }
    const auto id = [&](size_t record) { return std::to_string(records[record].id); };
    const std::string lastEnds = std::to_string(records.back().end - records.back().begin);
    const struct {
        std::string family;
        std::string reason;
    } cases[] = {
        {"id twice", "record 2 of " + std::to_string(records.size() + 1) + " (id " + id(0) +
                         ") repeats the id of record 1"},
        {"count one short", lastEnds + " bytes follow the last record (record " +
                                std::to_string(records.size() - 1) + " of " +
                                std::to_string(records.size() - 1) + ", id " +
                                id(records.size() - 2) + ")"},
        {"trailing bytes",
         "100 bytes follow the last record (record " + n + " of " + n + ", id " +
             id(records.size() - 1) + ")"},
        {"parent loop", " would be its own ancestor through the parent links"},
        {"header", "the header cannot be read or counts more records than the file holds"},
    };
    TempFolder folder;
    firstOf["header"] = scene.substr(0, 10);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.family);
        ASSERT_EQ(firstOf.count(c.family), 1u);
        folder.Put("damaged.qva", firstOf[c.family]);
        ToolRun run = RunQvadump({folder / "damaged.qva"});
        EXPECT_EQ(run.exitCode, 1);
        const std::string start = "error: " + (folder / "damaged.qva") + ": Serialize Error: ";
        EXPECT_EQ(run.err.substr(0, start.size()), start) << run.err;
        EXPECT_NE(run.err.find(c.reason + "\n"), std::string::npos) << run.err;
    }
}

TEST(Qvadump, WrongArgumentCountPrintsUsage) {
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{}, std::vector<std::string>{"a", "b"}}) {
        ToolRun run = RunQvadump(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err, "usage: qvadump FILE\n");
        EXPECT_EQ(run.out, "");
    }
}

TEST(Qvadump, HelpPrintsUsageAndUnknownOptionsAreRefused) {
    ToolRun run = RunQvadump({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "usage: qvadump FILE\n");
    EXPECT_EQ(run.err, "");
    for (const std::string option : {"--helps", "-x"}) {
        run = RunQvadump({option});
        EXPECT_EQ(run.exitCode, 2) << option;
        EXPECT_EQ(run.out, "") << option;
        EXPECT_EQ(run.err, "usage: qvadump FILE\n") << option;
    }
}

} // namespace
