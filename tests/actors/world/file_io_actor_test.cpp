// The FileIO actor: opening, saving and unloading actor files on the roots
// and on free FileIO actors, its property sheet and its file record; and the
// Class Manager.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "actors/world/file_io_actor.h"
#include "actors/world/world_seams.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/class_manager_actor.h"
#include "core/actors/class_factory.h"
#include "core/actors/command_ids.h"
#include "core/actors/param_builder.h"
#include "support/temp_folder.h"

namespace {

class FileIOTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetActorWorldForTests();
        ASSERT_EQ(InitActorSystem(), 1);
        system = GetActorSystem();
        system->baseFolder = folder.Path();
        std::filesystem::create_directories(folder / "Data");
        global = GetActorById(kGlobalRootId);
        scenery = GetActorById(kSceneryRootId);
    }
    void TearDown() override { ResetActorWorldForTests(); }

    int Send(Actor *actor, uint32_t command, const std::string &text) {
        return SendCommandArgs(actor, command, text);
    }
    Actor *Plain(const char *name, Actor *parent, int32_t id) {
        return CreateActor(0, name, nullptr, parent, id, false);
    }
    uint32_t Word(const std::string &bytes, size_t offset) {
        uint32_t v = 0;
        if (offset + 4 <= bytes.size()) {
            std::memcpy(&v, bytes.data() + offset, 4);
        }
        return v;
    }

    TempFolder folder;
    ActorSystem *system = nullptr;
    Actor *global = nullptr;
    Actor *scenery = nullptr;
};

TEST_F(FileIOTest, OpeningAMissingFileEmptiesTheRootAndTheSceneLists) {
    Plain("a", scenery, 3000);
    Plain("b", Plain("c", scenery, 3001), 3002);
    const std::vector<Actor *> systemGroups = DrawGroupRegistry;
    DrawGroupRegistry.resize(5, nullptr);
    DrawGroupRegistry[4] = scenery;
    ColObj object(scenery);
    for (size_t list : {size_t{0}, size_t{1}, size_t{700}}) {
        system->StaticColObjs(list).Append(&object, &object.staticNodes);
    }
    EXPECT_EQ(Send(scenery, cmd::file_io::OpenFile, "missing.qva"), 0);
    EXPECT_TRUE(scenery->children.empty());
    EXPECT_EQ(GetActorById(3000), nullptr);
    EXPECT_EQ(GetActorById(3002), nullptr);
    EXPECT_EQ(DrawGroupRegistry, systemGroups);
    for (const auto &list : system->drawGroupMembers) {
        EXPECT_TRUE(list->Empty());
    }
    EXPECT_TRUE(object.staticNodes.empty());
    EXPECT_STREQ(system->errorText, "Error - Loading Actors");
    EXPECT_EQ(static_cast<FileIOActor *>(scenery)->fileName, "missing.qva");

    // Fewer than two registry entries are padded with empty ones.
    DrawGroupRegistry.clear();
    EXPECT_EQ(SendCommandArgs(scenery, cmd::file_io::UnloadFile), 1);
    EXPECT_EQ(DrawGroupRegistry, std::vector<Actor *>(2, nullptr));
}

TEST_F(FileIOTest, SavingAndOpeningTheGlobalsReplacesItsChildren) {
    ASSERT_NE(GetActorById(kEnvironmentActorId), nullptr);
    Plain("first", global, 10);
    Plain("last", global, 2999);
    Plain("beyond", scenery, 3000);
    ASSERT_EQ(Send(global, cmd::file_io::SaveFile, "Globals.qva"), 1) << system->errorText;
    const std::string bytes = folder.Get("Data/Globals.qva");
    // Environment, Inventory and both ends of the range.
    EXPECT_EQ(Word(bytes, 4), 4u);
    EXPECT_EQ(Word(bytes, 8), 10u);
    EXPECT_EQ(Word(bytes, 12), 2990u);

    DeleteActor(GetActorById(kEnvironmentActorId));
    ASSERT_EQ(Send(global, cmd::file_io::SaveFile, "NoEnvironment.qva"), 1);
    EXPECT_EQ(Send(global, cmd::file_io::OpenFile, "NoEnvironment.qva"), 1) << system->errorText;
    EXPECT_EQ(GetActorById(kEnvironmentActorId), nullptr);
    EXPECT_NE(GetActorById(kInventoryActorId), nullptr);
    EXPECT_EQ(GetActorById(2999)->name, "last");
    EXPECT_EQ(GetActorById(2999)->parent, global);
    EXPECT_EQ(system->GetFileVersion(), kNoFileVersion);
    EXPECT_TRUE(system->IsOperational());
}

TEST_F(FileIOTest, AFileIOWithoutARangeWritesAnEmptyFile) {
    ASSERT_TRUE(system->HasFlag(kActorSaved));
    Actor *io = CreateActor(kFileIOClassId, "io", nullptr, scenery, 3000, true);
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(Send(io, cmd::file_io::SaveFile, "empty.qva"), 1);
    const std::string bytes = folder.Get("Data/empty.qva");
    EXPECT_EQ(bytes.size(), 16u);
    EXPECT_EQ(Word(bytes, 0), 70u);
    EXPECT_EQ(Word(bytes, 4), 0u);
    EXPECT_EQ(Word(bytes, 8), 0u);
    EXPECT_EQ(Word(bytes, 12), 0u);
}

TEST_F(FileIOTest, NameCommandsAndFailedSaves) {
    auto *io = static_cast<FileIOActor *>(CreateActor(kFileIOClassId, "io", nullptr, scenery, -1, true));
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(Send(io, cmd::file::SetFilename, "a.qva"), 1);
    EXPECT_EQ(io->fileName, "a.qva");
    char name[128] = "xxxx";
    EXPECT_EQ(io->HandleCommand(cmd::file::GetFilename, ParamBlock(name, sizeof(name))), 1);
    EXPECT_STREQ(name, "a.qva");
    EXPECT_EQ(Send(io, cmd::file_io::SaveFile, "b.qva"), 1);
    EXPECT_EQ(io->fileName, "b.qva");
    EXPECT_EQ(SendCommandArgs(io, cmd::file_io::UnloadFile), 1);
    EXPECT_EQ(io->fileName, "");
    // Without a name nothing is written, and the command succeeds.
    EXPECT_EQ(io->HandleCommand(cmd::file_io::SaveFile, ParamBlock()), 1);

    // A null block does only the base handling.
    Plain("kept", io, -1);
    EXPECT_EQ(io->HandleCommand(cmd::file_io::OpenFile, ParamBlock()), 1);
    EXPECT_EQ(io->children.size(), 1u);

    // A save that cannot be written answers 0.
    system->baseFolder = folder / "no/such/folder";
    EXPECT_EQ(Send(scenery, cmd::file_io::SaveFile, "x.qva"), 0);
    EXPECT_STREQ(system->errorText, "Error - Saving Actors");
}

// A name with a ".." component or an absolute one answers 0: nothing is
// read, written, unloaded or stored.
TEST_F(FileIOTest, NamesLeavingTheDataFolderAreRefused) {
    auto *io =
        static_cast<FileIOActor *>(CreateActor(kFileIOClassId, "io", nullptr, scenery, -1, true));
    Plain("kept", io, -1);
    ASSERT_EQ(Send(io, cmd::file_io::SaveFile, "plain.qva"), 1);
    std::filesystem::copy_file(folder / "Data/plain.qva", folder / "outside.qva");
    for (const std::string &name :
         {std::string("..\\escaped.qva"), std::string("sub/../../escaped.qva"),
          folder / "escaped.qva", std::string("\\escaped.qva")}) {
        EXPECT_EQ(Send(io, cmd::file_io::SaveFile, name), 0) << name;
    }
    EXPECT_EQ(Send(io, cmd::file::SetFilename, "..\\escaped.qva"), 1);
    EXPECT_EQ(io->HandleCommand(cmd::file_io::SaveFile, ParamBlock()), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "escaped.qva"));
    for (const std::string &name : {std::string("..\\outside.qva"), folder / "outside.qva"}) {
        EXPECT_EQ(Send(io, cmd::file_io::OpenFile, name), 0) << name;
        EXPECT_EQ(std::tuple(io->children.size(), io->fileName),
                  std::tuple(size_t{1}, std::string("..\\escaped.qva")));
    }
    EXPECT_EQ(Send(io, cmd::file_io::OpenFile, "plain.qva"), 1) << system->errorText;
}

// A refused name leaves its reason for the start-up's line, not an older
// error or none.
TEST_F(FileIOTest, RefusedNamesSayWhy) {
    Actor *root = GetActorById(kGlobalRootId);
    for (uint32_t command : {cmd::file_io::OpenFile, cmd::file_io::SaveFile}) {
        system->errorText[0] = '\0';
        EXPECT_EQ(Send(root, command, "..\\Globals.qva"), 0);
        EXPECT_STREQ(system->errorText, "the name leads out of the data folder") << command;
    }
}

TEST_F(FileIOTest, DescriptorsOfFileIOAndClassManager) {
    const ActorClassDescriptor &io = ClassDescriptorTable.at(kFileIOClassId);
    EXPECT_EQ(io.name, "FileIO");
    EXPECT_EQ(io.description, "FileIO actor is responsible for saving and loading actorfiles (*.qva)");
    EXPECT_EQ(io.lineage, (std::vector<uint32_t>{0, 6}));
    struct Row {
        const char *label;
        PropertyKind kind;
        uint32_t set, get;
    };
    const Row rows[] = {
        {"FileIO Properties", PropertyKind::PageTitle, 0, 0},
        {"File Name:", PropertyKind::Text, 493, 494},
        {"Open Actor File:|Open|Actor File (*.qva) |*.qva|||", PropertyKind::OpenFileDialog, 514, 494},
        {"Save Actor File As:|Save As|Actor File (*.qva) |*.qva|||", PropertyKind::SaveFileDialog, 515, 494},
        {"Unload This File Group...", PropertyKind::Caption, 0, 0},
        {"Unload File:|Unload|", PropertyKind::Button, 516, 0},
    };
    ASSERT_EQ(io.items.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(io.items[i].label, rows[i].label);
        EXPECT_EQ(io.items[i].kind, rows[i].kind);
        EXPECT_EQ(io.items[i].setCommand, rows[i].set);
        EXPECT_EQ(io.items[i].getCommand, rows[i].get);
    }

    const ActorClassDescriptor &cm = ClassDescriptorTable.at(kClassManagerClassId);
    EXPECT_EQ(cm.name, "Class");
    EXPECT_EQ(cm.description, "Class Manager");
    EXPECT_EQ(cm.lineage, std::vector<uint32_t>{8});
    ASSERT_EQ(cm.items.size(), 4u);
    EXPECT_EQ(cm.items[0].label, "Class Definition");
    EXPECT_EQ(cm.items[0].kind, PropertyKind::PageTitle);
    EXPECT_EQ(cm.items[1].label, "");
    EXPECT_EQ(cm.items[1].kind, PropertyKind::ClassDefinition);
    EXPECT_EQ(cm.items[2].label, "Global Classes");
    EXPECT_EQ(cm.items[3].kind, PropertyKind::GlobalClasses);
    for (const PropertyItem &item : cm.items) {
        EXPECT_EQ(item.setCommand, 0u);
        EXPECT_EQ(item.getCommand, 0u);
        EXPECT_EQ(item.displayScale, 1.0f);
    }
}

TEST_F(FileIOTest, ClassManagerCreatedFromATemplateKeepsItsDefaults) {
    Actor *source = Plain("source", scenery, 3000);
    source->position = {4, 5, 6};
    source->userWord = 9;
    Actor *made = CreateActor(kClassManagerClassId, "made", source, scenery, 3001, true);
    ASSERT_NE(dynamic_cast<ClassManagerActor *>(made), nullptr);
    EXPECT_EQ(made->HandleCommand(cmd::base::Create, ParamBlock(&source, sizeof(source))), 1);
    EXPECT_EQ(made->position.x, 0.0f);
    EXPECT_EQ(made->userWord, 0u);
    EXPECT_EQ(made->name, "made");
    EXPECT_EQ(made->parent, scenery);
}

} // namespace
