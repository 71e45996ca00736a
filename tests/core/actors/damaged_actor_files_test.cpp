// The sample's own actor files damaged in their ids, counts and parent links:
// every damaged copy of a scene and of a saved game is refused whole.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_system.h"
#include "support/actor_file_damage.h"
#include "support/temp_folder.h"

namespace {

void FreshWorld() {
    ResetActorWorldForTests();
    ASSERT_NE(InitActorSystem(), 0);
}

// Whether every actor the table holds now it held at the same id before.
bool OnlyActorsOf(const std::vector<Actor *> &before) {
    for (size_t id = 0; id < ActorTable.size(); ++id) {
        if (ActorTable[id] != nullptr && (id >= before.size() || before[id] != ActorTable[id])) {
            return false;
        }
    }
    return true;
}

// The family of a damaged copy: its name without the record number.
std::string Family(const std::string &what) { return what.substr(0, what.rfind(' ')); }

class DamagedSampleFilesTest : public ::testing::Test {
  protected:
    void TearDown() override { ResetActorWorldForTests(); }
    // A file of the sample folder that the build wrote with mksample.
    static std::string Data(const std::string &name) {
        return std::string(ENGINE_TEST_BINARY_DIR) + "/sample/game/Data/" + name;
    }

    TempFolder folder;
};

TEST_F(DamagedSampleFilesTest, EveryDamagedCopyOfASceneAndASaveIsRefusedWhole) {
    const std::string scene = actorfiles::ReadWholeFile(Data("Level1.qva"));
    const std::string save =
        actorfiles::SaveAfterLoading({Data("Globals.qva"), Data("Level1.qva")}, folder.Path());
    for (const auto &[name, bytes] : {std::pair(std::string("Level1.qva"), scene),
                                      std::pair(std::string("sample.sav"), save)}) {
        SCOPED_TRACE(name);
        ASSERT_GT(bytes.size(), 1000u) << "the build's sample folder lacks the file";
        FreshWorld();
        const std::vector<actorfiles::Record> records = actorfiles::ReadRecords(bytes);
        ASSERT_GT(records.size(), 50u) << GetActorSystem()->errorText;

        // A refused load only ever takes actors away (those its records
        // replaced), so one start serves every copy.
        FreshWorld();
        const std::vector<Actor *> before = ActorTable;
        std::map<std::string, size_t> families;
        for (const actorfiles::DamagedFile &copy : actorfiles::DamagedCopies(bytes, records)) {
            SCOPED_TRACE(copy.what);
            ++families[Family(copy.what)];
            Archive archive;
            ASSERT_TRUE(archive.OpenMemory(copy.bytes.data(),
                                           static_cast<uint32_t>(copy.bytes.size())));
            ASSERT_EQ(LoadActorsFrom(archive, kSerializeLoad), 0);
            EXPECT_STREQ(GetActorSystem()->errorText, "Serialize Error");
            EXPECT_EQ(GetActorSystem()->GetFileVersion(), kNoFileVersion);
            // Nothing of the file stays.
            EXPECT_TRUE(OnlyActorsOf(before));
        }
        // Each kind of damage was made, the structural ones many times.
        EXPECT_EQ(families["id twice"], records.size());
        EXPECT_GT(families["id := grandparent's id"], 20u);
        EXPECT_EQ(families["parent loop"], families["id := grandparent's id"]);
        EXPECT_EQ(families["count one short"], 1u);
        EXPECT_EQ(families["trailing bytes"], 1u);
    }
}

} // namespace
