// What the Guard notices through its character's sensors, the fighter's
// combos, draws and hit test, and death with its five dead types.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "base/random.h"
#include "core/actors/command_ids.h"
#include "guard_scene_fixture.h"

namespace {

using guardtest::GuardSceneTest;
using guardtest::GuardSetup;

float Horizontal(const Vector3 &a, const Vector3 &b = {0, 0, 0}) {
    return std::hypot(a.x - b.x, a.z - b.z);
}

// Intruders around the guard's character (at 0, 40, 0): "Hero" 400 ahead,
// "Stranger" as near but in another room, "Hidden" behind a wall.
GuardSetup SensesSetup(uint32_t type = kGuardPath) {
    GuardSetup setup;
    setup.type = type;
    setup.hero = {0, 30, 400};
    setup.extra = [](scene::SceneBuilder &b, Actor *room, GuardActor *) {
        Actor *other = game::Room(b, "RoomB", {-3000, -100, -3000}, {3000, 1000, 3000});
        game::MakeCharacter(b, "Stranger", {-300, 30, 0}, other);
        game::MakeCharacter(b, "Hidden", {0, 30, -400}, room);
        game::BoxWall(b, "Wall", {-300, 0, -220}, {300, 400, -200}, room);
        game::Door(b, "DoorA", {300, 0, -50}, {320, 100, 50}, room);
    };
    return setup;
}

class GuardSensesTest : public GuardSceneTest {
  protected:
    // Back to a watching guard that last struck long ago.
    void Reset(uint32_t state = kGuardPatrol) {
        guard->guardState = state;
        guard->target.Release();
        guard->sinceStrike = 11.0f;
        SendCommandArgs(body, 856, 0.0f);
    }
    uint32_t TouchedState(ColObj &own, Actor *intruder) {
        Touch(own, intruder);
        return guard->guardState;
    }
};

TEST_F(GuardSensesTest, SightHearingAndWhatHoldsThemOff) {
    Build(SensesSetup());
    Actor *stranger = scene::SceneBuilder::Find("Stranger");
    Actor *hidden = scene::SceneBuilder::Find("Hidden");
    // The rooms overlap; the stranger stands in RoomB for this touch.
    stranger->drawGroupId = scene::SceneBuilder::Find("RoomB")->drawGroupId;
    ASSERT_NE(stranger->drawGroupId, body->drawGroupId);
    ASSERT_EQ(hero->drawGroupId, body->drawGroupId);
    ColObj wide = Sensor("Vision", 600.0f); // 0.8 x 600 = 480 reaches 400
    ColObj narrow = Sensor("Vision", 450.0f);
    ColObj sphere = Sensor("Chest", 600.0f); // neither sight nor hearing
    // An empty-handed intruder is seen within 0.8 of the radius only.
    Reset();
    EXPECT_EQ(TouchedState(narrow, hero), uint32_t{kGuardPatrol});
    EXPECT_EQ(guard->target.target, hero); // noticed, not detected
    Reset();
    EXPECT_EQ(TouchedState(sphere, hero), uint32_t{kGuardPatrol});
    Reset();
    EXPECT_EQ(TouchedState(wide, hero), uint32_t{kGuardHunt});
    // Carrying something in the left hand: anywhere in the sphere.
    Actor *item = CreateActor(0, "Stone", nullptr, FindChildByName(hero, "LeftHand"), -1, true);
    ASSERT_NE(item, nullptr);
    Reset();
    EXPECT_EQ(TouchedState(narrow, hero), uint32_t{kGuardHunt});
    // Nothing within 10 s of a strike (or of the start), while held, from
    // another room, or through a wall.
    Reset();
    guard->sinceStrike = 10.0f;
    EXPECT_EQ(TouchedState(wide, hero), uint32_t{kGuardPatrol});
    Reset();
    SendCommandArgs(body, 856, 2.0f);
    EXPECT_EQ(TouchedState(wide, hero), uint32_t{kGuardPatrol});
    Reset();
    EXPECT_EQ(TouchedState(wide, stranger), uint32_t{kGuardPatrol});
    EXPECT_EQ(guard->target.target, nullptr);
    Reset();
    EXPECT_EQ(TouchedState(wide, hidden), uint32_t{kGuardPatrol});
    // Hunting, striking and the like: intruders are not looked at.
    Reset(kGuardReturnToPatrol);
    EXPECT_EQ(TouchedState(wide, hero), uint32_t{kGuardReturnToPatrol});
    Reset(kGuardIdle);
    EXPECT_EQ(TouchedState(wide, hero), uint32_t{kGuardHunt});
}

TEST_F(GuardSensesTest, ASleeperHearsOnlyANoise) {
    Build(SensesSetup());
    ColObj ears = Sensor("Hearing", 1.0e6f);
    ColObj eyes = Sensor("Vision", 1.0e6f);
    hero->paramValue[kParamNoiselevel] = 0.0f;
    Reset(kGuardSleep);
    EXPECT_EQ(TouchedState(ears, hero), uint32_t{kGuardSleep});
    EXPECT_EQ(TouchedState(eyes, hero), uint32_t{kGuardSleep});
    // Awake, a hearing sensor hears the same noise x 1.0.
    hero->paramValue[kParamNoiselevel] = 10.0f;
    float noise = 0.0f;
    hero->HandleCommand(974, ParamBlock(&noise, sizeof(noise)));
    ASSERT_GT(noise, 0.0f);
    const float d = hero->GetWorldPosition().z - body->GetWorldPosition().z;
    ColObj near = Sensor("Hearing", d / noise * 1.02f); // x 0.8 asleep: too short
    Reset(kGuardSleep);
    EXPECT_EQ(TouchedState(near, hero), uint32_t{kGuardSleep});
    Reset(kGuardPatrol);
    EXPECT_EQ(TouchedState(near, hero), uint32_t{kGuardHunt});
}

TEST_F(GuardSensesTest, FightersFightHuntedFleeAndMarkedObjectsOpenDoors) {
    Build(SensesSetup(kGuardFighter));
    ColObj wide = Sensor("Vision", 600.0f);
    Reset();
    EXPECT_EQ(TouchedState(wide, hero), uint32_t{kGuardFight});
    guard->guardType = kGuardHunted;
    Reset();
    EXPECT_EQ(TouchedState(wide, hero), uint32_t{kGuardHuntedState});
    // A marked object of the character touching a door opens it.
    Actor *door = scene::SceneBuilder::Find("DoorA");
    guardtest::HeardLog doorLog;
    AddCommandSpy(door, &doorLog);
    ColObj feet = Sensor("Feet", 20.0f);
    Touch(feet, door);
    EXPECT_TRUE(doorLog.Of(770).empty());
    feet.flags |= kColObjDynamic;
    Touch(feet, door);
    ASSERT_EQ(doorLog.Of(770).size(), 1u);
    EXPECT_EQ(doorLog.Of(770)[0].word, uint32_t(bodyId));
    RemoveAllCommandSpies(door);
}

class GuardFightTest : public GuardSceneTest {
  protected:
    void SetUp() override {
        GuardSceneTest::SetUp();
        GuardSetup setup;
        setup.type = kGuardFighter;
        setup.hero = {0, 30, 50};
        Build(setup);
        guard->target.Assign(hero);
        guard->SetState(kGuardFight);
    }
    // One fight step: what was pushed, and how often the queue was cleared.
    std::pair<std::vector<std::string>, size_t> FightStep() {
        guard->fightReady = 1;
        bodyLog.log.clear();
        Step();
        return {bodyLog.Texts(1033), bodyLog.Of(1035).size()};
    }
    std::vector<int32_t> Attacks(int steps) {
        std::vector<int32_t> drawn;
        for (int i = 0; i < steps; ++i) {
            FightStep();
            drawn.push_back(guard->attackIndex);
        }
        return drawn;
    }
};

TEST_F(GuardFightTest, CombosByPatternAfterTheAttackAtHand) {
    using Steps = std::vector<std::string>;
    std::set<uint32_t> patterns;
    for (int i = 0; i < 60; ++i) {
        const auto [pushed, clears] = FightStep();
        ASSERT_GE(pushed.size(), 2u);
        const std::string a = pushed[0];
        ASSERT_EQ(a.rfind("M_Attack", 0), 0u) << a;
        const Steps combos[6] = {
            {"M_Forward", a, "M_Forward"},
            {"M_Forward", a, "M_Back", "M_Forward"},
            {"M_Forward", "M_Left", a, "M_Back", "M_Forward"},
            {"M_Forward", "M_Right", a, "M_Back", "M_Forward"},
            {"M_Left", a, "M_Left"},
            {"M_Right", a, "M_Right"},
        };
        ASSERT_LT(guard->comboPattern, 6u);
        Steps expected = {a, "M_Back"};
        const Steps &combo = combos[guard->comboPattern];
        expected.insert(expected.end(), combo.begin(), combo.end());
        EXPECT_EQ(pushed, expected);
        EXPECT_EQ(clears, 1u);
        EXPECT_EQ(guard->fightReady, 0u);
        patterns.insert(guard->comboPattern);
    }
    EXPECT_EQ(patterns.size(), 6u);
    // The queue running empty makes the fighter ready again.
    guard->fightReady = 0;
    body->HandleCommand(1039, ParamBlock());
    EXPECT_EQ(guard->fightReady, 1u);
}

TEST_F(GuardFightTest, AFarTargetIsRunAtEveryTwoSeconds) {
    Place(hero, {0, 30, 1200});
    guard->farTime = 0.0f;
    bodyLog.log.clear();
    runner.preStep = [&](uint32_t) { guard->fightReady = 0; };
    Step(250);
    runner.preStep = nullptr;
    const std::vector<std::string> motions = bodyLog.Texts(1097);
    EXPECT_EQ(std::count(motions.begin(), motions.end(), "R_Forward"), 2);
    // Ready in between: it keeps fighting.
    EXPECT_FALSE(FightStep().first.empty());
}

TEST_F(GuardFightTest, AttackMotionArmsTheHitTestAndALandedAttackStepsBack) {
    guard->attackParams = {{1, 1.0f, 0.4f}};
    guard->attackIndex = 0;
    const auto motionSet = [&](const char *name) {
        guard->evalTimer = 1.0e38f;
        std::string text = name;
        body->HandleCommand(1122, ParamBlock(text.data(), text.size() + 1));
        return guard->evalTimer;
    };
    EXPECT_EQ(motionSet("M_Attack2"), 0.4f);
    EXPECT_EQ(motionSet("M_Attack4"), 1.0e38f);
    EXPECT_EQ(motionSet("N_Neutral"), 1.0e38f);
    guard->attackIndex = 5; // not an entry: the default delay
    EXPECT_EQ(motionSet("R_Attack0"), 0.25f);
    guard->attackParams.clear();
    EXPECT_EQ(motionSet("M_Attack1"), 0.25f);
    // The hit test lands: catch timer, effects x 1.0, and the step back.
    guard->evalTimer = 0.01f;
    guard->fightReady = 0;
    bodyLog.log.clear();
    SendCommandArgs(body, 856, 0.0f);
    Step();
    EXPECT_EQ(guard->catchTimer, 8.0f);
    EXPECT_EQ(guard->evalTimer, 1.0e38f);
    EXPECT_EQ(bodyLog.Texts(1033), (std::vector<std::string>{"M_Back", "M_Back", "M_Neutral"}));
    // Too far: nothing but the disarming.
    Place(hero, {0, 30, 400});
    guard->catchTimer = 0.0f;
    guard->evalTimer = 0.01f;
    Step();
    EXPECT_EQ(std::tuple(guard->catchTimer, guard->evalTimer), std::tuple(0.0f, 1.0e38f));
}

TEST_F(GuardFightTest, AttacksAreDrawnByTheirWeights) {
    // All weights 0: any entry, by the entry count.
    guard->attackParams = {{0, 1, 0}, {0, 1, 0}, {0, 1, 0}};
    ASSERT_EQ(guard->HandleCommand(cmd::base::Precalculate, ParamBlock()), 1);
    std::vector<int32_t> drawn = Attacks(40);
    EXPECT_EQ(std::set<int32_t>(drawn.begin(), drawn.end()), (std::set<int32_t>{0, 1, 2}));
    // A weight of 0xFFFFFFFF takes every ticket the generator can give.
    guard->attackParams = {{0xFFFFFFFFu, 1, 0}, {1, 1, 0}};
    guard->HandleCommand(cmd::base::Precalculate, ParamBlock());
    drawn = Attacks(20);
    EXPECT_EQ(std::set<int32_t>(drawn.begin(), drawn.end()), (std::set<int32_t>{0}));
    // The pool is rebuilt, not appended; entries deleted since are skipped.
    guard->attackParams = {{0, 1, 0}, {5, 1, 0}, {5, 1, 0}};
    guard->HandleCommand(cmd::base::Precalculate, ParamBlock());
    EXPECT_EQ(guard->attackPool, (std::vector<uint32_t>{0, 5, 5}));
    guard->attackParams.resize(2);
    drawn = Attacks(20);
    EXPECT_EQ(std::set<int32_t>(drawn.begin(), drawn.end()), (std::set<int32_t>{1}));
}

class GuardDeathTest : public GuardSceneTest,
                       public ::testing::WithParamInterface<uint32_t> {};

TEST_P(GuardDeathTest, DiesThenActsAfterTheDelay) {
    const uint32_t deadType = GetParam();
    Build();
    guard->deadType = deadType;
    guard->deadDelay = 1.0f;
    Place(body, {500, 30, 500});
    SendCommandArgs(body, 1017, 0.0f);
    Step();
    ASSERT_EQ(guard->guardState, uint32_t{kGuardDead});
    EXPECT_EQ(bodyLog.Texts(1033), (std::vector<std::string>{"N_Die0", "N_Dead0"}));
    EXPECT_EQ(bodyLog.Ids({856, 1035, 1033}), (std::vector<uint32_t>{856, 1035, 1033, 1033}));
    EXPECT_EQ(bodyLog.Of(856)[0].reals[0], -1.0f);
    Step(55);
    EXPECT_EQ(guard->guardState, uint32_t{kGuardDead}); // the delay runs
    Step(10);
    switch (deadType) {
    case kGuardDeadNone:
        EXPECT_EQ(guard->guardState, uint32_t{kGuardDead});
        break;
    case kGuardDeadDelete:
        Step(2);
        EXPECT_EQ(GetActorById(uint32_t(bodyId)), nullptr);
        EXPECT_EQ(GetActorById(uint32_t(guardId)), nullptr);
        guard = nullptr;
        body = nullptr;
        break;
    case kGuardDeadSpawnOnPlace:
        EXPECT_EQ(guard->guardState, uint32_t{kGuardReturnToPatrol});
        EXPECT_EQ(body->health, guard->startHealth);
        EXPECT_GT(Horizontal(body->GetWorldPosition()), 600.0f);
        break;
    default: { // on the guard (or, spawning at random, the node in clear view)
        EXPECT_EQ(guard->guardState, uint32_t{kGuardPatrol});
        EXPECT_EQ(body->health, guard->startHealth);
        const Vector3 at = body->GetWorldPosition();
        const float off = deadType == kGuardDeadSpawnOnRoot
                              ? Horizontal(at)
                              : std::min(Horizontal(at), Horizontal(at, {0, 0, 600}));
        EXPECT_LT(off, 5.0f);
        EXPECT_EQ(NodeName(guard->currentNode), "A");
        break;
    }
    }
    if (guard != nullptr) {
        EXPECT_EQ(Events().front(), 1347u);
        EXPECT_EQ(Events()[1], 1356u);
    }
}

INSTANTIATE_TEST_SUITE_P(Types, GuardDeathTest, ::testing::Values(0u, 1u, 2u, 3u, 4u));

TEST_F(GuardSceneTest, ADeadPathGuardHurtAgainHuntsAndDiesAgain) {
    Build();
    front->Answer(562, int32_t(heroId));
    SendCommandArgs(body, 1017, 0.0f);
    Step(30);
    ASSERT_EQ(guard->guardState, uint32_t{kGuardDead});
    guardLog.log.clear();
    SendCommandArgs(body, 952, -5.0f, 0.0f);
    EXPECT_EQ(std::tuple(guard->guardState, guard->target.target),
              std::tuple(uint32_t{kGuardHunt}, static_cast<Actor *>(hero)));
    Step();
    EXPECT_EQ(guard->guardState, uint32_t{kGuardDead});
    EXPECT_LT(guard->stateTime, 0.1f);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1357, 1338, 1339, 1356}));
    // Anything but a Character as the master character: no hunt.
    front->Answer(562, int32_t(room->actorId));
    SendCommandArgs(body, 952, -5.0f, 0.0f);
    EXPECT_EQ(guard->guardState, uint32_t{kGuardDead});
}

} // namespace
