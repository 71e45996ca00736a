// The Reference actor: every command but the tree's own accepted and
// ignored, its id and path kept in actor files, and after a load it hangs
// below its parent and goes with it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "actors/world/reference_actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/param_builder.h"
#include "support/temp_folder.h"

namespace {

class ReferenceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetActorWorldForTests();
        ASSERT_EQ(InitActorSystem(), 1);
        system = GetActorSystem();
        scenery = GetActorById(kSceneryRootId);
    }
    void TearDown() override { ResetActorWorldForTests(); }

    ReferenceActor *NewReference(const char *name, Actor *parent, int32_t id = -1) {
        return dynamic_cast<ReferenceActor *>(
            CreateActor(static_cast<int32_t>(kReferenceClassId), name, nullptr, parent, id, true));
    }

    TempFolder folder;
    ActorSystem *system = nullptr;
    Actor *scenery = nullptr;
};

TEST_F(ReferenceTest, AnswersEveryCommandAndChangesNothing) {
    ReferenceActor *ref = NewReference("GA7", scenery);
    ASSERT_NE(ref, nullptr);
    Actor *other = CreateActor(0, "other", nullptr, scenery, -1, true);
    other->position = {1.0f, 2.0f, 3.0f};
    const uint32_t flags = ref->flags;
    const uint32_t state = ref->state;

    EXPECT_EQ(SendCommandArgs(ref, 32, std::string("renamed")), 1); // "Set Name"
    EXPECT_EQ(ref->HandleCommand(158, ParamBlock(&other, sizeof(other))), 1);
    EXPECT_EQ(SendCommandArgs(ref, 63, Vector3{4.0f, 5.0f, 6.0f}), 1);
    EXPECT_EQ(ref->HandleCommand(0xFFFFFF, ParamBlock()), 1);
    char name[32] = "untouched";
    EXPECT_EQ(ref->HandleCommand(33, ParamBlock(name, sizeof(name))), 1); // "Get Name"
    EXPECT_EQ(std::tuple(ref->name, ref->position.x, ref->flags, ref->state, std::string(name)),
              std::tuple("GA7", 0.0f, flags, state, "untouched"));
    EXPECT_EQ(GetGlobalActor(7), nullptr);
}

TEST_F(ReferenceTest, IdAndPathSurviveAFileAndTheLoadHangsItBelowItsParent) {
    Actor *room = CreateActor(0, "Room", nullptr, scenery, 3000, true);
    ReferenceActor *ref = NewReference("GA8", room, 3001);
    ref->referencedId = 3000;
    ref->referencePath = "/Scenery/Room";
    const std::string path = folder / "ref.qva";
    ASSERT_EQ(SaveActors(path, 3000, 3002, kSerializeSave), 1);
    // The record ends with the id and the path.
    const std::string bytes = folder.Get("ref.qva");
    std::string tail("\xB8\x0B\0\0\x0D\0\0\0", 8);
    tail += "/Scenery/Room";
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);

    ASSERT_EQ(DeleteActor(room), 1);
    ASSERT_EQ(LoadActors(path, kSerializeLoad), 1) << system->errorText;
    auto *loaded = dynamic_cast<ReferenceActor *>(GetActorById(3001));
    ASSERT_NE(loaded, nullptr);
    Actor *newRoom = GetActorById(3000);
    EXPECT_EQ(std::tuple(loaded->classId, loaded->referencedId, loaded->referencePath,
                         loaded->parentId, loaded->parent, newRoom->children.size()),
              std::tuple(37u, 3000u, "/Scenery/Room", 3000, newRoom, 1u));
    EXPECT_FALSE(loaded->HasFlag(kActorGlobalSlotBound));
    EXPECT_EQ(GetGlobalActor(8), nullptr);
    EXPECT_EQ(loaded->drawGroupId, -1);

    // An empty stored path reads as empty, whatever the actor held.
    loaded->referencePath.clear();
    ASSERT_EQ(SaveActors(path, 3001, 3002, kSerializeSave), 1);
    ASSERT_EQ(DeleteActor(loaded), 1);
    EXPECT_EQ(GetActorById(3001), nullptr);
    ASSERT_EQ(LoadActors(path, kSerializeLoad), 1);
    EXPECT_EQ(dynamic_cast<ReferenceActor *>(GetActorById(3001))->referencePath, "");
}

// A Reference read from a file goes with its file and its parent: a File
// actor writes it again and unloads it, a root's "Unload File" takes it
// away, and the next scene's file does not hold it.
TEST_F(ReferenceTest, ALoadedReferenceGoesWithItsFileAndItsParent) {
    system->baseFolder = folder.Path();
    std::filesystem::create_directories(folder / "Data");
    // The low byte of a file's record count.
    const auto count = [this](const std::string &file) { return folder.Get("Data/" + file).at(4); };
    Actor *room = CreateActor(0, "Room", nullptr, scenery, 3000, true);
    NewReference("Ref", room, 3001)->referencePath = "/Scenery/Room";
    ASSERT_EQ(SaveActors(folder / "Data/room.qva", 3000, 3002, kSerializeSave), 1);
    ASSERT_EQ(SaveActors(folder / "Data/scene.qva", 3000, 3002, kSerializeSave), 1);
    ASSERT_EQ(DeleteActor(room), 1);

    Actor *file =
        CreateActor(static_cast<int32_t>(kFileClassId), "F", nullptr, scenery, 3500, false);
    ASSERT_EQ(SendCommandArgs(file, cmd::file::SetFilename, std::string("room.qva")), 1);
    ASSERT_EQ(SendCommandArgs(file, cmd::file::SetFileStringlist, std::string("room.qva")), 1);
    ASSERT_EQ(SendCommand(3500, cmd::file::LoadFileobject, ParamBlock()), 1u);
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    const std::vector<Actor *> loaded = FindActorsByName("Ref", kReferenceClassId);
    ASSERT_EQ(loaded.size(), 1u);
    const auto refId = static_cast<uint32_t>(loaded[0]->actorId);
    ASSERT_EQ(file->children.size(), 1u);
    EXPECT_EQ(loaded[0]->parent, file->children[0]);
    EXPECT_EQ(SendCommand(3500, cmd::file::SaveFileobject, ParamBlock()), 1u);
    EXPECT_EQ(count("room.qva"), 2);
    SendCommand(3500, cmd::file::UnloadFileobject, ParamBlock());
    EXPECT_EQ(GetActorById(refId), nullptr);
    ASSERT_EQ(DeleteActor(file), 1);

    ASSERT_EQ(SendCommandArgs(scenery, cmd::file_io::OpenFile, std::string("scene.qva")), 1);
    Actor *ref = GetActorById(3001);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(ref->parent, GetActorById(3000));
    SendCommand(kSceneryRootId, cmd::file_io::UnloadFile, ParamBlock());
    EXPECT_EQ(GetActorById(3001), nullptr);
    CreateActor(0, "Next", nullptr, scenery, 3000, true);
    ASSERT_EQ(SendCommandArgs(scenery, cmd::file_io::SaveFile, std::string("next.qva")), 1);
    EXPECT_EQ(count("next.qva"), 1);
}

TEST_F(ReferenceTest, DescriptorAndSheet) {
    const ActorClassDescriptor &d = ClassDescriptorTable[kReferenceClassId];
    EXPECT_EQ(
        std::tuple(d.name, d.description, d.lineage),
        std::tuple("Reference", "A Reference to another Actor", std::vector<uint32_t>{0, 37}));
    ASSERT_EQ(d.items.size(), 2u);
    EXPECT_EQ(
        std::tuple(d.items[1].label, d.items[1].kind, d.items[1].setCommand, d.items[1].getCommand),
        std::tuple("Path:", PropertyKind::Text, 1698u, 1699u));
}

} // namespace
