// The LOD actor: its sheet and commands, the levels it makes and adopts, the
// switch by camera distance and its timing, levels left running across "On
// Draw Start", level actors that go or belong to another LOD actor, and its
// file record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "actors/presentation/lod_actor.h"
#include "base/byte_writer.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "presentation_fixture.h"

namespace {

using namespace presentationtest;

constexpr int32_t kId = 700;

int SendText(Actor *actor, uint32_t command, const char *text) {
    std::string block(text);
    block.push_back('\0');
    return actor->HandleCommand(command, ParamBlock(block.data(), block.size()));
}
int SendReal(Actor *actor, uint32_t command, float value) {
    return actor->HandleCommand(command, ParamBlock(&value, sizeof(value)));
}
float AskReal(Actor *actor, uint32_t command) {
    float value = -7.0f;
    actor->HandleCommand(command, ParamBlock(&value, sizeof(value)));
    return value;
}

class LodTest : public PresentationTest {
  protected:
    LodActor *NewLod(uint32_t levels, int32_t id = kId) {
        auto *lod =
            dynamic_cast<LodActor *>(CreateActor(kLodClassId, "lod", nullptr, scenery, id, true));
        if (lod != nullptr && levels > 0) {
            SendCommandArgs(lod, cmd::lod::SetLodLevelCount, levels);
        }
        return lod;
    }
    // A hidden cube below each level actor.
    std::vector<MeshObjectActor *> Meshes(LodActor *lod) {
        std::vector<MeshObjectActor *> meshes;
        for (size_t i = 0; i < lod->levels.size(); ++i) {
            auto *mesh = Make<MeshObjectActor>(kMeshObjectClassId, "mesh",
                                               lod->LevelActor(static_cast<int32_t>(i)));
            mesh->state &= ~kActorEnabled;
            meshes.push_back(mesh);
        }
        return meshes;
    }
    void Camera(float z) { library.SetCameraTransform({0.0f, 0.0f, z}, {0.0f, 0.0f, 0.0f, 1.0f}); }
    void Frame(Actor *actor) {
        Step();
        actor->Update();
        RunScheduledCommands(system);
    }
    static bool Shown(const Actor *a) { return (a->state & kActorEnabled) != 0; }
};

TEST_F(LodTest, SheetLevelsAndSelection) {
    const ActorClassDescriptor &d = ClassDescriptorTable[kLodClassId];
    EXPECT_EQ(d.name, "Lod");
    EXPECT_EQ(d.lineage, (std::vector<uint32_t>{0, 46}));
    ASSERT_EQ(d.items.size(), 5u);
    EXPECT_EQ(d.items[1].label, "Create:|1 Level|1|2 Levels|2|3 Levels|3|4 Levels|4|");
    EXPECT_EQ(d.items[1].kind, PropertyKind::Enumeration);
    EXPECT_EQ(d.items[4].setCommand, cmd::lod::SetLodLevelFADE);

    LodActor *lod = NewLod(0);
    EXPECT_EQ(lod->selectedLevel, -1);
    EXPECT_EQ(lod->activeLevel, -1);
    // With no selection the level commands change and answer nothing.
    SendReal(lod, cmd::lod::SetLodLevelDistance, 5.0f);
    EXPECT_EQ(AskReal(lod, cmd::lod::GetLodLevelDistance), -7.0f);
    EXPECT_EQ(AskReal(lod, cmd::lod::GetLodLevelFADE), -7.0f);
    // An empty block counts no levels.
    lod->HandleCommand(cmd::lod::SetLodLevelCount, ParamBlock());
    EXPECT_TRUE(lod->levels.empty());

    // "Lev_2" already below: adopted, its entry at distance 0.
    Actor *holder = Make<Actor>(0, "holder", lod);
    Actor *second = Make<Actor>(0, "Lev_2", holder);
    SendCommandArgs(lod, cmd::lod::SetLodLevelCount, 4u);
    EXPECT_EQ(lod->selectedLevel, 0);
    uint32_t count = 0;
    lod->HandleCommand(cmd::lod::GetLodLevelCount, ParamBlock(&count, sizeof(count)));
    EXPECT_EQ(count, 4u);
    const float distances[4] = {0.0f, 0.0f, 2000.0f, 3000.0f};
    for (int32_t i = 0; i < 4; ++i) {
        Actor *level = lod->LevelActor(i);
        ASSERT_NE(level, nullptr) << i;
        EXPECT_EQ(level->name, "Lev_" + std::to_string(i + 1));
        EXPECT_EQ(lod->levels[static_cast<size_t>(i)].distance, distances[i]) << i;
        EXPECT_EQ(lod->levels[static_cast<size_t>(i)].fade, 1.0f);
    }
    EXPECT_EQ(lod->LevelActor(1), second);
    EXPECT_EQ(lod->children.size(), 4u); // holder and three made

    CommandSpy *spy = SpyOn(lod);
    EXPECT_EQ(SendText(lod, cmd::lod::SetLodLevelLabel, "Level 2"), 4);
    EXPECT_EQ(lod->selectedLevel, 1);
    EXPECT_EQ(spy->Count(cmd::lod::SetLodLevelLabel), 0u); // the base handler is not told
    SendReal(lod, cmd::lod::SetLodLevelDistance, 750.0f);
    SendReal(lod, cmd::lod::SetLodLevelFADE, 0.5f);
    EXPECT_EQ(AskReal(lod, cmd::lod::GetLodLevelDistance), 750.0f);
    EXPECT_EQ(AskReal(lod, cmd::lod::GetLodLevelFADE), 0.5f);
    std::vector<std::string> labels = {"stale"};
    std::vector<std::string> *list = &labels;
    lod->HandleCommand(cmd::lod::GetLodLevelLabels, ParamBlock(&list, sizeof(list)));
    EXPECT_EQ(labels, (std::vector<std::string>{"Level 1", "Level 2", "Level 3", "Level 4"}));
    SendText(lod, cmd::lod::SetLodLevelLabel, "Level 9");
    EXPECT_EQ(lod->selectedLevel, -1);
    // Without a selection the level commands still reach the base handler.
    SendReal(lod, cmd::lod::SetLodLevelDistance, 1.0f);
    EXPECT_EQ(spy->Count(cmd::lod::SetLodLevelDistance), 2u);
    EXPECT_EQ(lod->levels[1].distance, 750.0f);
}

// A count past 256 is refused and the levels stay; 256 levels are made.
TEST_F(LodTest, ALevelCountPast256IsRefused) {
    LodActor *lod = NewLod(3);
    for (uint32_t count : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 65536u, 257u}) {
        SendCommandArgs(lod, cmd::lod::SetLodLevelCount, count);
        ASSERT_EQ(lod->levels.size(), 3u) << count;
    }
    EXPECT_EQ(lod->children.size(), 3u);
    SendCommandArgs(lod, cmd::lod::SetLodLevelCount, 256u);
    ASSERT_EQ(lod->levels.size(), 256u);
    EXPECT_EQ(lod->LevelActor(255)->name, "Lev_256");
}

TEST_F(LodTest, CameraDistancePicksTheLevel) {
    LodActor *lod = NewLod(4);
    const std::vector<MeshObjectActor *> meshes = Meshes(lod);
    std::vector<CommandSpy *> spies;
    for (int32_t i = 0; i < 4; ++i) {
        spies.push_back(SpyOn(lod->LevelActor(i)));
    }
    Camera(500.0f);
    Frame(lod); // the first decision is at once
    EXPECT_EQ(spies[1]->Count(cmd::base::ActionStart), 1u);
    EXPECT_TRUE(Shown(meshes[1]));

    Camera(2500.0f);
    int frames = 0;
    while (spies[3]->Count(cmd::base::ActionStart) == 0 && frames < 120) {
        Frame(lod);
        ++frames;
        if (spies[3]->Count(cmd::base::ActionStart) == 0) {
            EXPECT_LE(lod->accumulator, 1.0f);
        }
    }
    EXPECT_GE(frames, 59);
    EXPECT_LE(frames, 61);
    EXPECT_EQ(spies[1]->Count(cmd::base::ActionStop), 1u);
    EXPECT_FALSE(Shown(meshes[1]));
    EXPECT_TRUE(Shown(meshes[3]));

    Camera(3500.0f);
    for (int i = 0; i < 61; ++i) {
        Frame(lod);
    }
    EXPECT_EQ(lod->activeLevel, -1);
    EXPECT_EQ(spies[3]->Count(cmd::base::ActionStop), 1u);
    EXPECT_FALSE(Shown(meshes[3]));
    EXPECT_EQ(spies[0]->Count(cmd::base::ActionStart), 0u); // distance 0 serves nothing
}

TEST_F(LodTest, DrawStartDecidesAtOnceAndStopsTheRunningLevel) {
    LodActor *lod = NewLod(4);
    const std::vector<MeshObjectActor *> meshes = Meshes(lod);
    CommandSpy *second = SpyOn(lod->LevelActor(1));
    CommandSpy *fourth = SpyOn(lod->LevelActor(3));
    Camera(500.0f);
    Frame(lod);
    Frame(lod);
    // The same place again: the level is started once more.
    lod->HandleCommand(cmd::base::OnDrawStart, ParamBlock());
    Frame(lod);
    EXPECT_EQ(second->Count(cmd::base::ActionStart), 2u);
    EXPECT_EQ(second->Count(cmd::base::ActionStop), 0u);
    // The camera moved while the group was not drawn: the level that ran
    // stops before the new one starts.
    lod->HandleCommand(cmd::base::OnDrawStart, ParamBlock());
    Camera(2500.0f);
    Frame(lod);
    EXPECT_EQ(second->Count(cmd::base::ActionStop), 1u);
    EXPECT_EQ(fourth->Count(cmd::base::ActionStart), 1u);
    EXPECT_FALSE(Shown(meshes[1]));
    EXPECT_TRUE(Shown(meshes[3]));
    // And when nothing is to run after it.
    lod->HandleCommand(cmd::base::OnDrawStart, ParamBlock());
    Camera(9000.0f);
    Frame(lod);
    EXPECT_EQ(fourth->Count(cmd::base::ActionStop), 1u);
    EXPECT_FALSE(Shown(meshes[3]));
}

TEST_F(LodTest, GoneShrunkAndForeignLevelActors) {
    // No levels: a "Lev_1" below hears nothing.
    LodActor *empty = NewLod(0, kId + 5);
    CommandSpy *idle = SpyOn(Make<Actor>(0, "Lev_1", empty));
    Frame(empty);
    Frame(empty);
    EXPECT_EQ(idle->Count(cmd::base::ActionStart) + idle->Count(cmd::base::ActionStop), 0u);

    LodActor *lod = NewLod(4);
    LodActor *other = NewLod(4, kId + 1);
    CommandSpy *mine = SpyOn(lod->LevelActor(1));
    CommandSpy *theirs = SpyOn(other->LevelActor(1));
    Camera(500.0f);
    Frame(lod);
    EXPECT_EQ(mine->Count(cmd::base::ActionStart), 1u);
    EXPECT_EQ(theirs->Count(cmd::base::ActionStart), 0u);

    // A copy drives none of the template's levels, and finds its own once
    // they are there.
    auto *copy = dynamic_cast<LodActor *>(CreateActor(kLodClassId, "copy", lod, scenery, -1, true));
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->levels.size(), 4u);
    EXPECT_EQ(copy->levels[3].distance, 3000.0f);
    EXPECT_EQ(copy->LevelActor(1), nullptr);
    Camera(2500.0f);
    copy->HandleCommand(cmd::base::OnDrawStart, ParamBlock());
    Frame(copy);
    EXPECT_EQ(mine->Count(cmd::base::ActionStop), 0u);
    Actor *own = Make<Actor>(0, "Lev_4", copy);
    copy->HandleCommand(153, ParamBlock());
    EXPECT_EQ(copy->LevelActor(3), own);

    // The running level's actor is deleted: the switch sends it nothing.
    Camera(500.0f);
    ASSERT_EQ(DeleteActor(lod->LevelActor(1)), 1);
    lod->HandleCommand(cmd::base::OnDrawStart, ParamBlock());
    Camera(1500.0f);
    Frame(lod);
    EXPECT_EQ(lod->activeLevel, 2);
    // Shrunk below the active and selected levels: both count as none.
    SendText(lod, cmd::lod::SetLodLevelLabel, "Level 4");
    SendCommandArgs(lod, cmd::lod::SetLodLevelCount, 1u);
    EXPECT_EQ(lod->selectedLevel, 0);
    lod->selectedLevel = 3;
    SendReal(lod, cmd::lod::SetLodLevelDistance, 99.0f);
    EXPECT_EQ(AskReal(lod, cmd::lod::GetLodLevelFADE), -7.0f);
    Frame(lod);
    EXPECT_EQ(lod->activeLevel, -1);
    EXPECT_EQ(lod->levels[0].distance, 0.0f);
}

TEST_F(LodTest, FileRecord) {
    LodActor *lod = NewLod(2);
    SendReal(lod, cmd::lod::SetLodLevelDistance, 150.0f);
    SendText(lod, cmd::lod::SetLodLevelLabel, "Level 2");
    SendReal(lod, cmd::lod::SetLodLevelFADE, 0.25f);
    std::vector<uint8_t> tail;
    ByteWriter w(tail);
    w.U32(0);
    w.U32(0);
    w.U32(2);
    for (float f : {150.0f, 1.0f})
        w.F32(f);
    w.U32(0);
    w.U32(0);
    for (float f : {1000.0f, 0.25f})
        w.F32(f);
    w.U32(0);
    w.U32(0);
    const std::string bytes = Save(kId, 8010); // the levels' actors took ids from 8000
    const size_t at = bytes.find(std::string(tail.begin(), tail.end()));
    ASSERT_NE(at, std::string::npos);

    // Read back: the levels' values; "Precalculate" finds their actors.
    ASSERT_EQ(DeleteActor(lod), 1);
    ASSERT_EQ(Load(bytes), 1) << system->errorText;
    lod = dynamic_cast<LodActor *>(GetActorById(kId));
    ASSERT_NE(lod, nullptr);
    ASSERT_EQ(lod->levels.size(), 2u);
    EXPECT_EQ(lod->levels[1].fade, 0.25f);
    EXPECT_EQ(lod->LevelActor(0), nullptr);
    lod->HandleCommand(153, ParamBlock());
    ASSERT_NE(lod->LevelActor(1), nullptr);
    EXPECT_EQ(lod->LevelActor(1)->name, "Lev_2");

    // A level count the bytes left cannot hold fails the read.
    std::string huge = bytes;
    const uint32_t count = 0x10000000u;
    std::memcpy(huge.data() + at + 8, &count, 4);
    ASSERT_EQ(DeleteActor(lod), 1);
    EXPECT_EQ(Load(huge), 0);
    EXPECT_STREQ(system->errorText, "Serialize Error");
    EXPECT_EQ(GetActorById(kId), nullptr);
}

} // namespace
