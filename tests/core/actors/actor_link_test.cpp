// The link contract: assigning, re-assigning and releasing keep each
// target's list of links exact and in order, and a destroyed target clears
// every link to it and tells each origin once, in list order; a saved link
// names the actor it holds.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "world_fixture.h"

namespace {

// Origins log "<own name> <link>" for every lost-link notice.
std::vector<std::string> g_told;

class Origin : public Actor {
  public:
    explicit Origin(const char *own) { name = own; }
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == cmd::base::InvalidActorPointer) {
            const auto *link = static_cast<const ActorLink *>(block.ReadPointer(0));
            g_told.push_back(name + " " + (link != nullptr ? link->path : "?"));
        }
        return Actor::HandleCommand(commandId, block);
    }
};

TEST(ActorLinkTest, AssignMovesReleaseDropsAndNullReleases) {
    Actor a;
    Actor b;
    ActorLink link;
    ActorLink other;
    other.Assign(&a);
    link.Assign(&a);
    EXPECT_EQ(a.backLinks, (std::vector<ActorLink *>{&other, &link}));
    // The same target again: one entry, now at the end.
    other.Assign(&a);
    EXPECT_EQ(a.backLinks, (std::vector<ActorLink *>{&link, &other}));
    // Another target: off the first list, onto the end of the second.
    link.Assign(&b);
    EXPECT_EQ(a.backLinks, (std::vector<ActorLink *>{&other}));
    EXPECT_EQ(b.backLinks, (std::vector<ActorLink *>{&link}));
    // Null releases the link and keeps its path.
    link.path = "kept";
    link.Assign(nullptr);
    EXPECT_EQ(link.target, nullptr);
    EXPECT_TRUE(b.backLinks.empty());
    EXPECT_EQ(link.path, "kept");
    // Releasing a link without a target changes nothing.
    link.Release();
    EXPECT_EQ(a.backLinks, (std::vector<ActorLink *>{&other}));
    other.Release();
    EXPECT_TRUE(a.backLinks.empty());
    // A link missing from its target's list is cleared all the same.
    link.target = &a;
    link.Release();
    EXPECT_EQ(link.target, nullptr);
}

TEST(ActorLinkTest, TwoLinksOfOneHolderAreTwoEntries) {
    Actor target;
    Origin holder("holder");
    ActorLink first(&holder);
    ActorLink second(&holder);
    first.Assign(&target);
    second.Assign(&target);
    EXPECT_EQ(target.backLinks.size(), 2u);
    first.Release();
    EXPECT_EQ(target.backLinks, (std::vector<ActorLink *>{&second}));
}

TEST(ActorLinkTest, DestroyedTargetClearsEveryLinkAndTellsEachOriginInListOrder) {
    g_told.clear();
    Origin left("left");
    Origin right("right");
    ActorLink a(&right);
    ActorLink orphan;
    ActorLink b(&left);
    {
        Actor target;
        a.Assign(&target);
        orphan.Assign(&target);
        b.Assign(&target);
        a.path = "a";
        b.path = "b";
    }
    EXPECT_EQ(std::vector<Actor *>({a.target, orphan.target, b.target}),
              std::vector<Actor *>(3, nullptr));
    EXPECT_EQ(g_told, (std::vector<std::string>{"right a", "left b"}));
    // The links are off the dead list: releasing them again does nothing.
    a.Release();
    b.Release();
}

// What the link writes into a file.
std::string Saved(ActorLink &link) {
    std::vector<uint8_t> block(512);
    Archive out;
    out.Attach(GetMemoryFileSystem(), NewMemoryHandle(block.data(), 512), true);
    link.Serialize(out);
    out.Close();
    return std::string(block.begin() + 4, block.begin() + 4 + block[0]);
}

using ActorLinkWorldTest = ActorWorldTest;

TEST_F(ActorLinkWorldTest, ASavedLinkNamesTheActorItHolds) {
    Actor *holder = CreateActor(0, "Holder", nullptr, scenery, -1, false);
    Actor *a = CreateActor(0, "TargetA", nullptr, scenery, -1, false);
    Actor *b = CreateActor(0, "TargetB", nullptr, scenery, -1, false);
    ActorLink link(holder);
    link.path = "../TargetA";
    link.Resolve();
    // Given B by pointer, the link is B's: no path, B's in the file, and
    // nothing once released.
    link.Assign(b);
    EXPECT_EQ(std::tuple(link.path, Saved(link)), std::tuple("", "/Scenery/TargetB"));
    link.Release();
    EXPECT_EQ(Saved(link), "");
    // A path given as text stays through a release, as a file's path that
    // has not found its actor yet does; one that names another actor by
    // now is not what is written.
    link.path = "../TargetA";
    link.Resolve();
    link.Release();
    EXPECT_EQ(Saved(link), "../TargetA");
    link.Resolve();
    a->name = "Renamed";
    CreateActor(0, "TargetA", nullptr, scenery, -1, false);
    EXPECT_EQ(std::tuple(link.target, Saved(link)), std::tuple(a, "/Scenery/Renamed"));
}

} // namespace
