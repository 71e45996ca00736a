// The Guard in a loaded room: binding to its copied character, the walk
// over its nodes, the hunt with its trail and endings, the strike and the
// catch rule, and the actors that go away under it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "actors/world/path_node_actor.h"
#include "core/actors/class_factory.h"
#include "core/actors/command_ids.h"
#include "core/actors/scheduled_command.h"
#include "guard_scene_fixture.h"

namespace {

using guardtest::GuardSceneTest;
using guardtest::GuardSetup;

float Horizontal(const Vector3 &a, const Vector3 &b) {
    return std::hypot(a.x - b.x, a.z - b.z);
}

size_t ProcessEntries(Actor *actor) {
    return static_cast<size_t>(
        std::count_if(actor->scheduledCommands.begin(), actor->scheduledCommands.end(),
                      [](const ScheduledCommand *e) {
                          return e != nullptr && e->command == cmd::base::Process;
                      }));
}

TEST_F(GuardSceneTest, BindingCopiesTheTemplateAboveTheGuard) {
    Build();
    EXPECT_EQ(body->parent, GetActorById(2));
    EXPECT_EQ(body->name, "GuardTemplate");
    const Vector3 at = body->GetWorldPosition();
    EXPECT_NEAR(at.y, 40.0f, 1.0f);
    EXPECT_NEAR(Horizontal(at, {0, 0, 0}), 0.0f, 1.0f);
    EXPECT_EQ(body->brain.target, guard);
    EXPECT_TRUE(body->HasFlag(kActorMaster));
    EXPECT_EQ(body->directionBehaviour, 0u);
    EXPECT_EQ(std::count(body->spies.begin(), body->spies.end(), guard), 1);
    EXPECT_EQ(guard->startHealth, body->health);
    EXPECT_EQ(std::tuple(guard->hasPath, guard->guardType, NodeName(guard->currentNode),
                         NodeName(guard->previousNode), guard->attackIndex),
              std::tuple(1u, 1u, std::string("A"), std::string("Guard"), 0));
    // Another "Precalculate" keeps the character and the one "Process".
    guard->HandleCommand(cmd::base::Precalculate, ParamBlock());
    EXPECT_EQ(guard->character.target, body);
    EXPECT_EQ(ProcessEntries(guard), 1u);
}

TEST(GuardBindingOrder, TheCopyHearsItsSetUpInOrder) {
    // With class 16 recording, the copy logs what the guard sends it.
    scene::SceneRunner runner;
    ASSERT_TRUE(runner.Ready());
    scene::SceneBuilder builder;
    game::RecorderClass characters{kCharacterClassId};
    Actor *templ = builder.Make(kCharacterClassId, "Template");
    Actor *guard = builder.Make(kGuardClassId, "Guard");
    game::PathNode(builder, "A", {0, 0, 100}, guard);
    SendCommandArgs(guard, cmd::guard::SetGuardType, uint32_t{1});
    SendCommandArgs(guard, cmd::guard::SetGuardCharacter, uint32_t(templ->actorId));
    ASSERT_TRUE(builder.Load());
    auto *g = dynamic_cast<GuardActor *>(scene::SceneBuilder::Find("Guard"));
    ASSERT_NE(g, nullptr);
    auto *copy = dynamic_cast<game::Recorder *>(g->character.target);
    ASSERT_NE(copy, nullptr);
    std::vector<uint32_t> ids;
    for (uint32_t id : copy->Ids()) {
        if (id == 84 || id == 41 || id == 856 || id == 94 || id == 1031 || id == 1018) {
            ids.push_back(id);
        }
    }
    EXPECT_EQ(ids, (std::vector<uint32_t>{84, 41, 856, 94, 1031, 1018}));
    EXPECT_EQ(copy->Of(41)[0].Read<uint32_t>(), 1u);
    EXPECT_EQ(copy->Of(856)[0].F32(), 0.0f);
    EXPECT_EQ(copy->Of(94)[0].Read<uint32_t>(), uint32_t(g->actorId));
    EXPECT_EQ(copy->Of(1031)[0].Read<uint32_t>(), 0u);
    const Matrix m = copy->Of(84)[0].Read<Matrix>();
    EXPECT_EQ(m.m[3][1], 40.0f);
}

TEST_F(GuardSceneTest, PrecalculateWithoutTemplateNodeOrActor) {
    Build();
    // Template -1: only the "Process" entry.
    GuardActor *bare = dynamic_cast<GuardActor *>(
        CreateActor(kGuardClassId, "Bare", nullptr, room, -1, true));
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->HandleCommand(cmd::base::Precalculate, ParamBlock()), 1);
    EXPECT_EQ(std::tuple(bare->character.target, ProcessEntries(bare), bare->IsOperational()),
              std::tuple(static_cast<Actor *>(nullptr), size_t{1}, true));
    // A template id naming no actor, then a guard without a Path Node.
    guardtest::HeardLog spy;
    for (int variant = 0; variant < 2; ++variant) {
        auto *off = dynamic_cast<GuardActor *>(
            CreateActor(kGuardClassId, "Off", nullptr, room, -1, true));
        ASSERT_NE(off, nullptr);
        SendCommandArgs(off, cmd::guard::SetGuardType, uint32_t{1}); // makes "Node"
        if (variant == 0) {
            off->characterTemplateId = 499999;
        } else {
            off->characterTemplateId = bodyId;
            DeleteActor(off->children[0]);
        }
        AddCommandSpy(off, &spy);
        spy.log.clear();
        const size_t entries = ProcessEntries(off); // made in a running game: one
        EXPECT_EQ(off->HandleCommand(cmd::base::Precalculate, ParamBlock()), 0) << variant;
        EXPECT_FALSE(off->IsOperational());
        EXPECT_TRUE(spy.Of(cmd::base::Precalculate).empty()); // no base handler: no spy told
        EXPECT_EQ(ProcessEntries(off), entries);
        RemoveAllCommandSpies(off);
    }
}

TEST_F(GuardSceneTest, NetworkhuntAndTheNodeTimeQuery) {
    GuardSetup setup;
    setup.type = kGuardHunted;
    Build(setup);
    guard->state &= ~kActorOperational;
    body->flags &= ~kActorMaster;
    SendCommandArgs(guard, 1358, 1.75f);
    float time = 0.0f;
    guard->HandleCommand(1359, ParamBlock(&time, sizeof(time)));
    EXPECT_EQ(time, 1.75f);
    SendCommandArgs(guard, cmd::guard::GuardNetworkhunt, uint32_t(heroId));
    EXPECT_EQ(std::tuple(guard->target.target, guard->IsOperational(), guard->guardState),
              std::tuple(static_cast<Actor *>(hero), true, 7u));
    EXPECT_TRUE(body->HasFlag(kActorMaster));
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1347, 1352}));
}

TEST_F(GuardSceneTest, NetworkhuntTakesAnyActorOrNone) {
    Build();
    for (const auto &[id, hunted] :
         {std::tuple(uint32_t(room->actorId), static_cast<Actor *>(room)),
          std::tuple(uint32_t{0xFFFFFF}, static_cast<Actor *>(nullptr))}) {
        guard->state &= ~kActorOperational;
        body->flags &= ~kActorMaster;
        SendCommandArgs(guard, cmd::guard::GuardNetworkhunt, id);
        EXPECT_EQ(std::tuple(guard->target.target, guard->IsOperational(), guard->guardState,
                             body->HasFlag(kActorMaster)),
                  std::tuple(hunted, true, 2u, true))
            << id;
    }
    // Without a target the hunt is over in the next frame.
    Step(2);
    EXPECT_NE(guard->guardState, 2u);
}

TEST_F(GuardSceneTest, CreateCopiesTheConfigurationButNeverTheCharacter) {
    Build();
    guard->HandleCommand(cmd::guard::AddGuardAttackParam, ParamBlock());
    guard->hitEffects = {{12, -5.0f, 1.0f}};
    guard->hitDistance = 77.0f;
    guard->target.Assign(hero);
    auto *copy = dynamic_cast<GuardActor *>(
        CreateActor(kGuardClassId, "Copy", guard, room, -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->hitDistance, copy->attackParams.size(), copy->hitEffects.size(),
                         copy->characterTemplateId),
              std::tuple(77.0f, size_t{1}, size_t{1}, guard->characterTemplateId));
    EXPECT_EQ(copy->character.target, nullptr);
    EXPECT_EQ(copy->target.target, nullptr);
    // The copy makes its own character; the two guards drive one each.
    game::PathNode(builder, "CopyNode", {0, 0, 100}, copy);
    ASSERT_EQ(copy->HandleCommand(cmd::base::Precalculate, ParamBlock()), 1);
    ASSERT_NE(copy->character.target, nullptr);
    EXPECT_NE(copy->character.target, body);
    // Deleting the first guard's character leaves the copy's alone.
    Actor *second = copy->character.target;
    DeleteActor(body);
    body = nullptr;
    EXPECT_EQ(guard->character.target, nullptr);
    Step(3);
    EXPECT_EQ(copy->character.target, second);
    DeleteActor(guard);
    guard = nullptr;
    Step(3);
    EXPECT_EQ(copy->character.target, second);
}

using Route = std::vector<std::string>;

// End type of B, weight of B, the nodes walked to, one a frame.
class GuardWalkTest : public GuardSceneTest,
                      public ::testing::WithParamInterface<std::tuple<uint32_t, uint32_t, Route>> {};

TEST_P(GuardWalkTest, NodesInOrder) {
    const auto &[endType, weightOfB, expected] = GetParam();
    GuardSetup setup;
    setup.endType = endType;
    Build(setup);
    SendCommandArgs(scene::SceneBuilder::Find("B"), 1360, weightOfB);
    // Each frame the character stands on its node: one step a frame.
    Route route = {"Guard", NodeName(guard->currentNode)};
    for (int i = 0; i < 5; ++i) {
        Actor *node = guard->currentNode == guardId
                          ? guard
                          : GetActorById(static_cast<uint32_t>(guard->currentNode));
        const Vector3 at = node->GetWorldPosition();
        Place(body, {at.x, 30.0f, at.z});
        Step();
        route.push_back(NodeName(guard->currentNode));
    }
    EXPECT_EQ(route, expected);
    EXPECT_EQ(guard->motionId, 3);
    EXPECT_EQ(bodyLog.Texts(1097).back(), "N_Forward");
}

INSTANTIATE_TEST_SUITE_P(
    Ends, GuardWalkTest,
    ::testing::Values(
        std::tuple(kPathEndReverse, 1u, Route{"Guard", "A", "B", "A", "Guard", "A", "B"}),
        std::tuple(kPathEndLoop, 1u, Route{"Guard", "A", "B", "Guard", "Guard", "A", "B"}),
        std::tuple(kPathEndReverse, 0u,
                   Route{"Guard", "A", "Guard", "Guard", "A", "Guard", "Guard"})));

TEST_F(GuardSceneTest, NodeTimePausesALittleOverIt) {
    Build();
    SendCommandArgs(guard, 1295, uint32_t{1});
    SendCommandArgs(scene::SceneBuilder::Find("A"), cmd::path_node::SetPathnodeTime, 2.5f);
    Actor *a = scene::SceneBuilder::Find("A");
    const Vector3 at = a->GetWorldPosition();
    Place(body, {at.x, 30.0f, at.z});
    Step();
    ASSERT_EQ(guard->guardState, uint32_t{kGuardPauseInPatrol});
    EXPECT_EQ(guard->pauseTime, 2.5f);
    const int frames = StepUntilState(kGuardPatrol, 400);
    EXPECT_GE(frames, 150);
    EXPECT_LE(frames, 153);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1347, 1342, 1343, 1346}));
    const std::vector<std::string> motions = bodyLog.Texts(1097);
    EXPECT_GE(std::count(motions.begin(), motions.end(), "N_Neutral"), 150);
}

TEST_F(GuardSceneTest, SleeperWokenIntoHuntStandsThenRunsAndJumps) {
    GuardSetup setup;
    setup.initialState = kGuardSleep;
    setup.hero = {0, 30, 250};
    Build(setup);
    Step();
    EXPECT_EQ(guard->motionId, 10); // "S_Neutral"
    guard->sinceStrike = 11.0f;
    hero->paramValue[kParamNoiselevel] = 20.0f;
    float noise = 0.0f;
    hero->HandleCommand(974, ParamBlock(&noise, sizeof(noise)));
    ASSERT_GT(noise, 0.0f);
    const float d = hero->GetWorldPosition().z - body->GetWorldPosition().z;
    // Just short of waking, then just past it (0.8 x noise x radius > d).
    ColObj quiet = Sensor("Hearing", d / (0.8f * noise) * 0.98f);
    Touch(quiet, hero);
    EXPECT_EQ(guard->guardState, uint32_t{kGuardSleep});
    ColObj hearing = Sensor("Hearing", d / (0.8f * noise) * 1.02f);
    Touch(hearing, hero);
    ASSERT_EQ(guard->guardState, uint32_t{kGuardHunt});
    EXPECT_EQ(guard->target.target, hero);
    Place(hero, {0, 30, 1500}); // out of reach: the hunt goes on
    bodyLog.log.clear();
    Step(238);
    EXPECT_EQ(guard->motionId, 2);
    EXPECT_TRUE(bodyLog.Of(869).empty());
    Step(4);
    EXPECT_EQ(guard->motionId, 0);
    EXPECT_EQ(bodyLog.Texts(1097).back(), "R_Forward");
    // Jumps 3.0 s into the run, then every 3.0 s.
    Step(170);
    EXPECT_EQ(bodyLog.Of(869).size(), 0u);
    Step(15);
    EXPECT_EQ(bodyLog.Of(869).size(), 1u);
    Step(165);
    EXPECT_EQ(bodyLog.Of(869).size(), 1u);
    Step(15);
    EXPECT_EQ(bodyLog.Of(869).size(), 2u);
}

TEST_F(GuardSceneTest, TrailSamplesKeepsSixtyFourAndCutsLoops) {
    Build();
    SendCommandArgs(guard, cmd::guard::GuardNetworkhunt, uint32_t(heroId));
    ASSERT_EQ(guard->guardState, uint32_t{kGuardHunt});
    EXPECT_EQ(std::tuple(guard->trailTarget.target, guard->trailInterval),
              std::tuple(static_cast<Actor *>(hero), 0.2f));
    runner.preStep = [&](uint32_t) { guard->stateTime = 4.0f; }; // the hunt goes on
    // The hero walks away along x, 60 units every 0.2 s, far from the guard.
    for (int frame = 0; frame < 12 * 11; ++frame) {
        if (frame % 12 == 0) {
            Place(hero, {-2000.0f + 5.0f * static_cast<float>(frame), 30.0f, 2000.0f});
        }
        Step();
    }
    const size_t before = guard->huntTrail.size();
    ASSERT_GE(before, 9u);
    EXPECT_LE(before, 11u);
    // Back beside the third point: the trail is cut before it.
    const Vector3 third = guard->huntTrail[2];
    Place(hero, {third.x, 30.0f, third.z + 90.0f});
    for (int frame = 0; frame < 15 && guard->huntTrail.size() >= before; ++frame) {
        Step();
    }
    EXPECT_EQ(guard->huntTrail.size(), 2u);
    // A long walk keeps at most 64 points.
    for (int frame = 0; frame < 12 * 70; ++frame) {
        if (frame % 12 == 0) {
            Place(hero, {-2000.0f + 4.0f * static_cast<float>(frame), 30.0f, 2500.0f});
        }
        Step();
        ASSERT_LE(guard->huntTrail.size(), 64u);
    }
    EXPECT_EQ(guard->huntTrail.size(), 64u);
    runner.preStep = nullptr;
}

TEST_F(GuardSceneTest, HiddenTargetEndsTheHuntAfterFiveSeconds) {
    GuardSetup setup;
    setup.hero = {0, 30, 1000};
    setup.extra = [](scene::SceneBuilder &b, Actor *room, GuardActor *) {
        game::BoxWall(b, "Wall", {-500, 0, 500}, {500, 400, 520}, room);
    };
    Build(setup);
    SendCommandArgs(guard, cmd::guard::GuardNetworkhunt, uint32_t(heroId));
    const int frames = StepUntilState(kGuardReturnToPatrol, 600);
    EXPECT_GE(frames, 300);
    EXPECT_LE(frames, 331);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1347, 1338, 1339, 1350}));
}

TEST_F(GuardSceneTest, UnreachedTargetPausesAtFifteenAndReturnsTenLater) {
    GuardSetup setup;
    setup.hero = {0, 30, 1000};
    Build(setup);
    SendCommandArgs(guard, cmd::guard::GuardNetworkhunt, uint32_t(heroId));
    EXPECT_NEAR(StepUntilState(kGuardPauseInHunt, 1200), 900, 2);
    Step();
    EXPECT_EQ(bodyLog.Texts(1097).back(), "N_Exhausted");
    EXPECT_NEAR(StepUntilState(kGuardReturnToPatrol, 1200), 600, 2);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1347, 1338, 1339, 1348, 1349, 1350}));
}

TEST_F(GuardSceneTest, HitAfterThreeSecondsThenTheCatchIsCounted) {
    GuardSetup setup;
    setup.hero = {0, 30, 50};
    Build(setup);
    GetActorSystem()->recordMode = 2;
    GetActorSystem()->commandLog.clear();
    // Held: no strike.
    SendCommandArgs(guard, cmd::guard::GuardNetworkhunt, uint32_t(heroId));
    SendCommandArgs(body, 856, 4.0f);
    Step(200);
    EXPECT_EQ(guard->guardState, uint32_t{kGuardHunt});
    SendCommandArgs(body, 856, 0.0f);
    Step();
    EXPECT_EQ(guard->guardState, uint32_t{kGuardHit});
    EXPECT_EQ(guard->catchTimer, 5.0f);
    // Hit lasts 2 s; the catch falls due 5 s after the strike.
    EXPECT_NEAR(StepUntilState(kGuardReturnToPatrol, 300), 120, 2);
    ASSERT_TRUE(front->Of(549).empty());
    Step(200);
    ASSERT_EQ(front->Of(549).size(), 1u);
    const RecordedCommand report = front->Of(549)[0];
    EXPECT_EQ(std::tuple(report.Read<uint32_t>(0), report.Read<uint32_t>(4), report.Read<uint32_t>(8)),
              std::tuple(uint32_t(bodyId), uint32_t(heroId), 0u));
    EXPECT_EQ(hero->catchCount, 1u);
    const auto &log = GetActorSystem()->commandLog;
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const CommandLogRecord &r) { return r.commandId == 549; }),
              1);
}

class GuardCatchTest : public GuardSceneTest {
  protected:
    // Three strikes, each counted when its timer runs out; the third report.
    uint32_t ThirdCatch() {
        for (int i = 0; i < 3; ++i) {
            guard->target.Assign(hero);
            guard->SetState(kGuardHit);
            Step(301);
            guard->SetState(kGuardPatrol);
        }
        const auto reports = front->Of(549);
        return reports.size() == 3 ? reports[2].Read<uint32_t>(8) : 99u;
    }
};

TEST_F(GuardCatchTest, TheThirdCatchSendsTheTargetToTheDungeon) {
    GuardSetup setup;
    setup.hero = {0, 30, 1500};
    setup.extra = [](scene::SceneBuilder &b, Actor *room, GuardActor *) {
        game::SpawnPoint(b, "DungeonSpawn", {2000, 30, -2000}, 0, room);
    };
    Build(setup);
    EXPECT_EQ(ThirdCatch(), 1u);
    EXPECT_EQ(hero->catchCount, 0u);
    EXPECT_LT(Horizontal(hero->GetWorldPosition(), {2000, 0, -2000}), 5.0f);
}

TEST_F(GuardCatchTest, WithoutADungeonTheTargetStays) {
    GuardSetup setup;
    setup.hero = {0, 30, 1500};
    Build(setup);
    EXPECT_EQ(ThirdCatch(), 0u);
    EXPECT_EQ(hero->catchCount, 0u);
    EXPECT_LT(Horizontal(hero->GetWorldPosition(), {0, 0, 1500}), 5.0f);
}

TEST_F(GuardSceneTest, ReturnToPatrolTeleportsAfterThirtySeconds) {
    Build();
    Place(body, {2000, 30, 2000});
    guard->SetState(kGuardReturnToPatrol);
    const int frames = StepUntilState(kGuardPatrol, 2000);
    EXPECT_NEAR(frames, 1800, 2);
    const Vector3 at = body->GetWorldPosition();
    EXPECT_LT(Horizontal(at, {0, 0, 0}), 5.0f);
    EXPECT_GT(at.y, 40.0f);
    EXPECT_EQ(guard->stateTime, 0.0f);
}

TEST_F(GuardSceneTest, ApplyHitSendsHoldMovementsAndScaledEffects) {
    Build();
    guard->gethitId = 3;
    guard->damageId = 1;
    guard->hitHoldTime = 1.5f;
    guard->hitEffects = {{12, -10.0f, 2.0f}, {99, 5.0f, 5.0f}, {0, 50.0f, 4.0f}};
    guard->target.Assign(hero);
    heroLog.log.clear();
    guard->SetState(kGuardHit);
    const std::vector<uint32_t> wanted = {856, 845, 847, 952, 940, 953, 954, 1039};
    EXPECT_EQ(heroLog.Ids(wanted), (std::vector<uint32_t>{856, 845, 847, 856, 952, 940}));
    EXPECT_EQ(heroLog.Texts(845), (std::vector<std::string>{"Gethit2"}));
    EXPECT_EQ(heroLog.Texts(847), (std::vector<std::string>{"Damage0"}));
    const auto holds = heroLog.Of(856);
    EXPECT_EQ(std::tuple(holds[0].reals[0], holds[1].reals[0]), std::tuple(0.0f, 1.5f));
    const auto health = heroLog.Of(952)[0];
    EXPECT_EQ(std::tuple(health.reals[0], health.reals[1]), std::tuple(-10.0f, 2.0f));
    EXPECT_EQ(guard->hitEffects.size(), 3u); // the unknown type stays in the list
    // A fighter's landed attack scales them.
    guard->attackParams = {{1, 2.0f, 0.0f}};
    guard->attackIndex = 0;
    guard->target.Assign(hero);
    Place(hero, {0, 30, 40});
    Place(body, {0, 30, 0});
    SendCommandArgs(body, 856, 0.0f);
    guard->sinceStrike = 0.0f;
    guard->guardState = kGuardIdle;
    Step(); // the collision objects follow
    heroLog.log.clear();
    guard->evalTimer = 0.01f;
    Step();
    const auto scaled = heroLog.Of(940);
    ASSERT_EQ(scaled.size(), 1u);
    EXPECT_EQ(std::tuple(scaled[0].reals[0], scaled[0].reals[1]), std::tuple(100.0f, 8.0f));
    EXPECT_EQ(guard->catchTimer, 8.0f);
    EXPECT_EQ(guard->evalTimer, 1.0e38f);
}

TEST_F(GuardSceneTest, TargetDeletedMidHuntEndsItAndADeletedNodeRestartsTheWalk) {
    GuardSetup setup;
    setup.hero = {0, 30, 1000};
    Build(setup);
    SendCommandArgs(guard, cmd::guard::GuardNetworkhunt, uint32_t(heroId));
    Step(30);
    DeleteActor(hero);
    hero = nullptr;
    EXPECT_EQ(std::tuple(guard->target.target, guard->trailTarget.target),
              std::tuple(static_cast<Actor *>(nullptr), static_cast<Actor *>(nullptr)));
    Step();
    EXPECT_EQ(guard->guardState, uint32_t{kGuardReturnToPatrol});
    // The node walked to goes away: the walk starts again at the guard.
    guard->SetState(kGuardPatrol);
    guard->currentNode = scene::SceneBuilder::Find("B")->actorId;
    DeleteActor(scene::SceneBuilder::Find("B"));
    Place(body, {0, 30, 1500});
    Step();
    EXPECT_EQ(std::tuple(NodeName(guard->currentNode), guard->walkForward),
              std::tuple(std::string("Guard"), 1u));
    Place(body, {0, 30, 0});
    Step();
    EXPECT_EQ(NodeName(guard->currentNode), "A");
}

TEST_F(GuardSceneTest, TheGuardsCharacterDeletedStopsItsWork) {
    Build();
    SendCommandArgs(guard, cmd::guard::GuardNetworkhunt, uint32_t(heroId));
    DeleteActor(body);
    body = nullptr;
    EXPECT_EQ(guard->character.target, nullptr);
    const float stateTime = guard->stateTime;
    Step(10);
    EXPECT_EQ(guard->stateTime, stateTime);
    EXPECT_EQ(guard->guardState, uint32_t{kGuardHunt});
}

} // namespace
