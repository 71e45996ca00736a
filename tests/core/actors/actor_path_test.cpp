// Actor paths: walking them and building them, and their use as the path
// resolver of parameter blocks.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "core/actors/actor_path.h"
#include "core/actors/actor_services.h"
#include "core/actors/param_convert.h"
#include "world_fixture.h"

namespace {

class ActorPathTest : public ActorWorldTest {
  protected:
    Actor *Plain(const std::string &name, Actor *parent) {
        return CreateActor(0, name, nullptr, parent, -1, false);
    }
};

TEST_F(ActorPathTest, PathsWalkDownUpAndFromTheTop) {
    Actor *x = Plain("X", scenery);
    Actor *a = Plain("a", x);
    Actor *b = Plain("b", x);
    Plain("b", a); // a child of another name path
    const std::tuple<const char *, Actor *, Actor *> cases[] = {
        {"a/../b", x, b}, {"a/parent/b", x, b}, {"/", x, system}, {"/Scenery/X/b", nullptr, b},
        {"Scenery/X", nullptr, x}, {"parent", system, nullptr}, {"..", system, nullptr}, {"", x, x},
        {"../", a, x}, {"a//b", x, nullptr}, {"nothing", x, nullptr},
        {"a/nothing/..", x, nullptr}};
    for (const auto &[path, from, want] : cases)
        EXPECT_EQ(FindActorByPath(path, from), want) << path;
}

TEST_F(ActorPathTest, RelativePathsRoundTrip) {
    Actor *x = Plain("X", scenery);
    Actor *child = Plain("child", x);
    Actor *other = Plain("other", x);
    Actor *grandchild = Plain("grandchild", child);
    const std::tuple<Actor *, Actor *, const char *> cases[] = {
        {grandchild, other, "../child/grandchild"}, {grandchild, grandchild, ""},
        {child, grandchild, "../"}, {x, grandchild, "../../"}, {system, nullptr, "/"},
        {grandchild, nullptr, "/Scenery/X/child/grandchild"}, {grandchild, x, "child/grandchild"}};
    for (const auto &[target, viewer, want] : cases)
        EXPECT_EQ(ActorRelativePath(target, viewer), want);
    for (Actor *target : {grandchild, child, x, static_cast<Actor *>(system), other, scenery}) {
        for (Actor *viewer : {grandchild, child, other, x}) {
            EXPECT_EQ(FindActorByPath(ActorRelativePath(target, viewer), viewer), target)
                << target->name << " from " << viewer->name;
        }
        EXPECT_EQ(FindActorByPath(ActorRelativePath(target, nullptr), nullptr), target);
    }
}

TEST_F(ActorPathTest, AnEmptyNameIsASegmentOfItsOwn) {
    // X under an unnamed E under Scenery beside a namesake; E's unnamed F.
    Actor *namesake = Plain("X", scenery);
    Actor *e = Plain("", scenery);
    Actor *x = Plain("X", e);
    Actor *f = Plain("", e);
    const std::tuple<const char *, Actor *, Actor *> cases[] = {
        {"/Scenery//X", nullptr, x}, {"/Scenery//", nullptr, e}, {"/Scenery/", nullptr, scenery},
        {"..///", namesake, f},      {"", e, e},                 {"/Scenery////", nullptr, nullptr}};
    for (const auto &[path, from, want] : cases)
        EXPECT_EQ(FindActorByPath(path, from), want) << path;
    // Paths made for them lead back to them, from anywhere.
    for (Actor *target : {namesake, e, x, f}) {
        for (Actor *viewer : {namesake, e, x, f, static_cast<Actor *>(nullptr)})
            EXPECT_EQ(FindActorByPath(ActorRelativePath(target, viewer), viewer), target)
                << ActorRelativePath(target, viewer);
    }
}

TEST_F(ActorPathTest, LongPathsAndLongNamesHaveNoLimit) {
    Actor *at = scenery;
    std::vector<Actor *> chain;
    for (int i = 0; i < 40; ++i) {
        at = Plain(std::string(150, static_cast<char>('a' + i % 26)) + std::to_string(i), at);
        chain.push_back(at);
    }
    const std::string path = ActorRelativePath(at, nullptr);
    EXPECT_GT(path.size(), 4096u);
    EXPECT_EQ(FindActorByPath(path, nullptr), at);
    const std::string up = ActorRelativePath(chain[0], at);
    EXPECT_EQ(std::tuple(up.size(), FindActorByPath(up, at)), std::tuple(39u * 3, chain[0]));
    const std::string down = ActorRelativePath(at, chain[0]);
    EXPECT_EQ(FindActorByPath(down, chain[0]), at);
}

TEST_F(ActorPathTest, InstalledAsTheParameterPathResolver) {
    Actor *a = Plain("A", scenery);
    Actor *b = Plain("B", scenery);
    ASSERT_NE(GetActorPathResolver(), nullptr);
    ActorLink link(a);
    link.path = "../B";
    EXPECT_EQ(link.Resolve(), 1);
    EXPECT_EQ(link.target, b);
    EXPECT_EQ(GetActorPathResolver()->ActorRelativePath(b, a), "../B");
}

} // namespace
