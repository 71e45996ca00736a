// The collision pass: sub-steps, the pair walk, contact resolution with the
// velocity response by style and motion state, and the integrator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>

#include "actors/presentation/environment_actor.h"
#include "base/random.h"
#include "collision_test_util.h"
#include "core/actors/command_ids.h"
#include "core/actors/script_runner.h"
#include "support/scene_harness.h"

namespace {

using namespace coltest;

constexpr float kFrame = 1.0f / 60.0f;

class CollisionPassTest : public CollisionWorld {
  protected:
    void SetUp() override {
        CollisionWorld::SetUp();
        savedMaterials = MaterialTable;
        savedDelta = RootTimeRecord()->delta;
        RootTimeRecord()->delta = kFrame;
    }
    void TearDown() override {
        MaterialTable = savedMaterials;
        RootTimeRecord()->delta = savedDelta;
        CollisionWorld::TearDown();
    }

    // A floor of the static list of group 3, its top at y 0.
    ColObj &Floor(uint32_t material = 0) {
        Actor *floor = Make("floor");
        ColObj &box = StaticBox(floor, 3, {-1000, -100, -1000}, {1000, 0, 1000});
        box.material = material;
        return box;
    }
    // A simulated sphere of radius 10 in the active list (group 3).
    Actor *Ball(const Vector3 &position, uint32_t style, uint32_t material = 0) {
        Actor *ball = Make("ball", position);
        ColObj &sphere = Sphere(ball, 10, kDynamic);
        sphere.material = material;
        ball->drawGroupId = 3;
        ball->simParams = std::make_unique<SimParams>();
        ball->simParams->words[0] = style;
        ball->simState = std::make_unique<SimState>();
        active.Append(ball);
        return ball;
    }
    void SetMaterial(uint32_t index, float friction, float bounce) {
        MaterialTable[index].coefficients[1] = friction;
        MaterialTable[index].coefficients[2] = bounce;
    }

    std::vector<MaterialInfo> savedMaterials;
    float savedDelta = 0.0f;
};

TEST_F(CollisionPassTest, AFrameRunsAtMostTwoSubStepsOfOneNth) {
    auto steps = [](float delta) {
        const CollisionSubSteps s = CollisionSubStepsFor(delta);
        return std::pair(s.count, s.fraction);
    };
    EXPECT_EQ(steps(0.02f), std::pair(1u, 1.0f));
    EXPECT_EQ(steps(0.05f), std::pair(2u, 0.5f));
    EXPECT_EQ(steps(0.06f), std::pair(2u, 1.0f / 3.0f));
    EXPECT_EQ(steps(-1.0f), std::pair(1u, 1.0f));
    EXPECT_EQ(steps(NAN), std::pair(1u, 1.0f));
    EXPECT_EQ(steps(1e30f).first, 2u);
}

TEST_F(CollisionPassTest, OnlyActiveCollidersAreWalkedAndEachPairOnce) {
    Actor *a = Make("a");
    Actor *b = Make("b", {5, 0, 0});
    Actor *c = Make("c", {0, 5, 0});
    Actor *d = Make("d", {5, 5, 0});
    Sphere(a, 10, kGeometryEvent);
    Sphere(b, 10, kGeometryEvent);
    Sphere(c, 10, kEvent);
    Sphere(d, 10, kEvent);
    active.Append(a);
    active.Append(b);
    passive.Append(c);
    passive.Append(d);
    CollidePairsOfList(active, kCollideEvents);
    // a-b once (both told), a and b each against c and d; never c-d.
    std::vector<std::string> queued = Queued();
    std::sort(queued.begin(), queued.end());
    EXPECT_EQ(queued, (std::vector<std::string>{"a 171", "a 171", "a 171", "b 171", "b 171",
                                                "b 171", "c 171", "c 171", "d 171", "d 171"}));

    // An actor with collision off takes part in nothing.
    GetCollisionEventQueue().Clear();
    b->flags &= ~kActorCollisionEnabled;
    c->flags &= ~kActorCollisionEnabled;
    CollidePairsOfList(active, kCollideEvents);
    EXPECT_EQ(Queued(), (std::vector<std::string>{"d 171", "a 171"}));
}

TEST_F(CollisionPassTest, TheGridFindsThePairsOfTheAllPairsWalkInItsOrder) {
    // 2,000 objects of every kind: actives over three groups (and none),
    // passives, statics of the groups, some unbounded, inverted, huge or
    // not finite, some actors with collision off.
    std::mt19937 random(7);
    auto uniform = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(random);
    };
    auto at = [&] { return Vector3{uniform(-400, 400), uniform(-400, 400), uniform(-400, 400)}; };
    auto addObject = [&](Actor *actor, int pick) {
        if (pick < 5) {
            Sphere(actor, uniform(1, 30), kDynamic, {uniform(-5, 5), 0, 0});
        } else if (pick < 8) {
            const Vector3 half = {uniform(1, 40), uniform(1, 40), uniform(1, 40)};
            Box(actor, {-half.x, -half.y, -half.z}, half, kDynamic);
        } else {
            const uint32_t kinds[] = {
                kKindMeshTriangles, kKindRayPoint, kKindGround, kKindWorldBox, 9,
                kKindBox,           kKindBox};
            ColObj &object = Box(actor, {-20, -20, -20}, {20, 20, 20}, kDynamic,
                                 kinds[random() % std::size(kinds)]);
            switch (random() % 5) {
            case 0: // inverted on one axis
                std::swap(object.worldMin.y, object.worldMax.y);
                break;
            case 1:
                object.worldMax.z = NAN;
                break;
            case 2: // huge
                object.worldMin = {-2000, -50, -2000};
                object.worldMax = {2000, 50, 2000};
                break;
            default:
                break;
            }
        }
    };
    const int32_t groups[] = {-1, 1, 2, 5};
    int objects = 0;
    for (int i = 0; i < 1100; ++i) {
        Actor *actor = Make("a", at());
        actor->drawGroupId = groups[random() % 4];
        for (int n = 1 + static_cast<int>(random() % 2); n > 0; --n, ++objects) {
            addObject(actor, static_cast<int>(random() % 10));
        }
        if (random() % 20 == 0) {
            actor->flags &= ~kActorCollisionEnabled;
        }
        active.Append(actor);
    }
    for (int i = 0; i < 250; ++i, ++objects) {
        Actor *actor = Make("p", at());
        addObject(actor, static_cast<int>(random() % 10));
        passive.Append(actor);
    }
    while (objects < 2000) {
        Actor *actor = Make("s", at());
        const Vector3 half = {uniform(1, 60), uniform(1, 60), uniform(1, 60)};
        StaticBox(actor, groups[1 + random() % 3], {-half.x, -half.y, -half.z}, half);
        ++objects;
    }

    const size_t saved = SetCollisionGridMinimum(SIZE_MAX);
    const auto everyPair = CandidatePairsOfList(active);
    SetCollisionGridMinimum(0);
    bool searched = false;
    const auto grid = CandidatePairsOfList(active, &searched);
    SetCollisionGridMinimum(saved);
    EXPECT_TRUE(searched);
    EXPECT_GT(everyPair.size(), 2000u);
    EXPECT_TRUE(everyPair == grid) << everyPair.size() << " pairs against " << grid.size();

    // The walk of a short list, such as the resolution's, too.
    PointerList<Actor> few;
    for (Actor *actor : active) {
        if (few.Count() < 40) {
            few.Append(actor);
        }
    }
    SetCollisionGridMinimum(SIZE_MAX);
    const auto fewEveryPair = CandidatePairsOfList(few);
    SetCollisionGridMinimum(0);
    EXPECT_TRUE(fewEveryPair == CandidatePairsOfList(few));
    SetCollisionGridMinimum(saved);
}

// The pairs of the list through the grid and through the all-pairs walk,
// and whether the grid searched its cells.
struct BothWalks {
    std::vector<std::pair<ColObj *, ColObj *>> grid;
    std::vector<std::pair<ColObj *, ColObj *>> everyPair;
    bool searched = false;
};
BothWalks WalkBothWays(const PointerList<Actor> &list) {
    BothWalks both;
    const size_t saved = SetCollisionGridMinimum(0);
    both.grid = CandidatePairsOfList(list, &both.searched);
    SetCollisionGridMinimum(SIZE_MAX);
    both.everyPair = CandidatePairsOfList(list);
    SetCollisionGridMinimum(saved);
    return both;
}

TEST_F(CollisionPassTest, AHugeBoxOrSphereGoesAsideAndMeetsEverything) {
    // 600 small spheres and one box of +-1e9 among them (not among the
    // boxes the cell size is taken from): it covers every cell of the grid
    // on every axis.
    std::mt19937 random(5);
    auto uniform = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(random);
    };
    std::vector<Actor *> actors;
    for (int i = 0; i < 600; ++i) {
        Actor *actor = Make("a", {uniform(-300, 300), uniform(-300, 300), uniform(-300, 300)});
        if (i == 301) {
            Box(actor, {-1e9f, -1e9f, -1e9f}, {1e9f, 1e9f, 1e9f}, kDynamic);
        } else {
            Sphere(actor, uniform(1, 5), kDynamic);
        }
        active.Append(actor);
        actors.push_back(actor);
    }
    const BothWalks both = WalkBothWays(active);
    EXPECT_TRUE(both.searched);
    EXPECT_TRUE(both.grid == both.everyPair)
        << both.grid.size() << " against " << both.everyPair.size();
    const ColObj *huge = actors[301]->colObjs[0].get();
    EXPECT_EQ(std::count_if(
                  both.grid.begin(), both.grid.end(),
                  [huge](const auto &pair) { return pair.first == huge || pair.second == huge; }),
              599);

    // The ray query's index, with a sphere of radius 1e9 in its place.
    actors[301]->RemoveColObj(0);
    Sphere(actors[301], 1e9f, kNormal);
    for (Actor *actor : actors) {
        actor->colObjs[0]->flags = kNormal;
    }
    const uint32_t masks[3] = {1, 1, 0};
    size_t hits = 0;
    for (int i = 0; i < 100; ++i) {
        const Vector3 from = {uniform(-400, 400), uniform(-400, 400), uniform(-400, 400)};
        const Vector3 to = actors[static_cast<size_t>(i) * 5]->position;
        ColObj *answers[2] = {nullptr, nullptr};
        Vector3 points[2] = {{0, 0, 0}, {0, 0, 0}};
        for (const size_t minimum : {size_t{0}, SIZE_MAX}) {
            const size_t saved = SetCollisionGridMinimum(minimum);
            const int k = minimum == 0 ? 0 : 1;
            answers[k] = GetActorSystem()->CollisionQuery(from, to, masks, &points[k], nullptr);
            SetCollisionGridMinimum(saved);
        }
        EXPECT_EQ(answers[0], answers[1]) << "ray " << i;
        ExpectNear(points[0], points[1], 0.0f);
        hits += answers[1] != nullptr ? 1 : 0;
    }
    EXPECT_GT(hits, 50u);
}

TEST_F(CollisionPassTest, ACrowdAtOnePointIsWalkedPairByPairWithTheSamePairs) {
    std::mt19937 random(9);
    auto uniform = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(random);
    };
    auto spread = [&] {
        return Vector3{uniform(-900, 900), uniform(-900, 900), uniform(-900, 900)};
    };
    // A crowd among spread spheres, the crowd's members all through the
    // list: `crowd` of every 100 spheres stand at one point.
    auto scene = [&](int count, int crowd, bool staticCrowd) {
        active.Clear();
        passive.Clear();
        statics.clear();
        for (int i = 0; i < count; ++i) {
            const bool crowded = i % 100 < crowd;
            Actor *actor = Make("a", crowded ? Vector3{7, 7, 7} : spread());
            if (crowded && staticCrowd) {
                StaticBox(actor, 1, {-4, -4, -4}, {4, 4, 4});
                continue;
            }
            Sphere(actor, uniform(2, 10), kDynamic);
            actor->drawGroupId = 1;
            (i % 3 == 0 ? passive : active).Append(actor);
        }
        return WalkBothWays(active);
    };
    // Most objects at one point: every pair is walked.
    BothWalks both = scene(900, 50, false);
    EXPECT_FALSE(both.searched);
    EXPECT_GT(both.everyPair.size(), 50000u);
    EXPECT_TRUE(both.grid == both.everyPair);
    // A small crowd: the cells are searched, and give the same pairs.
    both = scene(1500, 3, false);
    EXPECT_TRUE(both.searched);
    EXPECT_GT(both.everyPair.size(), 400u);
    EXPECT_TRUE(both.grid == both.everyPair);
    // Crowded statics in the movers' group: met by the movers among them.
    both = scene(900, 30, true);
    EXPECT_TRUE(both.searched);
    EXPECT_GT(both.everyPair.size(), 0u);
    EXPECT_TRUE(both.grid == both.everyPair);
}

TEST_F(CollisionPassTest, AnActorWithTwoContactsIsTestedAgainInTheSameSubStep) {
    Floor();
    Actor *wall = Make("wall");
    StaticBox(wall, 3, {-100, -50, 15}, {100, 100, 50});
    Actor *ball = Make("ball", {0, 8, 8});
    Sphere(ball, 10, kDynamic);
    ball->drawGroupId = 3;
    active.Append(ball);
    RunCollisionPass(GetActorSystem(), kFrame);
    ASSERT_EQ(ball->simState->touches.size(), 2u);
    ExpectNear(ball->simState->touches[0].push, {0, 2, 0}, 0.01f);
    ExpectNear(ball->simState->touches[1].push, {0, 0, -3}, 0.01f);
    ExpectNear(ball->simState->touches[1].normal, {0, 0, -1}, 1e-4f);
    EXPECT_EQ(ball->simState->touches[1].otherGroups, 1u);
    EXPECT_NE(ball->simState->w1 & kSimStatePushed, 0u);
    EXPECT_NEAR(ball->position.y, 10.0f, 0.01f);
    EXPECT_NEAR(ball->position.z, 5.0f, 0.01f);
    EXPECT_FALSE(ball->HasFlag(kActorContacted));
    EXPECT_TRUE(ContactedList.Empty());
}

TEST_F(CollisionPassTest, TenUnresolvedIterationsRestoreThePose) {
    // A tube too narrow for the ball: every push leaves it in two walls.
    Actor *walls = Make("walls");
    StaticBox(walls, 3, {-100, -100, -100}, {-3, 100, 100});
    StaticBox(walls, 3, {3, -100, -100}, {100, 100, 100});
    StaticBox(walls, 3, {-100, -100, -100}, {100, -3, 100});
    StaticBox(walls, 3, {-100, 3, -100}, {100, 100, 100});
    Actor *ball = Make("ball", {0.5f, 0.25f, 0});
    Sphere(ball, 10, kDynamic);
    ball->drawGroupId = 3;
    ball->oldPosition = {0, 50, 0};
    ball->deltaPosition = {3, 3, 3};
    active.Append(ball);
    scene::SpyLog log;
    log.Watch(ball);
    RunCollisionPass(GetActorSystem(), kFrame);
    EXPECT_EQ(log.Count("ball", cmd::base::PoseRestored), 1u);
    ExpectNear(ball->position, {0, 50, 0}, 0.0f);
    ExpectNear(ball->deltaPosition, {0, 0, 0}, 0.0f);
    EXPECT_FALSE(ball->HasFlag(kActorContacted));
    EXPECT_TRUE(ball->simState->contacts.empty());
}

TEST_F(CollisionPassTest, GravityAndDragFollowTheEnvironment) {
    Actor *ball = Ball({0, 500, 0}, 0);
    ball->flags |= kActorSimulated;
    ball->simParams->SetVector(5, {0, 0, 0}); // no drag
    IntegrateSimulatedActor(ball, 1.0f);
    EXPECT_NEAR(ball->deltaPosition.y, -29.43f, 1e-3f);
    EXPECT_NEAR(ball->position.y, 500.0f - 29.43f * kFrame, 1e-3f);

    // Drag: d = |v| v, k = dt x air x 0.0005.
    ball->simParams->SetVector(5, {1, 1, 1});
    ball->deltaPosition = {100, 0, 0};
    ball->simParams->SetFloat(9, 0.0f); // no gravity
    IntegrateSimulatedActor(ball, 1.0f);
    EXPECT_NEAR(ball->deltaPosition.x, 100.0f - 100.0f * 100.0f * kFrame * 0.0005f, 1e-3f);
}

// The Environment root's gravity counts; anything else in slot 14 is not
// read, even of the Environment's class id, and the pass uses 9.81.
class EnvironmentStandIn : public Actor {
  public:
    EnvironmentStandIn() { classId = kEnvironmentClassId; }
    float gravity = 5.0f; // where an Environment keeps its own
};

TEST_F(CollisionPassTest, WithoutAnEnvironmentRootGravityIs981) {
    Actor *ball = Ball({0, 500, 0}, 0);
    ball->simParams->SetVector(5, {0, 0, 0});
    Actor *saved = ActorTable[kEnvironmentActorId];
    auto fall = [&] {
        ball->deltaPosition = {0, 0, 0};
        IntegrateSimulatedActor(ball, 1.0f);
        return ball->deltaPosition.y / (100.0f * kFrame * 1.8f);
    };
    ActorTable[kEnvironmentActorId] = nullptr;
    EXPECT_NEAR(fall(), -9.81f, 1e-4f);
    EnvironmentStandIn standIn;
    ActorTable[kEnvironmentActorId] = &standIn;
    EXPECT_NEAR(fall(), -9.81f, 1e-4f);
    EnvironmentActor environment;
    environment.gravity = 5.0f;
    ActorTable[kEnvironmentActorId] = &environment;
    EXPECT_NEAR(fall(), -5.0f, 1e-4f);
    ActorTable[kEnvironmentActorId] = saved;
}

TEST_F(CollisionPassTest, OrientationFollowsTheStyle) {
    Actor *ball = Ball({0, 500, 0}, 3);
    auto turn = [&](uint32_t style, const Vector3 &v) {
        ball->simParams->words[0] = style;
        ball->simParams->SetFloat(9, 0.0f);
        ball->simParams->SetVector(5, {0, 0, 0});
        ball->rotation = {0, 0, 0, 1};
        ball->deltaPosition = v;
        IntegrateSimulatedActor(ball, 1.0f);
        return ball->rotation;
    };
    auto expectQuat = [](const Quaternion &a, const Quaternion &b) {
        EXPECT_NEAR(a.x, b.x, 1e-5f);
        EXPECT_NEAR(a.y, b.y, 1e-5f);
        EXPECT_NEAR(a.z, b.z, 1e-5f);
        EXPECT_NEAR(a.w, b.w, 1e-5f);
    };
    ball->simParams->SetSpinAxis({0, 0, 1});
    ball->simParams->SetSpinRate(6.0f);
    Quaternion expected;
    QuaternionRotationAxis(&expected, {0, 0, 1}, kFrame * 6.0f);
    expectQuat(turn(3, {0, 0, 0}), expected);
    expectQuat(turn(4, {0, 0, 0}), expected);
    QuaternionRotationYawPitchRoll(&expected, kFrame * 60.0f, kFrame * 30.0f, kFrame * 90.0f);
    expectQuat(turn(5, {60, 30, 90}), expected);
    expectQuat(turn(2, {60, 0, 0}), {0, 0, 0, 1}); // no direction by movement

    ball->simParams->words[15] |= kSimDirectionByMovement;
    const Quaternion look = turn(2, {60, 0, 0});
    Vector3 forward;
    Matrix m;
    MatrixFromQuaternion(&m, look);
    forward = {m.m[2][0], m.m[2][1], m.m[2][2]};
    ExpectNear(forward, {1, 0, 0}, 1e-4f);
}

// A velocity of zero or straight down gives no direction to look along:
// the rotation is kept.
TEST_F(CollisionPassTest, DirectionByMovementKeepsTheRotationWithoutADirection) {
    Actor *ball = Ball({0, 500, 0}, 2);
    ball->simParams->words[15] |= kSimDirectionByMovement;
    const Quaternion start = {0, 0.6f, 0, 0.8f};
    for (const Vector3 &v : {Vector3{0, 0, 0}, Vector3{0, -300, 0}, Vector3{0, 300, 0}}) {
        ball->rotation = start;
        ball->deltaPosition = v;
        ball->simParams->SetFloat(9, v.y == 0.0f ? 0.0f : 1.0f);
        IntegrateSimulatedActor(ball, 1.0f);
        EXPECT_EQ(std::vector<float>({ball->rotation.x, ball->rotation.y, ball->rotation.z,
                                      ball->rotation.w}),
                  std::vector<float>({0, 0.6f, 0, 0.8f}));
    }
}

TEST_F(CollisionPassTest, ASlowLandingSlidesAndAFastOneBounces) {
    SetMaterial(1, 0.25f, 1.0f);
    Floor();
    Actor *ball = Ball({0, 8, 0}, 5, 1);
    scene::SpyLog log;
    log.Watch(ball);
    ball->deltaPosition = {0, -30, 0};
    ball->simState->contacts.push_back(
        {ball->colObjs[0].get(), statics[3].Items()[0], {0, 2, 0}, {0, 1, 0}, {0, 0, 0}});
    ResolveOneContact(ball);
    EXPECT_EQ(ball->simParams->Motion(), kSimSliding);
    EXPECT_EQ(log.Count("ball", cmd::base::OnSimFreeStop), 1u);
    EXPECT_EQ(log.Count("ball", cmd::base::OnSimSlideStart), 1u);
    ExpectNear(ball->deltaPosition, {0, 0, 0}, 1e-5f);
    ExpectNear(ball->position, {0, 10, 0}, 1e-5f);
    EXPECT_EQ(ball->simState->touches.size(), 1u);

    // Faster: a bounce, and the bounce scripts run with the floor's owner.
    struct Runner : ScriptRunner {
        int Run(ScriptRecord *record, Actor *local) override {
            runs.push_back(record->name + " " + (local ? local->name : "-"));
            return 1;
        }
        std::vector<std::string> runs;
    } runner;
    ScriptRunner *previous = InstallScriptRunner(&runner);
    auto script = std::make_unique<ScriptRecord>();
    script->name = "bounce";
    script->eventId = cmd::base::OnSimBounce;
    script->owner = ball;
    ball->scripts.push_back(std::move(script));
    ball->simParams->SetMotion(kSimFree);
    ball->deltaPosition = {0, -31, 0};
    ball->simState->contacts.push_back(
        {ball->colObjs[0].get(), statics[3].Items()[0], {0, 2, 0}, {0, 1, 0}, {0, 0, 0}});
    ResolveOneContact(ball);
    InstallScriptRunner(previous);
    EXPECT_EQ(ball->simParams->Motion(), kSimFree);
    ExpectNear(ball->deltaPosition, {0, 31, 0}, 1e-4f);
    EXPECT_EQ(runner.runs, std::vector<std::string>{"bounce floor"});
}

TEST_F(CollisionPassTest, ASlowSliderStopsAndRestsAndAContactWakesIt) {
    SetMaterial(1, 0.0f, 0.5f);
    ColObj &floor = Floor(1);
    Actor *ball = Ball({0, 8, 0}, 5, 1);
    scene::SpyLog log;
    log.Watch(ball);
    ball->flags |= kActorSimulated;
    ball->simParams->SetMotion(kSimSliding);
    ball->deltaPosition = {5, 0, 0};
    auto touch = [&] {
        ball->simState->contacts.push_back(
            {ball->colObjs[0].get(), &floor, {0, 2, 0}, {0, 1, 0}, {0, 0, 0}});
        ResolveOneContact(ball);
    };
    touch();
    ScheduledCommand *stop = ball->FindScheduledCommand(cmd::base::StopSimulate);
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(std::pair(stop->kind, stop->layer), std::pair(uint8_t{7}, uint8_t{1}));
    EXPECT_TRUE(ball->HasFlag(kActorSimulated)); // only next frame

    SendCommandArgs(ball, cmd::base::StopSimulate);
    EXPECT_EQ(log.Count("ball", 330), 1u);
    EXPECT_EQ(log.Count("ball", 331), 1u);
    EXPECT_EQ(ball->simParams->Motion(), kSimResting);
    EXPECT_FALSE(ball->HasFlag(kActorSimulated));
    SendCommandArgs(ball, cmd::base::StopSimulate); // a second stop tells nothing more
    EXPECT_EQ(log.Count("ball", 331), 1u);

    touch();
    EXPECT_NE(ball->FindScheduledCommand(cmd::base::StartSimulate), nullptr);
    EXPECT_EQ(ball->simParams->Motion(), kSimWaking);
    EXPECT_EQ(log.Count("ball", cmd::base::OnSimRestStop), 1u);
    IntegrateSimulatedActor(ball, 1.0f);
    EXPECT_EQ(ball->simParams->Motion(), kSimWoken);
    IntegrateSimulatedActor(ball, 1.0f);
    EXPECT_EQ(ball->simParams->Motion(), kSimFree);
    EXPECT_EQ(log.Count("ball", cmd::base::OnSimFreeStart), 1u);
}

TEST_F(CollisionPassTest, WithEventsOffNothingIsToldAndAWokenActorStaysWoken) {
    SetMaterial(1, 0.0f, 1.0f);
    ColObj &floor = Floor(1);
    Actor *ball = Ball({0, 8, 0}, 5, 1);
    ball->simParams->words[15] &= ~kSimEvents;
    scene::SpyLog log;
    log.Watch(ball);
    ball->simParams->SetMotion(kSimWoken);
    IntegrateSimulatedActor(ball, 1.0f);
    IntegrateSimulatedActor(ball, 1.0f);
    EXPECT_EQ(ball->simParams->Motion(), kSimWoken);
    ball->simState->contacts.push_back(
        {ball->colObjs[0].get(), &floor, {0, 2, 0}, {0, 1, 0}, {0, 0, 0}});
    ResolveOneContact(ball);
    EXPECT_EQ(ball->simParams->Motion(), kSimSliding);
    ball->simParams->SetMotion(kSimFree);
    ball->deltaPosition = {0, -10, 0};
    ball->simState->contacts.push_back(
        {ball->colObjs[0].get(), &floor, {0, 2, 0}, {0, 1, 0}, {0, 0, 0}});
    ResolveOneContact(ball);
    for (uint32_t command : {327u, 328u, 329u, 330u, 331u, 332u}) {
        EXPECT_EQ(log.Count("ball", command), 0u) << command;
    }
}

TEST_F(CollisionPassTest, StyleNoneStopsOnFullFrictionAndIsCarriedByAMovingFloor) {
    SetMaterial(1, 1.0f, 0.0f);
    ColObj &floor = Floor(1);
    Actor *ball = Ball({0, 8, 0}, 0, 1);
    ball->deltaPosition = {40, -5, 0};
    ball->simState->contacts.push_back(
        {ball->colObjs[0].get(), &floor, {0, 2, 0}, {0, 1, 0}, {0, 0, 0}});
    ResolveOneContact(ball);
    ExpectNear(ball->deltaPosition, {0, 0, 0}, 0.0f);

    // Half friction, a floor moving by (3, 0, 0) this frame: carried along.
    SetMaterial(1, std::sqrt(0.5f), 0.0f);
    floor.owner->deltaPosition = {3, 0, 0};
    ball->position = {0, 8, 0};
    ball->deltaPosition = {40, -5, 0};
    ball->simState->contacts.push_back(
        {ball->colObjs[0].get(), &floor, {0, 2, 0}, {0, 1, 0}, {0, 0, 0}});
    ResolveOneContact(ball);
    ExpectNear(ball->deltaPosition, {20, 0, 0}, 1e-4f);
    ExpectNear(ball->position, {3, 10, 0}, 1e-5f);

    // An actor with no simulation records at all responds as style 0 and
    // gets none.
    ball->simParams.reset();
    ball->deltaPosition = {0, -5, 0};
    ball->simState->contacts.push_back(
        {ball->colObjs[0].get(), &floor, {0, 2, 0}, {0, 1, 0}, {0, 0, 0}});
    ResolveOneContact(ball);
    EXPECT_FALSE(ball->simParams);
}

TEST_F(CollisionPassTest, CylinderSpinRenewalDrawsInItsOrder) {
    SetMaterial(1, 0.0f, 1.0f);
    ColObj &floor = Floor(1);
    Actor *ball = Ball({0, 8, 0}, 3, 1);
    ball->rotation = {0.0f, 0.0f, 0.38268343f, 0.92387953f};
    SeedRand(1);
    auto spin = [&](const Vector3 &v) {
        ball->deltaPosition = v;
        ball->simParams->SetMotion(kSimSliding);
        ball->simState->contacts.push_back(
            {ball->colObjs[0].get(), &floor, {0, 2, 0}, {0, 1, 0}, {0, 0, 0}});
        ResolveOneContact(ball);
        const Vector3 axis = ball->simParams->SpinAxis();
        return std::vector<float>{axis.x, axis.y, axis.z, ball->simParams->SpinRate()};
    };
    const std::vector<float> slow = spin({100, 0, 0});
    const std::vector<float> fast = spin({400, -100, 0});
    // After seeding with 1 the draws are 41, 18467, 6334, 26500, 19169.
    // Slow (t 100): the axis (0, 0, 1) of the rotation gets y -0.15, and
    // the rate 41 x (0.95 - 0.1483) x 0.005.
    const std::vector<float> goldenSlow = {0.0f, -0.14834040f, 0.98893636f, 0.16434021f};
    // Fast (t 500, u 1): z gains (67 - 200) x 0.05, y (334 - 200) x 0.05,
    // x (100 - 200) x 0.05; the rate (100 - 169) x 0.2.
    const std::vector<float> goldenFast = {-0.50007033f, 0.65525812f, -0.56618595f, -13.8f};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(slow[i], goldenSlow[i], 1e-4f) << i;
        EXPECT_NEAR(fast[i], goldenFast[i], 1e-4f) << i;
    }
    EXPECT_NEAR(Vec3Length(ball->simParams->SpinAxis()), 1.0f, 1e-5f);
}

TEST_F(CollisionPassTest, AnActorWithAPositionOrRadiusNotFiniteTouchesNothing) {
    // A dynamic crate (a box or a sphere) at the origin, an event box 1,000
    // away, and a dynamic sphere whose radius or position is not a number,
    // or (500 away) whose radius is infinite or the largest float (its push
    // would overflow), by both pair walks.
    const struct {
        const char *what;
        Vector3 at;
        float radius;
    } brokenSpheres[] = {{"NaN radius", {0, 0, 0}, NAN},
                         {"NaN position", {NAN, 0, 0}, 10.0f},
                         {"+inf radius", {500, 0, 0}, INFINITY},
                         {"-inf radius", {500, 0, 0}, -INFINITY},
                         {"largest radius", {500, 0, 0}, FLT_MAX}};
    for (const auto &brokenSphere : brokenSpheres) {
        for (const bool boxCrate : {true, false}) {
            for (const size_t minimum : {size_t{0}, SIZE_MAX}) {
                active.Clear();
                passive.Clear();
                Actor *crate = Make("crate");
                if (boxCrate) {
                    Box(crate, {-10, -10, -10}, {10, 10, 10}, kDynamic);
                } else {
                    Sphere(crate, 10, kDynamic);
                }
                Actor *eventBox = Make("event box", {1000, 0, 0});
                Box(eventBox, {-10, -10, -10}, {10, 10, 10}, kEvent);
                Actor *broken = Make("broken", brokenSphere.at);
                Sphere(broken, brokenSphere.radius, kDynamic);
                active.Append(crate);
                active.Append(broken);
                passive.Append(eventBox);

                const size_t saved = SetCollisionGridMinimum(minimum);
                RunCollisionPass(GetActorSystem(), kFrame);
                SetCollisionGridMinimum(saved);
                const std::string what = std::string(brokenSphere.what) +
                                         (boxCrate ? ", box crate" : ", sphere crate") +
                                         (minimum == 0 ? ", grid" : ", every pair");
                EXPECT_EQ(crate->position.x, 0.0f) << what;
                EXPECT_EQ(crate->position.y, 0.0f) << what;
                EXPECT_EQ(crate->position.z, 0.0f) << what;
                EXPECT_TRUE(Queued().empty()) << what << ": " << Queued().size() << " queued";
            }
        }
    }
}

} // namespace

namespace {

using namespace coltest;

// Removes its own collision object on the first "Collision Event" and reads
// the causing object's name on every one.
class Remover : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == cmd::base::CollisionEvent) {
            const auto *causing = static_cast<const ColObj *>(block.ReadPointer(0));
            heard.push_back(causing != nullptr ? causing->name : "-");
            if (!colObjs.empty()) {
                RemoveColObj(0);
            }
        }
        return Actor::HandleCommand(commandId, block);
    }
    std::vector<std::string> heard;
};

class ColObjLifetimeTest : public CollisionWorld {};

TEST_F(ColObjLifetimeTest, ObjectsRemovedDuringThePassLiveUntilItsEnd) {
    Remover a;
    Remover b;
    a.name = "a";
    b.name = "b";
    for (auto [actor, id] : {std::pair(&a, 4000), std::pair(&b, 4001)}) {
        actor->actorId = id;
        ActorTable[static_cast<size_t>(id)] = actor;
        Sphere(actor, 10, kGeometryEvent).name = actor->name + " sphere";
        active.Append(actor);
    }
    b.position = {5, 0, 0};
    UpdateTestBounds(&b);
    RunCollisionPass(GetActorSystem(), 1.0f / 60.0f);
    // b is told after a removed its sphere: the sphere is still readable.
    EXPECT_EQ(a.heard, std::vector<std::string>{"b sphere"});
    EXPECT_EQ(b.heard, std::vector<std::string>{"a sphere"});
    EXPECT_TRUE(a.colObjs.empty() && b.colObjs.empty());
    active.Clear();
    for (int id : {4000, 4001}) {
        ActorTable[static_cast<size_t>(id)] = nullptr;
    }
}

} // namespace
