// The UVAnimation actor: collision switched by the action commands with the
// draw group re-entered around each switch, copies, and its file record.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "actors/presentation/uv_animation_actor.h"
#include "core/actors/actor_file_bytes.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/draw_group_hooks.h"
#include "presentation_fixture.h"

namespace {

using namespace presentationtest;

// What the draw-group hooks were asked, in order ('-' leave, '+' enter).
std::string g_groupCalls;

class UVAnimationTest : public PresentationTest {
  protected:
    void SetUp() override {
        PresentationTest::SetUp();
        g_groupCalls.clear();
        DrawGroupHooks hooks;
        hooks.removeActor = [](Actor *, uint32_t) { g_groupCalls += '-'; };
        hooks.addActor = [](Actor *, uint32_t) { g_groupCalls += '+'; };
        previousHooks = SetDrawGroupHooks(hooks);
    }
    void TearDown() override {
        SetDrawGroupHooks(previousHooks);
        PresentationTest::TearDown();
    }
    DrawGroupHooks previousHooks;
};

TEST_F(UVAnimationTest, ActionCommandsSwitchCollisionAroundADrawGroupReentry) {
    auto *actor = Make<UVAnimationActor>(kUVAnimationClassId, "uv");
    ASSERT_NE(actor, nullptr);
    actor->AddColObj(ColObj(actor));
    actor->flags &= ~kActorCollisionEnabled;
    actor->colObjs[0]->flags &= ~kColObjActive;

    // "Kill" switches collision on as "Action Start" does.
    for (uint32_t on : {211u, 213u}) {
        SCOPED_TRACE(on);
        actor->flags &= ~kActorCollisionEnabled;
        g_groupCalls.clear();
        SendCommandArgs(actor, on);
        EXPECT_TRUE(actor->HasFlag(kActorCollisionEnabled));
        EXPECT_EQ(actor->colObjs[0]->flags & kColObjActive, kColObjActive);
        EXPECT_EQ(g_groupCalls.front(), '-');
        EXPECT_EQ(g_groupCalls.back(), '+');
    }
    // A second start finds collision on: no re-entry.
    g_groupCalls.clear();
    SendCommandArgs(actor, 211);
    EXPECT_EQ(g_groupCalls.find('+'), std::string::npos);

    SendCommandArgs(actor, 212);
    EXPECT_FALSE(actor->HasFlag(kActorCollisionEnabled));
    EXPECT_EQ(actor->colObjs[0]->flags & kColObjActive, 0u);
}

TEST_F(UVAnimationTest, CreateFromASourceGoesThroughTheBaseHandler) {
    auto *source = Make<UVAnimationActor>(kUVAnimationClassId, "source");
    source->position = {5.0f, 6.0f, 7.0f};
    source->AddColObj(ColObj(source));
    source->scripts.push_back(std::make_unique<ScriptRecord>());
    source->scripts.back()->owner = source;
    source->scripts.back()->eventId = 211;
    source->scripts.back()->name = "started";
    CommandSpy *spy = nullptr;
    auto *copy = dynamic_cast<UVAnimationActor *>(
        CreateActor(kUVAnimationClassId, "copy", source, scenery, -1, true));
    ASSERT_NE(copy, nullptr);
    // The base takes the source's transform, collision objects and scripts.
    EXPECT_EQ(std::tuple(copy->position.x, copy->position.y, copy->position.z),
              std::tuple(5.0f, 6.0f, 7.0f));
    EXPECT_EQ(std::tuple(copy->colObjs.size(), copy->scripts.size()),
              std::tuple(size_t{1}, size_t{1}));
    spy = SpyOn(copy);
    EXPECT_EQ(copy->HandleCommand(158, ParamBlock(&source, sizeof(source))), 1);
    EXPECT_EQ(spy->Count(158), 1u);
    // So does a copy of the tree, as the Spawn Points make.
    Actor *tree = CopyActorTree(source, scenery);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(std::tuple(tree->position.z, tree->colObjs.size(), tree->scripts.size()),
              std::tuple(7.0f, size_t{1}, size_t{1}));
}

TEST_F(UVAnimationTest, ASavedUVAnimationKeepsItsChild) {
    auto *holder = Make<UVAnimationActor>(kUVAnimationClassId, "holder");
    Actor *child = CreateActor(0, "child", nullptr, holder, -1, true);
    holder->position = {1.0f, 2.0f, 3.0f};
    const auto first = static_cast<uint32_t>(holder->actorId);
    const int32_t childId = child->actorId;
    const std::string bytes = Save(first, static_cast<uint32_t>(childId) + 1);
    ASSERT_EQ(DeleteActor(holder), 1);
    ASSERT_EQ(GetActorById(childId), nullptr);

    ASSERT_EQ(Load(bytes), 1) << system->errorText;
    auto *loaded = dynamic_cast<UVAnimationActor *>(GetActorById(static_cast<int32_t>(first)));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(std::tuple(loaded->name, loaded->position.z, loaded->parent, loaded->children),
              std::tuple("holder", 3.0f, scenery, std::vector<Actor *>{GetActorById(childId)}));
}

TEST_F(UVAnimationTest, FilesOfTheOldLayoutLoadTheRecordsThatFollow) {
    // The old writer counted a UVAnimation but wrote nothing for it: three
    // counted, two records, and the file ends at a record boundary. (Files of
    // the current version must hold every record they count.)
    FileBytes f;
    f.Header(69, 3, 3000, 3);
    DefaultActorRecord(f, 0, 3001, 2, "first");
    DefaultActorRecord(f, 0, 3002, 3001, "second");
    ASSERT_EQ(Load(f.str()), 1) << system->errorText;
    ASSERT_NE(GetActorById(3002), nullptr);
    EXPECT_EQ(GetActorById(3002)->parent, GetActorById(3001));

    // A file that ends inside a record still fails.
    Actor *container = CreateActor(0, "F", nullptr, scenery, 3500, false);
    const std::string cut = f.str().substr(0, f.size() - 5);
    EXPECT_EQ(Load(cut), 0);
    EXPECT_STREQ(system->errorText, "Serialize Error");
    {
        Archive archive;
        ASSERT_TRUE(archive.OpenMemory(f.str().data(), static_cast<uint32_t>(f.size())));
        EXPECT_EQ(SerializeFileActors(archive, container), 1);
    }
    Archive archive;
    ASSERT_TRUE(archive.OpenMemory(cut.data(), static_cast<uint32_t>(cut.size())));
    EXPECT_EQ(SerializeFileActors(archive, container), 0);
}

TEST_F(UVAnimationTest, DescriptorAndSheet) {
    const ActorClassDescriptor &d = ClassDescriptorTable[kUVAnimationClassId];
    EXPECT_EQ(std::tuple(d.name, d.description, d.lineage),
              std::tuple("UVAnimation", "UVAnimation", std::vector<uint32_t>{0, 41}));
    ASSERT_EQ(d.items.size(), 1u);
    EXPECT_EQ(std::tuple(d.items[0].label, d.items[0].kind, d.items[0].displayScale),
              std::tuple("UVAnimation Properties", PropertyKind::PageTitle, 1.0f));
}

} // namespace
