// The link contract: assigning, re-assigning and releasing keep each
// target's list of links exact and in order, and a destroyed target clears
// every link to it and tells each origin once, in list order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

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
    link.path = "kept";
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
    a.path = "a";
    b.path = "b";
    {
        Actor target;
        a.Assign(&target);
        orphan.Assign(&target);
        b.Assign(&target);
    }
    EXPECT_EQ(std::vector<Actor *>({a.target, orphan.target, b.target}),
              std::vector<Actor *>(3, nullptr));
    EXPECT_EQ(g_told, (std::vector<std::string>{"right a", "left b"}));
    // The links are off the dead list: releasing them again does nothing.
    a.Release();
    b.Release();
}

} // namespace
