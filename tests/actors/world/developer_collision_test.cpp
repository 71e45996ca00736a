// The Developer in the collision pass: a master character whose sphere
// touches the Developer's gets a dart thrown at it when the pass's events
// are delivered; a character that is not the master gets none.
#include <gtest/gtest.h>

#include <memory>

#include "actors/world/developer_actor.h"
#include "base/random.h"
#include "collision_test_util.h"
#include "support/test_character.h"

namespace {

using testcharacter::TestCharacter;

class DeveloperCollisionTest : public coltest::CollisionWorld {
  protected:
    void SetUp() override {
        coltest::CollisionWorld::SetUp();
        characters = std::make_unique<testcharacter::TestCharacterClass>();
        SeedRand(1);
        scenery = GetActorById(kSceneryRootId);
        CreateActor(0, "Dart", nullptr, scenery, -1, true);
        developer = static_cast<DeveloperActor *>(
            CreateActor(kDeveloperClassId, "developer", nullptr, scenery, -1, true));
        Sphere(developer, 10.0f, coltest::kEvent);
        developer->HandleCommand(153, ParamBlock());
        passive.Append(developer);
    }
    void TearDown() override {
        characters.reset();
        coltest::CollisionWorld::TearDown();
    }
    TestCharacter *Toucher(bool master) {
        auto *character = static_cast<TestCharacter *>(
            CreateActor(testcharacter::kCharacterClassId, "toucher", nullptr, scenery, -1, true));
        character->SetMaster(master);
        character->position = {0.0f, 0.0f, 15.0f};
        character->InvalidateTransform();
        Sphere(character, 10.0f, coltest::kEvent);
        active.Append(character);
        return character;
    }
    size_t Darts() const {
        size_t n = 0;
        for (Actor *child : scenery->children) {
            n += child->name == "Dart" ? 1 : 0;
        }
        return n - 1;
    }

    std::unique_ptr<testcharacter::TestCharacterClass> characters;
    Actor *scenery = nullptr;
    DeveloperActor *developer = nullptr;
};

TEST_F(DeveloperCollisionTest, OnlyTheMasterGetsADart) {
    Toucher(false);
    CollidePairsOfList(active, kCollideEvents);
    GetCollisionEventQueue().Deliver();
    EXPECT_EQ(Darts(), 0u);

    active.Clear();
    Toucher(true);
    CollidePairsOfList(active, kCollideEvents);
    GetCollisionEventQueue().Deliver();
    ASSERT_EQ(Darts(), 1u);
    Actor *dart = scenery->children.back();
    EXPECT_FLOAT_EQ(dart->deltaPosition.z, 400.0f);
    EXPECT_FLOAT_EQ(developer->cooldown, 7.0f);
}

} // namespace
