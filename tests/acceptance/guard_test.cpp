// A patrolling guard in a loaded room, run frame by frame: its copied
// character walks the path on a skin whose forward motions move it, sees the
// intruder with its "Vision" sphere, hunts, strikes and counts the catches
// until the third sends the intruder to the dungeon; a wall hides a carrier.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "actors/characters/guard_scene_fixture.h"
#include "core/actors/command_ids.h"

namespace {

using guardtest::GuardSceneTest;
using guardtest::GuardSetup;

constexpr uint32_t kHealthEffect = 12;

// A character that notes what it is told, for the guard's set-up of its copy.
class NotedCharacter : public CharacterActor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId != 93) {
            noted.push_back({commandId, block.size() >= 4 ? block.ReadU32(0) : 0u});
        }
        return CharacterActor::HandleCommand(commandId, block);
    }
    std::vector<std::pair<uint32_t, uint32_t>> noted;
};
Actor *NewNotedCharacter() { return new NotedCharacter(); }

float Horizontal(const Vector3 &a, const Vector3 &b) { return std::hypot(a.x - b.x, a.z - b.z); }

ColObj Sense(Actor *owner, const char *name, float radius) {
    ColObj object(owner);
    object.name = name;
    object.type = 1;
    object.flags = kColObjActive | kColObjTakesEvents;
    object.boxMin = {0.0f, 40.0f, 0.0f};
    object.boxMax = {radius, radius, radius};
    return object;
}

// The guard of the scene: path A (300 ahead) then B (600 ahead, "Reverse"),
// a template with "Vision" 600 and "Hearing" 300, a hold of 2 s and a
// health hit of -10 for 1 s, and a "DungeonSpawn" far off.
// With `wall`, the intruder carries a stone in its left hand and a wall
// stands across x = 450.
GuardSetup Scene(const Vector3 &hero, bool wall) {
    GuardSetup setup;
    setup.hero = hero;
    setup.extra = [wall](scene::SceneBuilder &b, Actor *room, GuardActor *guard) {
        Actor *templ = scene::SceneBuilder::Find("GuardTemplate");
        templ->AddColObj(Sense(templ, "Vision", 600.0f));
        templ->AddColObj(Sense(templ, "Hearing", 300.0f));
        SendCommandArgs(guard, 1310, 2.0f);
        SendCommandArgs(guard, cmd::guard::AddGuardHitEffect);
        SendCommandArgs(guard, 1316, kHealthEffect);
        SendCommandArgs(guard, 1318, -10.0f);
        SendCommandArgs(guard, 1320, 1.0f);
        game::SpawnPoint(b, "DungeonSpawn", {-2000, 30, -2000}, 0, room);
        if (wall) {
            game::BoxWall(b, "Wall", {450, 0, -300}, {470, 400, 900}, room);
            b.Make(0, "Stone", FindChildByName(scene::SceneBuilder::Find("Hero"), "LeftHand"));
        }
    };
    return setup;
}

using Route = std::vector<std::string>;

class GuardScene : public GuardSceneTest {
  protected:
    // The guard's skin walks "N_Forward" at 240 units a second and runs
    // "R_Forward" at 330, forward being the model's -z.
    void Walking() {
        auto *skin = dynamic_cast<game::ScriptedSkin *>(body->skin.target);
        ASSERT_NE(skin, nullptr);
        skin->motions = {"N_Neutral", "N_Forward", "R_Forward", "N_Guarding", "N_Exhausted",
                         "J_Forward", "F_Neutral"};
        runner.preStep = [skin](uint32_t) {
            const float speed = skin->motion == "N_Forward"   ? 240.0f
                                : skin->motion == "R_Forward" ? 330.0f
                                                              : 0.0f;
            skin->motionVector = {0.0f, 0.0f, -speed};
        };
    }
    game::RecorderClass characters{kCharacterClassId, &NewNotedCharacter};
};

TEST_F(GuardScene, WalksHuntsStrikesAndCatchesThrice) {
    Build(Scene({300, 30, 300}, false));
    Walking();
    // The copy: under "Scenery", 40 above the guard, set up in order.
    auto *copy = dynamic_cast<NotedCharacter *>(body);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(body->parent, GetActorById(2));
    std::vector<std::pair<uint32_t, uint32_t>> setUp;
    for (const auto &[id, word] : copy->noted) {
        if (id == 84 || id == 41 || id == 856 || id == 94 || id == 1031) {
            setUp.emplace_back(id, id == 84 ? 0u : word);
        }
    }
    setUp.resize(std::min<size_t>(setUp.size(), 5));
    EXPECT_EQ(setUp, (std::vector<std::pair<uint32_t, uint32_t>>{
                         {84, 0}, {41, 1}, {856, 0}, {94, uint32_t(guardId)}, {1031, 0}}));
    EXPECT_NEAR(body->GetWorldPosition().y - guard->GetWorldPosition().y, 40.0f, 1.0f);

    // Patrol: the nodes as they are reached, walking, and no detection for
    // 10 s although the intruder stands within 480 of the path.
    std::vector<std::string> route = {NodeName(guard->currentNode)};
    int frame = 1;
    for (; frame < 900 && guard->guardState == kGuardPatrol; ++frame) {
        Step();
        if (NodeName(guard->currentNode) != route.back()) {
            route.push_back(NodeName(guard->currentNode));
        }
    }
    ASSERT_GE(route.size(), 5u);
    EXPECT_EQ(Route(route.begin(), route.begin() + 5), (Route{"A", "B", "A", "Guard", "A"}));
    std::vector<std::string> motions = bodyLog.Texts(1097);
    EXPECT_EQ(std::count(motions.begin(), motions.end(), "N_Forward"), long(motions.size()));
    EXPECT_GE(frame, 600);
    EXPECT_LE(frame, 610);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1347, 1338}));

    // The intruder runs off along x, then along z, faster than the guard:
    // the guard runs the trail round the corner and jumps every 3 s.
    const Vector3 corner = {1020, 30, 300};
    float nearCorner = 1.0e9f;
    bodyLog.log.clear();
    heroLog.log.clear();
    int jumps[2] = {0, 0};
    int hunted = 0;
    for (; hunted < 600 && guard->guardState == kGuardHunt; ++hunted) {
        if (hunted < 390) {
            const Vector3 at = hero->GetWorldPosition();
            Place(hero, hunted < 120 ? Vector3{at.x + 6.0f, 30, at.z} : Vector3{at.x, 30, at.z + 6.0f});
        }
        Step();
        nearCorner = std::min(nearCorner, Horizontal(body->GetWorldPosition(), corner));
        const size_t n = bodyLog.Of(869).size();
        if (n >= 1 && n <= 2 && jumps[n - 1] == 0) {
            jumps[n - 1] = hunted + 1;
        }
    }
    motions = bodyLog.Texts(1097);
    EXPECT_EQ(std::count(motions.begin(), motions.end(), "R_Forward"), long(motions.size()));
    EXPECT_LT(nearCorner, 100.0f);
    EXPECT_NEAR(jumps[0], 180, 2);
    EXPECT_NEAR(jumps[1], 360, 2);

    // Caught on a strike within 60: held, then hurt by the hit effect.
    ASSERT_EQ(guard->guardState, uint32_t{kGuardHit});
    EXPECT_LT((Horizontal(body->GetWorldPosition(), hero->GetWorldPosition())), 60.0f);
    EXPECT_EQ(heroLog.Ids({856, 952}), (std::vector<uint32_t>{856, 856, 952}));
    const auto holds = heroLog.Of(856);
    const auto hurt = heroLog.Of(952);
    EXPECT_EQ(std::tuple(holds[0].reals[0], holds[1].reals[0], hurt[0].reals[0], hurt[0].reals[1]),
              std::tuple(0.0f, 2.0f, -10.0f, 1.0f));
    // Back to the patrol after 2 s; the catch counts 5 s after the strike.
    EXPECT_NEAR(StepUntilState(kGuardReturnToPatrol, 300), 120, 1);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1347, 1338, 1339, 1354, 1355, 1350}));
    int counted = 120;
    for (; counted < 400 && front->Of(549).empty(); ++counted) {
        Step();
    }
    EXPECT_NEAR(counted, 300, 1);
    ASSERT_EQ(front->Of(549).size(), 1u);
    const RecordedCommand report = front->Of(549)[0];
    EXPECT_EQ(std::tuple(report.Read<uint32_t>(0), report.Read<uint32_t>(4), report.Read<uint32_t>(8),
                         hero->catchCount),
              std::tuple(uint32_t(bodyId), uint32_t(heroId), 0u, 1u));

    // Back near the path, caught twice more: the third catch sends the
    // intruder to the dungeon.
    Place(hero, {300, 30, 300});
    for (int i = 0; i < 3000 && front->Of(549).size() < 3; ++i) {
        Step();
    }
    ASSERT_EQ(front->Of(549).size(), 3u);
    EXPECT_EQ(std::pair(front->Of(549)[1].Read<uint32_t>(8), front->Of(549)[2].Read<uint32_t>(8)),
              std::pair(0u, 1u));
    EXPECT_LT(Horizontal(hero->GetWorldPosition(), {-2000, 0, -2000}), 5.0f);
    EXPECT_EQ(hero->catchCount, 0u);
}

TEST_F(GuardScene, AWallHidesACarrierUntilItGoes) {
    // 560 from the path: seen only for the stone in the hand, once the wall
    // is gone.
    Build(Scene({560, 30, 300}, true));
    Walking();
    Step(900);
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(guard->guardState, uint32_t{kGuardPatrol});
    DeleteActor(scene::SceneBuilder::Find("Wall"));
    StepUntilState(kGuardHunt, 600);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1347, 1338}));
    EXPECT_EQ(guard->target.target, hero);
}

} // namespace
