#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "actors/characters/character_seams.h"
#include "actors/presentation/presentation_seams.h"
#include "actors/world/world_seams.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/subsystem_hooks.h"
#include "core/actors/actor_tree_dump.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/class_factory.h"
#include "core/actors/command_registry.h"
#include "core/actors/null_actor.h"
#include "world_fixture.h"

namespace {

std::string ReadGolden(const char *name) {
    const char *root = std::getenv("ENGINE_TEST_SOURCE_DIR");
    std::ifstream in(std::string(root ? root : ".") + "/tests/core/actors/data/" + name,
                     std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

using ActorSystemTest = ActorWorldTest;

TEST_F(ActorSystemTest, TreeAfterInitMatchesGolden) {
    std::string golden = ReadGolden("init_tree.txt");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(DumpActorTree(), golden);
}

TEST_F(ActorSystemTest, TableHoldsOnlyTheFixedActors) {
    ASSERT_EQ(ActorTable.size(), 8000u);
    for (size_t id = 0; id < ActorTable.size(); ++id) {
        bool fixed = id == 0 || id == 1 || id == 2 || id == 3 || id == 14 || id == 16;
        EXPECT_EQ(ActorTable[id] != nullptr, fixed) << "id " << id;
    }
    EXPECT_EQ(std::tuple(GetActorById(0), GetActorById(8000), GetActorById(0xFFFFFFFFu)),
              std::tuple(system, nullptr, nullptr));
    EXPECT_EQ(GetActorClassId(0), 1);
    EXPECT_EQ(GetActorClassId(16), 10);
    for (uint32_t id : {5u, 8000u, 0xFFFFFFFFu})
        EXPECT_EQ(GetActorClassId(id), -1) << id;
}

TEST_F(ActorSystemTest, FindActorByNameIsExact) {
    EXPECT_EQ(FindActorByName("Inventory", -1), GetActorById(16));
    EXPECT_EQ(FindActorByName("Inventory", 10), GetActorById(16));
    EXPECT_EQ(FindActorByName("Inventory", 6), nullptr);
    EXPECT_EQ(FindActorByName("inventory", -1), nullptr);
    EXPECT_EQ(FindActorByName("Actor System", -1), system);
    // The lowest id wins.
    Actor *second = Make("Global");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(FindActorByName("Global", -1), global);
    EXPECT_EQ(FindActorByName("Global", kRecorderClass), second);
}

TEST_F(ActorSystemTest, NullActorsAnswerOneAndChangeNothing) {
    NullActor *safe = GetNullActor(true);
    NullActor *plain = GetNullActor(false);
    ASSERT_NE(safe, plain);
    EXPECT_EQ(std::tuple(safe->name, plain->name), std::tuple("NULLACTOR(safe)", "NULLACTOR"));
    for (NullActor *actor : {safe, plain}) {
        EXPECT_EQ(std::tuple(actor->classId, actor->actorId), std::tuple(39u, -1));
        const std::string name = actor->name;
        const uint32_t flags = actor->flags;
        const Vector3 position = actor->position;
        uint8_t block[64] = {1, 2, 3, 4, 5, 6, 7, 8};
        for (uint32_t id = 0; id < GetCommandTable().size() + 10; ++id)
            ASSERT_EQ(actor->HandleCommand(id, ParamBlock(block, sizeof(block))), 1) << id;
        EXPECT_EQ(std::tuple(actor->name, actor->flags, actor->position.x),
                  std::tuple(name, flags, position.x));
        EXPECT_TRUE(actor->children.empty());
        EXPECT_EQ(actor->baseProcessEntry, nullptr);
        EXPECT_TRUE(actor->scheduledCommands.empty());
        EXPECT_EQ(block[0], 1);
    }
    // The null actors stay out of the table.
    EXPECT_EQ(FindActorByName("NULLACTOR", -1), nullptr);
}

TEST_F(ActorSystemTest, ConstructorValues) {
    EXPECT_EQ((std::vector<uint32_t>{system->networkSync, system->recordMode, system->difficultyLevel,
                                     system->frontEndCursor, system->GetFileVersion()}),
              (std::vector<uint32_t>{1, 0, 1, 1, 1}));
    EXPECT_EQ(system->globalSpeedMultiplier, 1.0f);
    const Vector4 &bar = system->loadBarColor, &text = system->loadBarTextColor;
    EXPECT_EQ((std::vector<float>{bar.x, bar.y, bar.z, bar.w, text.x, text.y, text.z, text.w}),
              (std::vector<float>{0.6f, 0.9f, 0.4f, 1, 1, 1, 1, 1}));
    EXPECT_EQ(std::tuple(RootTimeRecord()->owner, RootTimeRecord()->flags), std::tuple(system, 5u));
}

TEST_F(ActorSystemTest, RootsCarryTheirRangesAndFiles) {
    struct Expect {
        int32_t id;
        uint32_t first;
        uint32_t limit;
        const char *file;
    };
    for (const Expect &e :
         {Expect{1, 10, 2999, "Globals.qva"}, Expect{2, 3000, 6999, "Scenery.qva"},
          Expect{3, 7000, 7999, "Clipboard.qva"}}) {
        auto *root = dynamic_cast<FileIOActor *>(GetActorById(static_cast<uint32_t>(e.id)));
        ASSERT_NE(root, nullptr) << e.id;
        EXPECT_EQ(std::tuple(root->firstId, root->idLimit, root->fileName, root->parent),
                  std::tuple(e.first, e.limit, e.file, system));
    }
}

TEST_F(ActorSystemTest, Descriptors) {
    ASSERT_EQ(ClassDescriptorTable.size(), kClassCount);
    const ActorClassDescriptor &sys = ClassDescriptorTable[1];
    EXPECT_EQ(sys.name + "/" + sys.description, "Actor System/Actor System");
    EXPECT_EQ(sys.lineage, std::vector<uint32_t>{1});
    std::vector<std::string> items;
    for (const PropertyItem &item : sys.items) {
        items.push_back(std::to_string(static_cast<int>(item.kind)) + " " +
                        std::to_string(item.setCommand) + " " + std::to_string(item.getCommand));
        EXPECT_EQ(item.displayScale, 1.0f);
    }
    EXPECT_EQ(items, (std::vector<std::string>{"13 0 0", "12 0 0", "16 362 363", "12 0 0",
                                               "16 360 361", "12 0 0", "14 364 0", "14 365 0"}));
    EXPECT_EQ(sys.items[0].label, "Actor System");
    EXPECT_EQ(sys.items[2].label,
              "Meter:|4.0 m|0|3.0 m|1|2.0 m|2|1.5 m|3|1.0 m|4|0.5 m|5|0.25 m|6|0.1 m|7|0.05 m|8|");
    EXPECT_EQ(sys.items[4].label, "Meter:|4.0 m|0|3.0 m|1|1.0 m|2|");
    EXPECT_EQ(sys.items[7].label, "Unload All File Actors:|Unload|");
    const ActorClassDescriptor &cls = ClassDescriptorTable[8];
    EXPECT_EQ(cls.name + "/" + cls.description, "Class/Class Manager");
    EXPECT_EQ(cls.lineage, std::vector<uint32_t>{8});
    for (uint32_t id = 2; id < kClassCount; ++id) {
        if (id == 2 || id == 3 || id == 4 || id == 5 || id == 6 || id == 7 || id == 8 ||
            id == 9 || id == 10 || id == 11 || id == 13 || id == 14 || id == 15 || id == 16 || id == 17 || id == 18 || id == 19 ||
            id == 20 || id == 21 || id == 25 || id == 26 || id == 27 || id == 28 || id == 30 || id == 31 ||
            id == 33 || id == 34 || id == 35 || id == 36 || id == 44 || id == 45 || id == 37 || id == 38 || id == 39 || id == 40 || id == 41 || id == 42 || id == 43 || id == 46 || id == 47 ||
            id == 48 || id == 49 || id == 51 || id == 52 || id == 53) {
            continue; // built classes with sheets of their own
        }
        if (id == 29 || id == 32 || id == 50) {
            continue; // the AI Player, the AI Helper and the AI Player 2
        }
        const ActorClassDescriptor &d = ClassDescriptorTable[id];
        EXPECT_EQ(d.name, kActorClassNames[id].name) << id;
        EXPECT_EQ(d.description, kActorClassNames[id].description) << id;
        EXPECT_EQ(d.lineage, (std::vector<uint32_t>{0, id})) << id;
        EXPECT_TRUE(d.items.empty()) << id;
    }
    EXPECT_TRUE(ClassDescriptorTable[39].name.empty() && ClassDescriptorTable[39].lineage.empty());
    ActorClassDescriptor base;
    FillBaseClassDescriptor(base);
    EXPECT_EQ(ClassDescriptorTable[0].name, base.name);
    EXPECT_EQ(ClassDescriptorTable[0].lineage, base.lineage);
    EXPECT_EQ(ClassDescriptorTable[0].items.size(), base.items.size());
}

std::vector<uint32_t> g_registrations;

template <uint32_t Id> void RecordRegistration() { g_registrations.push_back(Id); }

template <size_t... Ids> void InstallRecorders(std::index_sequence<Ids...>) {
    ((Ids == 1 || Ids == 39
          ? void()
          : void(SetActorClassRowForTests(
                Ids, {Ids, GetActorClassRow(Ids).construct, &RecordRegistration<Ids>}))),
     ...);
}

TEST(ActorSystemInit, RegistrationsRunInStartUpOrder) {
    ResetActorWorldForTests();
    InstallRecorders(std::make_index_sequence<kClassCount>());
    g_registrations.clear();
    ASSERT_EQ(InitActorSystem(), 1);
    const std::vector<uint32_t> expected = {2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                            15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
                                            28, 29, 30, 31, 32, 33, 34, 35, 36, 38, 40, 42, 41,
                                            43, 37, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53};
    EXPECT_EQ(g_registrations, expected);
    ResetActorWorldForTests();
}

// A fixed actor that cannot be made ends start-up with 0.
TEST(ActorSystemInit, FailedFixedCreationFailsInit) {
    ResetActorWorldForTests();
    SetActorClassRowForTests(7, {7, nullptr, nullptr});
    EXPECT_EQ(InitActorSystem(), 0);
    ResetActorWorldForTests();
    // And the next start-up works again.
    EXPECT_EQ(InitActorSystem(), 1);
    EXPECT_EQ(GetActorClassId(14), 7);
    ResetActorWorldForTests();
}

TEST_F(ActorSystemTest, ErrorTextKeepsTheLastTextCutAt511) {
    EXPECT_EQ(SetActorSystemError(system, "first %d", 1), 0);
    EXPECT_STREQ(system->errorText, "first 1");
    SetActorSystemError(system, "%s", "second");
    EXPECT_STREQ(system->errorText, "second");
    std::string longText(2000, 'x');
    EXPECT_EQ(SetActorSystemError(system, "%s", longText.c_str()), 0);
    EXPECT_EQ(std::string(system->errorText), std::string(511, 'x'));
    EXPECT_EQ(SetActorSystemError(nullptr, "no system"), 0);
}

TEST_F(ActorSystemTest, IdsFromMinusOne) {
    Actor *first = Make("first");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::tuple(first->actorId, ActorTable.size()), std::tuple(8000, 8101u));
    Actor *second = Make("second");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(std::tuple(second->actorId, ActorTable.size()), std::tuple(8001, 8101u));
}

// Raw references held across the world drop an actor when it is destroyed.
TEST_F(ActorSystemTest, DestroyedActorsLeaveEveryRawReference) {
    Actor *menu = Make("menu");
    Actor *camera = CreateActor(19, "cam", nullptr, scenery, -1, false);
    Actor *group = Make("group");
    Actor *file = Make("file");
    ASSERT_TRUE(menu && camera && group && file);
    system->SetRunMode(1, menu, 0);
    CurrentCamera = dynamic_cast<CameraActor *>(camera);
    ASSERT_NE(CurrentCamera, nullptr);
    DrawGroupRegistry.push_back(group);

    EXPECT_EQ(DeleteActor(menu), 1);
    EXPECT_EQ(std::tuple(system->runMode, system->frontEndActor), std::tuple(0u, nullptr));

    EXPECT_EQ(DeleteActor(camera), 1);
    EXPECT_EQ(CurrentCamera, nullptr);
    UpdateCurrentCamera(); // skipped without a camera

    EXPECT_EQ(DeleteActor(group), 1);
    ASSERT_EQ(DrawGroupRegistry.size(), 3u);
    EXPECT_EQ(DrawGroupRegistry[2], nullptr);

    EXPECT_EQ(DeleteActor(file), 1);
}

TEST_F(ActorSystemTest, VisibleGroupsUpdateSceneryThenInventory) {
    Actor *a = Make("a");
    ASSERT_NE(a, nullptr);
    FrameCounter = 5;
    RootTimeRecord()->time = 2.5f;
    RootTimeRecord()->frameStamp = 5;
    // The core's own pass, without the world subsystem's walk.
    const WorldHooks installed = GetWorldHooks();
    WorldHooks withoutWalk = installed;
    withoutWalk.drawVisibleGroups = nullptr;
    withoutWalk.collisionPass = nullptr;
    InstallWorldHooks(withoutWalk);
    EXPECT_EQ(system->DrawVisibleGroups(0.01f), 1);
    EXPECT_EQ(std::tuple(a->currentTime, GetActorById(16)->currentTime), std::tuple(2.5f, 2.5f));
    EXPECT_EQ(GetActorById(14)->currentTime, 0.0f); // not in a visible group
    EXPECT_EQ(system->CollisionPass(0.01f), 1);
    InstallWorldHooks(installed);
}

TEST_F(ActorSystemTest, DumpListsOrphansAfterTheTree) {
    Actor *lost = Make("lost");
    ASSERT_NE(lost, nullptr);
    // Detached by hand, as a loaded actor before its tree is built.
    auto &list = scenery->children;
    list.erase(std::find(list.begin(), list.end(), lost));
    lost->parent = nullptr;
    lost->parentId = 2;
    std::string dump = DumpActorTree();
    EXPECT_NE(dump.find("\norphan id=8000 class=12 name=\"lost\" parent=2\n"), std::string::npos);
    EXPECT_EQ(dump.substr(dump.size() - 1), "\n");
    // Deleting it still works without a parent.
    EXPECT_EQ(DeleteActor(lost), 1);
}

} // namespace
