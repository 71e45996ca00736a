// The sample's own actor files damaged in their ids, counts and parent links:
// every damaged copy of a scene and of a saved game is refused whole, and
// loaded over a running world leaves every actor of it as it was.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "actors/world/timer_actor.h"
#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/script_runner.h"
#include "core/actors/time_record.h"
#include "support/actor_file_damage.h"
#include "support/scene_harness.h"
#include "support/temp_folder.h"

namespace {

void FreshWorld() {
    ResetActorWorldForTests();
    ASSERT_NE(InitActorSystem(), 0);
}

// Counts the scripts run.
class CountingRunner : public ScriptRunner {
  public:
    int Run(ScriptRecord *, Actor *) override {
        ++runs;
        return 1;
    }
    int runs = 0;
};

// The family of a damaged copy: its name without the record number.
std::string Family(const std::string &what) { return what.substr(0, what.rfind(' ')); }

class DamagedSampleFilesTest : public ::testing::Test {
  protected:
    void TearDown() override { ResetActorWorldForTests(); }
    // A file of the sample folder that the build wrote with mksample.
    static std::string Data(const std::string &name) {
        std::string path = ENGINE_TEST_BINARY_DIR "/sample/game/Data/";
        path += name;
        return path;
    }

    TempFolder folder;
};

TEST_F(DamagedSampleFilesTest, EveryDamagedCopyOfASceneAndASaveIsRefusedWhole) {
    const std::string scene = actorfiles::ReadWholeFile(Data("Level1.qva"));
    const std::string save =
        actorfiles::SaveAfterLoading({Data("Globals.qva"), Data("Level1.qva")}, folder.Path());
    struct Damaged {
        std::string name;
        size_t records;
        std::vector<actorfiles::DamagedFile> copies;
    };
    std::vector<Damaged> files;
    for (const auto &[name, bytes] : {std::pair(std::string("Level1.qva"), scene),
                                      std::pair(std::string("sample.sav"), save)}) {
        SCOPED_TRACE(name);
        ASSERT_GT(bytes.size(), 1000u) << "the build's sample folder lacks the file";
        FreshWorld();
        const std::vector<actorfiles::Record> records = actorfiles::ReadRecords(bytes);
        ASSERT_GT(records.size(), 50u) << GetActorSystem()->errorText;
        files.push_back({name, records.size(), actorfiles::DamagedCopies(bytes, records)});
    }

    // Every copy is loaded over a running world: the sample's globals and
    // scene (whose ids the save's records name), started and run a while.
    scene::SceneRunner runner;
    ASSERT_TRUE(runner.Ready());
    scene::SceneBuilder world;
    ASSERT_TRUE(world.UseGameFolder(ENGINE_TEST_BINARY_DIR "/sample/game"));
    ASSERT_EQ(SendCommandArgs(GetActorById(kGlobalRootId), cmd::file_io::OpenFile,
                              std::string("Globals.qva")),
              1);
    ASSERT_EQ(SendCommandArgs(GetActorById(kSceneryRootId), cmd::file_io::OpenFile,
                              std::string("Level1.qva")),
              1);
    SendCommandArgs(GetActorSystem(), cmd::actor_system::SetGlobalTime, 0u);
    PrecalculateAll();
    SendCommandArgs(GetActorSystem(), cmd::base::StartGame);
    runner.Step(30);
    const std::vector<Actor *> before = ActorTable;
    const std::string picture = DumpActorTreeWithFields();
    ASSERT_NE(GetActorById(14), nullptr);

    for (const Damaged &file : files) {
        SCOPED_TRACE(file.name);
        std::map<std::string, size_t> families;
        for (const actorfiles::DamagedFile &copy : file.copies) {
            SCOPED_TRACE(copy.what);
            ++families[Family(copy.what)];
            Archive archive;
            ASSERT_TRUE(
                archive.OpenMemory(copy.bytes.data(), static_cast<uint32_t>(copy.bytes.size())));
            ASSERT_EQ(LoadActorsFrom(archive, kSerializeLoad), 0);
            EXPECT_STREQ(GetActorSystem()->errorText, "Serialize Error");
            EXPECT_EQ(GetActorSystem()->GetFileVersion(), kNoFileVersion);
            // Every actor stays as it was: the same ones at the same ids,
            // with their names, places in the tree and fields.
            ASSERT_EQ(ActorTable, before);
            ASSERT_TRUE(DumpActorTreeWithFields() == picture);
        }
        // Each kind of damage was made, the structural ones many times.
        EXPECT_EQ(families["id twice"], file.records);
        EXPECT_GT(families["id := grandparent's id"], 20u);
        EXPECT_EQ(families["parent loop"], families["id := grandparent's id"]);
        EXPECT_EQ(families["count one short"], 1u);
        EXPECT_EQ(families["trailing bytes"], 1u);
    }

    // A held Timer replays its keys up to its saved time on "Init Load": in
    // a refused file it is never told, so no key runs.
    auto *timer =
        static_cast<TimerActor *>(CreateActor(static_cast<int32_t>(kTimerClassId), "Held", nullptr,
                                              GetActorById(kSceneryRootId), 6900, true));
    ASSERT_NE(timer, nullptr);
    timer->totalTime = 4.0f;
    timer->multiplier = 0.0f;
    timer->AddKey(0.5f, "key", "");
    SendCommandArgs(timer, cmd::base::SetCurrentTime, 1.0f);
    SendCommandArgs(timer, cmd::timer::StartTimer);
    ASSERT_EQ(timer->Mode(), kTimerHeld);
    ASSERT_EQ(SaveActors(folder / "held.qva", 6900, 6901, kSerializeSave), 1);
    ASSERT_EQ(DeleteActor(timer), 1);
    const std::string held = actorfiles::ReadWholeFile(folder / "held.qva");
    ASSERT_GT(held.size(), kActorFileHeaderSize);
    std::string twice = held + held.substr(kActorFileHeaderSize);
    twice[4] = 2; // the count
    CountingRunner counting;
    ScriptRunner *previous = InstallScriptRunner(&counting);
    Archive archive;
    ASSERT_TRUE(archive.OpenMemory(twice.data(), static_cast<uint32_t>(twice.size())));
    EXPECT_EQ(LoadActorsFrom(archive, kSerializeLoad), 0);
    InstallScriptRunner(previous);
    EXPECT_EQ(counting.runs, 0);
    EXPECT_EQ(ActorTable, before);

    // The world runs on.
    const uint32_t frame = FrameCounter;
    runner.Step(30);
    EXPECT_EQ(FrameCounter, frame + 30);
    EXPECT_EQ(ActorTableEntry(14), before[14]);
}

} // namespace
