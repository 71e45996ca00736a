// The File actor: its sheet and commands, the weighted choice of a file with
// the level-wide counts, loading the chosen file below itself, saving its
// children back and its file record.
#include <algorithm>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "../../core/actors/actor_file_bytes.h"
#include "actors/world/file_actor.h"
#include "base/file_system.h"
#include "base/random.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/param_builder.h"
#include "core/script/script_compiler.h"
#include "library/resource_library.h"
#include "support/scene_harness.h"
#include "support/temp_folder.h"

namespace {

std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One actor of a file to write: class, name, index of its parent in the
// list (-1: the top), the files of a File actor.
struct Entry {
    uint32_t classId;
    std::string name;
    int parent = -1;
    std::vector<std::string> files = {};
};

class FileActorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetActorWorldForTests();
        ASSERT_EQ(InitActorSystem(), 1);
        system = GetActorSystem();
        system->baseFolder = folder.Path();
        std::filesystem::create_directories(folder / "Data");
        scenery = GetActorById(kSceneryRootId);
        SeedRand(1);
    }
    void TearDown() override { ResetActorWorldForTests(); }

    FileActor *MakeFile(const char *name, Actor *parent, int32_t id,
                        const std::vector<std::string> &files = {}) {
        auto *file = static_cast<FileActor *>(CreateActor(5, name, nullptr, parent, id, false));
        for (const std::string &f : files) {
            SendCommandArgs(file, 493, f);
        }
        return file;
    }

    // Writes Data/<file> with SaveActors: ids from 3000, parent 2 at the top.
    void WriteFile(const std::string &file, const std::vector<Entry> &entries) {
        std::vector<Actor *> made;
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry &e = entries[i];
            Actor *parent = e.parent < 0 ? scenery : made[static_cast<size_t>(e.parent)];
            Actor *actor = CreateActor(static_cast<int32_t>(e.classId), e.name, nullptr, parent,
                                       static_cast<int32_t>(3000 + i), false);
            ASSERT_NE(actor, nullptr);
            for (const std::string &f : e.files) {
                SendCommandArgs(actor, 493, f);
            }
            made.push_back(actor);
        }
        ASSERT_EQ(SaveActors(folder / ("Data/" + file), 3000,
                             static_cast<uint32_t>(3000 + entries.size()), kSerializeSave),
                  1);
        for (auto it = made.rbegin(); it != made.rend(); ++it) {
            if (GetActorById(static_cast<uint32_t>((*it)->actorId)) == *it) {
                DeleteActor(*it);
            }
        }
    }

    static std::vector<std::string> Names(const Actor *actor) {
        std::vector<std::string> names;
        for (const Actor *child : actor->children) {
            names.push_back(child->name);
        }
        return names;
    }

    TempFolder folder;
    ActorSystem *system = nullptr;
    Actor *scenery = nullptr;
};

TEST_F(FileActorTest, DescriptorConstructorAndCreate) {
    const ActorClassDescriptor &d = ClassDescriptorTable.at(5);
    EXPECT_EQ(d.name, "File");
    EXPECT_EQ(d.description,
              "File Actor is a placeholder in the hirarchy where to insert object from a actorfile "
              "(*.qva), it can hold multiple file names, and randomly select different files on "
              "construction.");
    EXPECT_EQ(d.lineage, (std::vector<uint32_t>{0, 5}));
    struct Row {
        const char *label;
        PropertyKind kind;
        uint32_t set, get;
    };
    const Row rows[] = {
        {"File Properties", PropertyKind::PageTitle, 0, 0},
        {"Files:", PropertyKind::ListSelector, 495, 496},
        {"Add Actor File:|Add File|Actor File (*.qva) |*.qva|||", PropertyKind::OpenFileDialog, 493,
         0},
        {"Remove Selected File:|Remove File|", PropertyKind::Button, 512, 0},
        {"Set Rand Weight.", PropertyKind::Caption, 0, 0},
        {"Value:", PropertyKind::WholeNumber, 497, 498},
        {"Set Maximum Count In Scene. ( 0 = no limit )", PropertyKind::Caption, 0, 0},
        {"Value:", PropertyKind::WholeNumber, 499, 500},
        {"Load Selected File:|Load|", PropertyKind::Button, 508, 0},
        {"Unload File:|Unload|", PropertyKind::Button, 511, 0},
        {"Save Loaded File:|Save|", PropertyKind::Button, 509, 0},
        {"Save Loaded File As:|Save As|Actor File (*.qva) |*.qva|||", PropertyKind::SaveFileDialog,
         510, 494},
        {"Set Procent Off No File Loading", PropertyKind::Caption, 0, 0},
        {"Procent:", PropertyKind::WholeNumber, 501, 502},
        {"Auto Load:", PropertyKind::CheckBox, 505, 506},
        {"Always Reload: (Never Save)", PropertyKind::CheckBox, 503, 504},
    };
    ASSERT_EQ(d.items.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(d.items[i].label, rows[i].label) << i;
        EXPECT_EQ(d.items[i].kind, rows[i].kind) << i;
        EXPECT_EQ(d.items[i].setCommand, rows[i].set) << i;
        EXPECT_EQ(d.items[i].getCommand, rows[i].get) << i;
    }

    FileActor *f = MakeFile("F", scenery, 3000, {"a.qva", "b.qva"});
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::tuple(f->classId, f->spareWord, f->selectedFile, f->loaded, f->alwaysReload,
                         f->autoLoad, f->noFilePercent),
              std::tuple(5u, 0u, -1, 0u, 0u, 1u, 0u));
    f->spareWord = 7;
    f->weights = {3, 9};
    f->maxCounts = {2, 0};
    f->selectedFile = 1;
    f->loaded = 1;
    f->alwaysReload = 1;
    f->autoLoad = 0;
    f->noFilePercent = 40;
    f->position = {1, 2, 3};
    auto *copy = static_cast<FileActor *>(CreateActor(5, "copy", f, scenery, 3001, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->fileNames, f->fileNames);
    EXPECT_EQ(copy->weights, f->weights);
    EXPECT_EQ(copy->maxCounts, f->maxCounts);
    EXPECT_EQ(std::tuple(copy->spareWord, copy->selectedFile, copy->loaded, copy->alwaysReload,
                         copy->autoLoad, copy->noFilePercent, copy->position.y),
              std::tuple(7u, 1, 1u, 1u, 0u, 40u, 2.0f));
}

TEST_F(FileActorTest, ListCommands) {
    std::filesystem::create_directories(folder / "Data");
    std::ofstream(folder / "Data/Crate.qva") << "x";
    FileActor *f = MakeFile("F", scenery, 3000, {"old.qva"});
    // "Set Resource" takes a name without extension, only when the file is there.
    EXPECT_EQ(SendCommandArgs(f, 91, std::string("Missing")), 0);
    EXPECT_EQ(f->fileNames, std::vector<std::string>{"old.qva"});
    EXPECT_EQ(SendCommandArgs(f, 91, std::string("Crate")), 1);
    EXPECT_EQ(f->fileNames, std::vector<std::string>{"Crate.qva"});
    EXPECT_EQ(f->weights, std::vector<uint32_t>{1});
    EXPECT_EQ(f->maxCounts, std::vector<uint32_t>{0});

    SendCommandArgs(f, 493, std::string("b.qva"));
    SendCommandArgs(f, 493, std::string("Crate.qva"));
    // Without a selection the selected-file commands do nothing.
    char name[32] = "unchanged";
    f->HandleCommand(494, ParamBlock(name, sizeof(name)));
    EXPECT_STREQ(name, "unchanged");
    uint32_t value = 55;
    f->HandleCommand(497, ParamBlock(&value, 4));
    EXPECT_EQ(f->weights, (std::vector<uint32_t>{1, 1, 1}));

    SendCommandArgs(f, 495, std::string("Crate.qva")); // the last equal name wins
    EXPECT_EQ(f->selectedFile, 2);
    SendCommandArgs(f, 495, std::string("none.qva"));
    EXPECT_EQ(f->selectedFile, 2);
    f->HandleCommand(494, ParamBlock(name, sizeof(name)));
    EXPECT_STREQ(name, "Crate.qva");
    std::vector<std::string> list = {"x"};
    std::vector<std::string> *out = &list;
    f->HandleCommand(496, ParamBlock(&out, sizeof(out)));
    EXPECT_EQ(list, f->fileNames);
    out = &f->fileNames; // its own vector: nothing happens
    f->HandleCommand(496, ParamBlock(&out, sizeof(out)));
    EXPECT_EQ(f->fileNames.size(), 3u);

    for (auto [in, stored] : {std::pair{0u, 1u}, {500u, 100u}, {37u, 37u}}) {
        value = in;
        f->HandleCommand(497, ParamBlock(&value, 4));
        value = 0;
        f->HandleCommand(498, ParamBlock(&value, 4));
        EXPECT_EQ(value, stored);
    }
    value = 123456; // the maximum is not checked
    f->HandleCommand(499, ParamBlock(&value, 4));
    value = 0;
    f->HandleCommand(500, ParamBlock(&value, 4));
    EXPECT_EQ(value, 123456u);
    value = 250;
    f->HandleCommand(501, ParamBlock(&value, 4));
    EXPECT_EQ(f->noFilePercent, 100u);
    for (auto [set, get, field] :
         {std::tuple{503u, 504u, &f->alwaysReload}, std::tuple{505u, 506u, &f->autoLoad}}) {
        value = 1;
        f->HandleCommand(set, ParamBlock(&value, 4));
        EXPECT_EQ(*field, 1u);
        value = 0;
        f->HandleCommand(set, ParamBlock(&value, 4));
        value = 9;
        f->HandleCommand(get, ParamBlock(&value, 4));
        EXPECT_EQ(value, 0u);
    }

    // Deleting the middle one of three keeps the others' own values.
    f->weights = {10, 20, 30};
    f->maxCounts = {1, 2, 3};
    f->selectedFile = 1;
    EXPECT_EQ(SendCommandArgs(f, 512), 1);
    EXPECT_EQ(f->fileNames, (std::vector<std::string>{"Crate.qva", "Crate.qva"}));
    EXPECT_EQ(f->weights, (std::vector<uint32_t>{10, 30}));
    EXPECT_EQ(f->maxCounts, (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(f->selectedFile, 1);

    // "nO Spawned" neither lists the File actor nor its children.
    CreateActor(0, "child", nullptr, f, 3001, false);
    std::vector<Actor *> spawned;
    std::vector<Actor *> *spawnedOut = &spawned;
    EXPECT_EQ(f->HandleCommand(346, ParamBlock(&spawnedOut, sizeof(spawnedOut))), 0);
    EXPECT_TRUE(spawned.empty());
}

TEST_F(FileActorTest, SaveMarkKeepsChildrenOutWithAlwaysReload) {
    FileActor *f = MakeFile("F", scenery, 3000);
    Actor *child = CreateActor(0, "c", nullptr, f, 3001, false);
    Actor *grandchild = CreateActor(0, "g", nullptr, child, 3002, false);
    uint32_t on = 1;
    f->flags &= ~kActorSaved;
    f->alwaysReload = 1;
    EXPECT_EQ(f->HandleCommand(246, ParamBlock(&on, 4)), 1);
    EXPECT_TRUE(f->HasFlag(kActorSaved));
    EXPECT_FALSE(child->HasFlag(kActorSaved));
    EXPECT_FALSE(grandchild->HasFlag(kActorSaved));
    // Without it the base handler marks the whole subtree.
    f->alwaysReload = 0;
    f->HandleCommand(246, ParamBlock(&on, 4));
    EXPECT_TRUE(child->HasFlag(kActorSaved) && grandchild->HasFlag(kActorSaved));
}

// Picks with the draws of a fixed seed.
TEST_F(FileActorTest, ChooseFileByWeight) {
    FileActor f;
    f.fileNames = {"a.qva", "b.qva"};
    f.weights = {1, 3};
    f.maxCounts = {0, 0};
    std::map<int32_t, int> picks;
    for (int i = 0; i < 4000; ++i) {
        EXPECT_EQ(f.ChooseFile(), 1);
        ++picks[f.selectedFile];
    }
    EXPECT_NEAR(picks[0], 1000, 200);
    EXPECT_NEAR(picks[1], 3000, 200);
    EXPECT_TRUE(FileCountTable.empty());

    // One file at 0 % is chosen without a draw and never counted.
    f.fileNames = {"a.qva"};
    f.weights = {0};
    f.maxCounts = {1};
    SeedRand(5);
    const int next = Rand();
    SeedRand(5);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(f.ChooseFile(), 1);
        EXPECT_EQ(f.selectedFile, 0);
    }
    EXPECT_EQ(Rand(), next);
    EXPECT_TRUE(FileCountTable.empty());

    // 100 % never gives a file and counts nothing.
    f.fileNames = {"a.qva", "b.qva"};
    f.weights = {1, 1};
    f.maxCounts = {1, 1};
    f.noFilePercent = 100;
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(f.ChooseFile(), 0);
        EXPECT_EQ(f.selectedFile, -1);
    }
    EXPECT_TRUE(FileCountTable.empty());
}

TEST_F(FileActorTest, MaximumCountsAcrossTheLevel) {
    // Max count 2 over three File actors of two files each.
    auto actor = [](std::vector<uint32_t> weights) {
        auto f = std::make_unique<FileActor>();
        f->fileNames = {"crate.qva", "barrel.qva"};
        f->weights = std::move(weights);
        f->maxCounts = {2, 0};
        return f;
    };
    // The barrel has no ticket: the crate is drawn until it is at its limit.
    auto first = actor({1, 0});
    EXPECT_EQ(first->ChooseFile(), 1);
    ASSERT_EQ(FileCountTable.size(), 1u);
    EXPECT_EQ(
        std::tuple(FileCountTable[0].fileName, FileCountTable[0].max, FileCountTable[0].count),
        std::tuple(std::string("crate.qva"), 2u, 1u));
    auto second = actor({1, 0});
    EXPECT_EQ(second->ChooseFile(), 1);
    EXPECT_EQ(FileCountTable[0].count, 2u);
    // The third finds the crate at its limit, drops that ticket and draws
    // again from the rest.
    auto third = actor({1, 1});
    for (uint32_t seed = 1;; ++seed) {
        SeedRand(seed);
        const int r = Rand();
        if (r % 2 == 0) { // the crate's ticket comes first
            SeedRand(seed);
            break;
        }
    }
    EXPECT_EQ(third->ChooseFile(), 1);
    EXPECT_EQ(third->selectedFile, 1);
    ASSERT_EQ(FileCountTable.size(), 1u);
    EXPECT_EQ(FileCountTable[0].count, 2u);

    // Max count 1 on every file: once each is used, no file is left.
    FileCountTable.clear();
    auto limited = [] {
        auto f = std::make_unique<FileActor>();
        f->fileNames = {"a.qva", "b.qva"};
        f->weights = {2, 1};
        f->maxCounts = {1, 1};
        return f;
    };
    std::vector<std::unique_ptr<FileActor>> files;
    int chosen = 0;
    for (int i = 0; i < 4; ++i) {
        files.push_back(limited());
        chosen += files.back()->ChooseFile();
    }
    EXPECT_EQ(chosen, 2);
    EXPECT_EQ(files[2]->selectedFile, -1);
    EXPECT_EQ(files[3]->selectedFile, -1);
    ASSERT_EQ(FileCountTable.size(), 2u);
    EXPECT_EQ(FileCountTable[0].count + FileCountTable[1].count, 2u);
}

// Every weight 0 (possible only from a file) leaves nothing to draw.
TEST_F(FileActorTest, NoTicketsGiveNoFile) {
    FileActor f;
    f.fileNames = {"a.qva", "b.qva"};
    f.weights = {0, 0};
    f.maxCounts = {0, 0};
    f.selectedFile = 1;
    SeedRand(3);
    const int next = Rand();
    SeedRand(3);
    EXPECT_EQ(f.ChooseFile(), 0);
    EXPECT_EQ(f.selectedFile, -1);
    EXPECT_EQ(Rand(), next);
}

// Weights read from a file may be anything: the draw must not need memory in
// proportion to them, and it picks by the weights' sums as a ticket list would.
TEST_F(FileActorTest, HugeWeightsAreDrawnWithoutAListOfTickets) {
    FileActor f;
    f.fileNames = {"a.qva", "b.qva", "c.qva"};
    f.weights = {0xFFFFFFFFu, 0, 0xFFFFFFFFu};
    f.maxCounts = {0, 0, 0};
    std::vector<int32_t> chosen;
    for (uint32_t seed = 1; seed <= 50; ++seed) {
        SeedRand(seed);
        const uint64_t r = static_cast<uint64_t>(Rand()) % (2 * 0xFFFFFFFFull);
        SeedRand(seed);
        EXPECT_EQ(f.ChooseFile(), 1);
        EXPECT_EQ(f.selectedFile, r < 0xFFFFFFFFull ? 0 : 2);
        chosen.push_back(f.selectedFile);
    }
    EXPECT_EQ(std::count(chosen.begin(), chosen.end(), 1), 0);

    // A file at its limit loses all its tickets at once: the other is taken
    // at the next draw, however heavy the first one was.
    f.maxCounts = {1, 0, 0};
    FileCountTable.push_back({"a.qva", 1, 1});
    SeedRand(1);
    EXPECT_EQ(f.ChooseFile(), 1);
    EXPECT_EQ(f.selectedFile, 2);
    FileCountTable.clear();
}

TEST_F(FileActorTest, LoadUnderFreshIdsOnceUnlessAlwaysReload) {
    WriteFile("crate.qva", {{0, "Crate"}, {0, "Lid", 0}, {0, "Side"}});
    FileActor *f = MakeFile("F", scenery, 3500, {"crate.qva"});
    f->selectedFile = 0;
    EXPECT_EQ(SendCommand(3500, 508, ParamBlock()), 1u);
    EXPECT_EQ(system->GetFileVersion(), kNoFileVersion);
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    EXPECT_EQ(f->loaded, 1u);
    ASSERT_EQ(Names(f), (std::vector<std::string>{"Crate", "Side"}));
    EXPECT_EQ(f->children[0]->actorId, 8000);
    EXPECT_EQ(f->children[1]->actorId, 8002);
    EXPECT_EQ(GetActorById(8001)->parent, GetActorById(8000));

    // Loaded once: a second 508 leaves the same actors.
    EXPECT_EQ(SendCommand(3500, 508, ParamBlock()), 1u);
    ASSERT_EQ(f->children.size(), 2u);
    EXPECT_EQ(f->children[0]->actorId, 8000);

    // Always reload: the children go and come again each time.
    f->alwaysReload = 1;
    EXPECT_EQ(SendCommand(3500, 508, ParamBlock()), 1u);
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    EXPECT_EQ(Names(f), (std::vector<std::string>{"Crate", "Side"}));
    size_t tableActors = 0;
    for (Actor *a : ActorTable) {
        tableActors += a != nullptr && a->name == "Crate" ? 1 : 0;
    }
    EXPECT_EQ(tableActors, 1u);

    // 511 unloads; 513 reloads only for the selected file's name.
    EXPECT_EQ(SendCommand(3500, 511, ParamBlock()), 1u);
    EXPECT_TRUE(f->children.empty());
    EXPECT_EQ(f->loaded, 0u);
    f->alwaysReload = 0;
    SendCommand(3500, 508, ParamBlock());
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    ASSERT_FALSE(f->children.empty());
    const int32_t before = f->children[0]->actorId;
    SendCommandArgs(f, 513, std::string("other.qva"));
    ASSERT_EQ(f->children.size(), 2u);
    EXPECT_EQ(f->children[0]->actorId, before);
    SendCommandArgs(f, 513, std::string("crate.qva"));
    EXPECT_EQ(f->loaded, 1u);
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    EXPECT_EQ(Names(f), (std::vector<std::string>{"Crate", "Side"}));
}

// Every unload goes through "Unload Fileobject", which spies and scripts
// bound to it see: the in-game load's, the reload's and the load's own.
TEST_F(FileActorTest, LoadsAndReloadsUnloadThroughTheirCommand) {
    WriteFile("crate.qva", {{0, "Crate"}});
    FileActor *f = MakeFile("F", scenery, 3500, {"crate.qva"});
    f->selectedFile = 0;
    scene::SpyLog spies;
    spies.Watch(f);
    const auto unloads = [&] {
        const size_t count = spies.Count("F", cmd::file::UnloadFileobject);
        spies.Take();
        return count;
    };
    EXPECT_EQ(SendCommand(3500, 507, ParamBlock()), 1u);
    EXPECT_EQ(unloads(), 1u);
    // 513 sends 511, then 508, which unloads once more before it loads.
    SendCommandArgs(f, 513, std::string("crate.qva"));
    EXPECT_EQ(unloads(), 2u);
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    EXPECT_EQ(Names(f), std::vector<std::string>{"Crate"});
    // Loaded already: 508 leaves the children alone.
    SendCommand(3500, 508, ParamBlock());
    EXPECT_EQ(unloads(), 0u);
    f->alwaysReload = 1;
    SendCommand(3500, 508, ParamBlock());
    EXPECT_EQ(unloads(), 1u);
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    EXPECT_EQ(Names(f), std::vector<std::string>{"Crate"});
}

// The data folder is the actor system's: a library with a folder of its
// own (one a test or a tool left installed) changes nothing, and stands in
// only while the system has no folder.
TEST_F(FileActorTest, DataFolderIsTheActorSystemsBeforeTheLibrarys) {
    WriteFile("crate.qva", {{0, "Crate"}});
    ResourceLibrary *previous = ReplaceLibraryForTests(nullptr);
    std::string alone;
    ASSERT_TRUE(DataFilePath("crate.qva", &alone));

    ResourceLibrary library;
    library.SetBaseFolder("elsewhere");
    ReplaceLibraryForTests(&library);
    std::string beside;
    EXPECT_TRUE(DataFilePath("crate.qva", &beside));
    EXPECT_EQ(beside, alone);
    FileActor *f = MakeFile("F", scenery, 3500, {"crate.qva"});
    f->selectedFile = 0;
    EXPECT_EQ(SendCommand(3500, 508, ParamBlock()), 1u);
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    EXPECT_EQ(Names(f), std::vector<std::string>{"Crate"});

    system->baseFolder.clear();
    std::string fromLibrary;
    EXPECT_TRUE(DataFilePath("crate.qva", &fromLibrary));
    EXPECT_NE(fromLibrary, alone);
    EXPECT_NE(fromLibrary.find("elsewhere"), std::string::npos) << fromLibrary;
    ReplaceLibraryForTests(previous);
}

TEST_F(FileActorTest, MissingFileAndNoSelection) {
    FileActor *f = MakeFile("F", scenery, 3500, {"missing.qva"});
    f->selectedFile = 0;
    EXPECT_EQ(SendCommand(3500, 508, ParamBlock()), 0u);
    EXPECT_EQ(f->loaded, 0u);
    EXPECT_EQ(SendCommand(3500, 507, ParamBlock()), 0u);
    EXPECT_EQ(f->loaded, 0u);
    // No valid selection: marked loaded, nothing read.
    f->selectedFile = -1;
    EXPECT_EQ(SendCommand(3500, 508, ParamBlock()), 1u);
    EXPECT_EQ(f->loaded, 1u);
    EXPECT_TRUE(f->children.empty());
}

// A name with a ".." component or an absolute one answers 0: nothing is
// read or written.
TEST_F(FileActorTest, NamesLeavingTheDataFolderAreRefused) {
    WriteFile("crate.qva", {{0, "Crate"}});
    std::filesystem::copy_file(folder / "Data/crate.qva", folder / "outside.qva");
    const std::vector<std::string> names = {"..\\outside.qva", "sub/../../outside.qva",
                                            folder / "outside.qva"};
    FileActor *f = MakeFile("F", scenery, 3500, names);
    for (int32_t i = 0; i < 3; ++i) {
        f->selectedFile = i;
        EXPECT_EQ(SendCommand(3500, 507, ParamBlock()), 0u) << i;
        EXPECT_EQ(SendCommand(3500, 508, ParamBlock()), 0u) << i;
        EXPECT_TRUE(f->children.empty());
        // "Set Resource" adds the extension itself; the list stays.
        EXPECT_EQ(SendCommandArgs(f, 91, names[i].substr(0, names[i].size() - 4)), 0);
        EXPECT_EQ(f->fileNames, names);
    }
    f->loaded = 1;
    CreateActor(0, "A", nullptr, f, 3501, false);
    EXPECT_EQ(SendCommand(3500, 509, ParamBlock()), 0u);
    EXPECT_EQ(SendCommandArgs(f, 510, std::string("..\\saved.qva")), 0);
    EXPECT_EQ(SendCommandArgs(f, 510, folder / "saved.qva"), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "saved.qva"));
    EXPECT_EQ(SendCommandArgs(f, 510, std::string("saved.qva")), 1);
    EXPECT_TRUE(std::filesystem::exists(folder / "Data/saved.qva"));
}

TEST_F(FileActorTest, NestedFilesAndInGameLoad) {
    WriteFile("inner.qva", {{0, "Inner"}});
    WriteFile("outer.qva", {{0, "Outer"}, {5, "Nested", -1, {"inner.qva"}}});
    FileActor *f = MakeFile("F", scenery, 3500, {"outer.qva"});
    f->selectedFile = 0;
    EXPECT_EQ(SendCommand(3500, 507, ParamBlock()), 1u);
    // In game: the tree is built and the new actors precalculated at once.
    ASSERT_EQ(Names(f), (std::vector<std::string>{"Outer", "Nested"}));
    EXPECT_TRUE(f->children[0]->HasFlag(kActorPrecalculated));
    Actor *nested = f->children[1];
    EXPECT_EQ(Names(nested), std::vector<std::string>{"Inner"});
    EXPECT_EQ(static_cast<FileActor *>(nested)->loaded, 1u);

    // "Unload All Fileobjects" and "Load All Fileobjects" reach every one.
    EXPECT_EQ(SendCommand(0, 365, ParamBlock()), 1u);
    EXPECT_TRUE(f->children.empty());
    EXPECT_EQ(f->loaded, 0u);
    EXPECT_EQ(SendCommand(0, 364, ParamBlock()), 1u);
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    ASSERT_EQ(Names(f), (std::vector<std::string>{"Outer", "Nested"}));
    EXPECT_EQ(Names(f->children[1]), std::vector<std::string>{"Inner"});
}

// A.qva holds a File actor of B.qva, which holds one of A.qva again.
TEST_F(FileActorTest, FilesIncludingThemselvesAreRefused) {
    WriteFile("A.qva", {{0, "InA"}, {5, "ToB", -1, {"B.qva"}}});
    WriteFile("B.qva", {{0, "InB"}, {5, "ToA", -1, {"a.QVA"}}});
    FileActor *f = MakeFile("F", scenery, 3500, {"A.qva"});
    f->selectedFile = 0;
    EXPECT_EQ(SendCommand(3500, 508, ParamBlock()), 1u);
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    ASSERT_EQ(Names(f), (std::vector<std::string>{"InA", "ToB"}));
    Actor *toB = f->children[1];
    ASSERT_EQ(Names(toB), (std::vector<std::string>{"InB", "ToA"}));
    auto *toA = static_cast<FileActor *>(toB->children[1]);
    EXPECT_TRUE(toA->children.empty());
    EXPECT_EQ(toA->loaded, 0u);
    // Once the outer load is over, the same file loads again elsewhere.
    FileActor *g = MakeFile("G", scenery, 3501, {"B.qva"});
    g->selectedFile = 0;
    EXPECT_EQ(SendCommand(3501, 508, ParamBlock()), 1u);
}

// A loaded child's script unloads its File actor: the run keeps its actor
// alive until it returns.
TEST_F(FileActorTest, UnloadFromAChildsScriptIsDeferred) {
    WriteFile("crate.qva", {{0, "Crate"}, {0, "Lid", 0}});
    FileActor *f = MakeFile("F", scenery, 3500, {"crate.qva"});
    f->selectedFile = 0;
    ASSERT_EQ(SendCommand(3500, 508, ParamBlock()), 1u);
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    ASSERT_EQ(f->children.size(), 1u);
    Actor *crate = f->children[0];
    auto script = std::make_unique<ScriptRecord>();
    script->name = "gone";
    script->eventId = 345;
    script->source = "parent.Unload_Fileobject(); this.Set_Name(\"after\");";
    script->owner = crate;
    std::string message;
    size_t position = 0;
    ASSERT_NE(CompileScript(script.get(), crate, &message, &position), 0) << message;
    crate->scripts.push_back(std::move(script));
    SendCommand(static_cast<uint32_t>(crate->actorId), 345, ParamBlock());
    EXPECT_TRUE(f->children.empty());
    EXPECT_EQ(f->loaded, 0u);
    EXPECT_EQ(GetActorById(8000), nullptr);
    EXPECT_EQ(GetActorById(8001), nullptr);
}

TEST_F(FileActorTest, SaveWritesTheChildrenWithoutFileActors) {
    FileActor *f = MakeFile("F", scenery, 3500, {"props.qva"});
    f->selectedFile = 0;
    f->loaded = 1;
    Actor *a = CreateActor(0, "A", nullptr, f, 3501, false);
    CreateActor(0, "A1", nullptr, a, 3502, false);
    CreateActor(0, "A2", nullptr, a, 3503, false);
    FileActor *inner = MakeFile("Fi", f, 3504, {"x.qva"});
    CreateActor(0, "X", nullptr, inner, 3505, false);
    CreateActor(0, "B", nullptr, f, 3506, false);
    EXPECT_EQ(SendCommand(3500, 509, ParamBlock()), 1u);
    // Nothing of the actors changed.
    EXPECT_EQ(std::tuple(a->actorId, a->parent, a->parentId), std::tuple(3501, f, 3500));

    const std::string bytes = ReadAll(folder / "Data/props.qva");
    FileBytes expected;
    expected.Header(70, 4, 3000, 4);
    DefaultActorRecord(expected, 0, 3000, 2, "A");
    DefaultActorRecord(expected, 0, 3001, 2, "B");
    DefaultActorRecord(expected, 0, 3002, 3000, "A1");
    DefaultActorRecord(expected, 0, 3003, 3000, "A2");
    EXPECT_EQ(bytes, expected.str());

    // The file reads back into the same tree.
    f->HandleCommand(511, ParamBlock());
    ASSERT_EQ(SendCommand(3500, 508, ParamBlock()), 1u);
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    ASSERT_EQ(Names(f), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(Names(f->children[0]), (std::vector<std::string>{"A1", "A2"}));

    // "Save as" a file that cannot be made answers 0 and keeps what is there.
    std::filesystem::create_directories(folder / "Data/taken.qva");
    std::ofstream(folder / "Data/taken.qva/keep") << "old";
    const std::string taken = "taken.qva";
    EXPECT_EQ(f->SaveFileObject(&taken), 0);
    EXPECT_EQ(ReadAll(folder / "Data/taken.qva/keep"), "old");
    const std::string noFolder = "no\\folder.qva";
    EXPECT_EQ(f->SaveFileObject(&noFolder), 0);
    EXPECT_EQ(ReadAll(folder / "Data/props.qva"), expected.str());
    // Not loaded: nothing is written.
    f->loaded = 0;
    const std::string other = "other.qva";
    EXPECT_EQ(f->SaveFileObject(&other), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "Data/other.qva"));
}

// "Save Fileobject" and "save as" answer 0 whenever no file was written.
TEST_F(FileActorTest, SavesThatWriteNothingAnswerZero) {
    FileActor *f = MakeFile("F", scenery, 3500, {"no\\folder.qva"});
    f->selectedFile = 0;
    f->loaded = 1;
    CreateActor(0, "A", nullptr, f, 3501, false);
    EXPECT_EQ(SendCommand(3500, 509, ParamBlock()), 0u);
    EXPECT_EQ(SendCommandArgs(f, 510, std::string("missing/props.qva")), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "Data/no"));
    EXPECT_FALSE(std::filesystem::exists(folder / "Data/missing"));
    // Not loaded, or no file selected: nothing is written either.
    f->loaded = 0;
    EXPECT_EQ(SendCommandArgs(f, 510, std::string("props.qva")), 0);
    f->loaded = 1;
    f->selectedFile = -1;
    EXPECT_EQ(SendCommand(3500, 509, ParamBlock()), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder / "Data/props.qva"));
    // A save that writes answers 1.
    f->selectedFile = 0;
    EXPECT_EQ(SendCommandArgs(f, 510, std::string("props.qva")), 1);
    EXPECT_TRUE(std::filesystem::exists(folder / "Data/props.qva"));
}

class FileRecordTest : public FileActorTest {
  protected:
    // The base record of a default File actor at the version, then `tail`.
    std::string Record(uint32_t version, const FileBytes &tail) {
        const std::string path = folder / "base.bin";
        {
            Archive archive;
            EXPECT_TRUE(archive.Open(path, "wb"));
            archive.SetVersion(version);
            Actor plain;
            plain.classId = 5;
            plain.actorId = 3000;
            plain.parentId = 2;
            plain.Serialize(archive, kSerializeSave);
            EXPECT_EQ(archive.Close(), 0);
        }
        return ReadAll(path) + tail.str();
    }
    // Reads the bytes at the version into a fresh File actor.
    int Read(uint32_t version, const std::string &bytes, FileActor *f) {
        Archive archive;
        EXPECT_TRUE(archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
        archive.SetVersion(version);
        // The base record starts with the class and id, which the loader reads.
        archive.SerializeU32(0);
        archive.SerializeU32(0);
        return f->Serialize(archive, kSerializeLoad);
    }
};

TEST_F(FileRecordTest, WritesItsFieldsAtVersion70) {
    FileActor *f = MakeFile("F", scenery, 3000, {"a.qva", "bb.qva"});
    f->spareWord = 9;
    f->weights = {4, 100};
    f->maxCounts = {0, 3};
    f->noFilePercent = 25;
    f->loaded = 1;
    f->alwaysReload = 1;
    f->autoLoad = 0;
    const std::string path = folder / "f.bin";
    {
        Archive archive;
        ASSERT_TRUE(archive.Open(path, "wb"));
        archive.SetVersion(70);
        ASSERT_EQ(f->Serialize(archive, kSerializeSave), 1);
        ASSERT_EQ(archive.Close(), 0);
    }
    FileBytes tail;
    tail.U32(9).U32(2).U32(4).U32(0).Str("a.qva").U32(100).U32(3).Str("bb.qva");
    tail.U32(25).U32(1).U32(1).U32(0);
    const std::string bytes = ReadAll(path);
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail.str());

    // Read back (one file would skip the draw; two draw by weight).
    FileActor back;
    back.fileNames = {"stale"};
    EXPECT_EQ(Read(70, bytes, &back), 1);
    EXPECT_EQ(back.fileNames, f->fileNames);
    EXPECT_EQ(back.weights, f->weights);
    EXPECT_EQ(back.maxCounts, f->maxCounts);
    EXPECT_EQ(std::tuple(back.spareWord, back.noFilePercent, back.loaded, back.alwaysReload,
                         back.autoLoad),
              std::tuple(9u, 25u, 1u, 1u, 0u));
}

TEST_F(FileRecordTest, OlderVersionsReadWithTheirDefaults) {
    // Version 6: no weights, maxima or flags.
    FileBytes v6;
    v6.U32(0).U32(1).Str("one.qva");
    FileActor a;
    ASSERT_EQ(Read(6, Record(6, v6), &a), 1);
    EXPECT_EQ(a.fileNames, std::vector<std::string>{"one.qva"});
    EXPECT_EQ(std::tuple(a.weights[0], a.maxCounts[0], a.autoLoad, a.selectedFile),
              std::tuple(1u, 0u, 1u, 0));
    // Version 16: weights, no maxima.
    FileBytes v16;
    v16.U32(0).U32(1).U32(7).Str("one.qva").U32(0).U32(1).U32(0);
    FileActor b;
    ASSERT_EQ(Read(16, Record(16, v16), &b), 1);
    EXPECT_EQ(std::tuple(b.weights[0], b.maxCounts[0], b.loaded, b.autoLoad),
              std::tuple(7u, 0u, 1u, 1u));
    // Version 41: maxima, but no "Auto Load:".
    FileBytes v41;
    v41.U32(0).U32(1).U32(7).U32(5).Str("one.qva").U32(0).U32(0).U32(1);
    FileActor c;
    ASSERT_EQ(Read(41, Record(41, v41), &c), 1);
    EXPECT_EQ(std::tuple(c.weights[0], c.maxCounts[0], c.alwaysReload, c.autoLoad),
              std::tuple(7u, 5u, 1u, 1u));
}

// A file count that the bytes left cannot hold fails the read before any
// vector is sized by it.
TEST_F(FileRecordTest, CountsBeyondTheFileFail) {
    FileBytes huge;
    huge.U32(0).U32(0x10000000u).U32(1).U32(0).Str("x");
    FileActor f;
    EXPECT_EQ(Read(70, Record(70, huge), &f), 0);
    EXPECT_TRUE(f.fileNames.empty());
}

} // namespace
