// The AutoAim in a one-room scene: the aim of types 0 and 2 on a class-0
// "Head", gathering and choosing the target, the commands, the lock-on mode
// of type 91 and the actor-file record.
#include <cfloat>
#include <cmath>
#include <tuple>

#include "actors/characters/auto_aim_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/scheduled_command.h"
#include "support/game_fixture.h"

namespace {

constexpr float kPiF = 3.1415927f;

class AutoAimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        Actor *roomA = game::Room(builder, "RoomA", {-3000, -1000, -3000}, {3000, 1000, 3000});
        Build(roomA);
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        room = scene::SceneBuilder::Find("RoomA");
        runner.SetCamera({0, 0, -500});
        aim = dynamic_cast<AutoAimActor *>(
            CreateActor(kAutoAimClassId, "Aim", nullptr, room, -1, true));
        head = CreateActor(0, "Head", nullptr, room, -1, true);
        target = At("Target", {100, 0, 0});
        ASSERT_NE(aim, nullptr);
        aim->aimTarget.Assign(target);
        aim->aimOutput.Assign(head);
        spies.Watch(aim);
    }
    // More of the scene, made before it is written and loaded.
    virtual void Build(Actor *roomA) { (void)roomA; }
    Actor *At(const char *name, const Vector3 &at) {
        Actor *actor = CreateActor(0, name, nullptr, room, -1, true);
        SendCommandArgs(actor, cmd::base::SetPosition, at);
        return actor;
    }
    void Style(uint32_t style, float speed) {
        SendCommandArgs(aim, cmd::auto_aim::SetAutoaimSmoothstyle_1722, style);
        aim->turnSpeed = speed;
    }
    // Frames until the yaw is within `within` of the goal; -1 after `most`.
    int FramesUntil(float goal, float within, int most) {
        for (int frame = 1; frame <= most; ++frame) {
            runner.Step();
            if (std::fabs(aim->currentYaw - goal) < within) {
                return frame;
            }
        }
        return -1;
    }
    // An event as the collision pass hands it: the other party's object
    // first.
    int Touch(Actor *other) {
        ColObj *pair[2] = {other->colObjs.empty() ? &loose : other->colObjs[0].get(), nullptr};
        loose.owner = other;
        return aim->HandleCommand(cmd::base::CollisionEvent, ParamBlock(pair, sizeof(pair)));
    }
    uint32_t Get(uint32_t commandId, float *value = nullptr) {
        float word = -1.0f;
        const uint32_t answer =
            static_cast<uint32_t>(aim->HandleCommand(commandId, ParamBlock(&word, sizeof(word))));
        if (value != nullptr) {
            *value = word;
        }
        return answer;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    scene::SpyLog spies;
    Actor *room = nullptr;
    AutoAimActor *aim = nullptr;
    Actor *head = nullptr;
    Actor *target = nullptr;
    ColObj loose;
};

TEST_F(AutoAimTest, NoSmoothFacesTheCenterPointInTheSameFrame) {
    SendCommandArgs(target, cmd::base::SetPosition, Vector3{100, 50, 200});
    runner.Step();
    const Matrix &m = head->GetWorldMatrix();
    const float length = std::sqrt(100.0f * 100.0f + 50.0f * 50.0f + 200.0f * 200.0f);
    EXPECT_NEAR(m.m[2][0], 100.0f / length, 1e-4f);
    EXPECT_NEAR(m.m[2][1], 50.0f / length, 1e-4f);
    EXPECT_NEAR(m.m[2][2], 200.0f / length, 1e-4f);
}

TEST_F(AutoAimTest, LinearTurnsAtItsSpeedTheShortWay) {
    Style(kAimLinear, 0.5f);
    const int frames = FramesUntil(kPiF / 2.0f, 1e-4f, 400);
    EXPECT_NEAR(frames / 60.0f, 3.14f, 0.05f);

    // From +3.0 to -3.0 through pi: 0.28 rad at 0.5 rad/s.
    aim->currentYaw = 3.0f;
    SendCommandArgs(target, cmd::base::SetPosition,
                    Vector3{100 * std::sin(-3.0f), 0, 100 * std::cos(-3.0f)});
    runner.Step(10);
    EXPECT_GT(aim->currentYaw, 3.0f);
    const int more = FramesUntil(-3.0f, 1e-3f, 60);
    EXPECT_NEAR((more + 10) / 60.0f, (2 * kPiF - 6.0f) / 0.5f, 0.05f);
}

TEST_F(AutoAimTest, AcceleratedSettlesWithADamperAndSwingsWithout) {
    for (const auto &[damper, settles] : {std::tuple(1.2f, true), std::tuple(1.0f, false)}) {
        Style(kAimAccelerated, 0.5f);
        aim->damper = damper;
        aim->currentYaw = 0.0f;
        const int frames = FramesUntil(kPiF / 2.0f, 0.01f, 120);
        float worst = 0.0f;
        for (int i = 0; i < 120; ++i) {
            runner.Step();
            worst = std::max(worst, std::fabs(aim->currentYaw - kPiF / 2.0f));
        }
        EXPECT_EQ(frames > 0 && worst < 0.01f, settles) << damper << " " << frames << " " << worst;
    }
}

TEST_F(AutoAimTest, DefaultLimitsPinThePitch) {
    SendCommandArgs(aim, cmd::auto_aim::SetAutoaimUselimits, uint32_t{1});
    for (const Vector3 at : {Vector3{100, 0, 0}, Vector3{0, 300, 10}, Vector3{-50, -300, 40}}) {
        SendCommandArgs(target, cmd::base::SetPosition, at);
        runner.Step();
        EXPECT_FLOAT_EQ(aim->currentPitch, kPiF / 2.0f);
    }
}

TEST_F(AutoAimTest, NegativeHorizontalLimitBoundsTheYawByItsSize) {
    SendCommandArgs(aim, cmd::auto_aim::SetAutoaimUselimits, uint32_t{1});
    SendCommandArgs(aim, 1734u, -1.0f);
    SendCommandArgs(aim, 1736u, 1.0f);
    for (const float limit : {0.5f, -0.5f}) {
        SendCommandArgs(aim, 1732u, limit);
        for (const float side : {1.0f, -1.0f}) {
            SendCommandArgs(target, cmd::base::SetPosition, Vector3{100 * side, 0, 0});
            runner.Step();
            EXPECT_FLOAT_EQ(aim->currentYaw, 0.5f * side) << limit << " " << side;
        }
    }
}

TEST_F(AutoAimTest, ThresholdEventsOnceAndReleaseRaisesExitFirst) {
    Style(kAimLinear, 2.0f);
    runner.Step(60);
    EXPECT_EQ(std::tuple(spies.Count("Aim", cmd::auto_aim::OnAutoAimTresholdEnter),
                         spies.Count("Aim", cmd::auto_aim::OnAutoAimTresholdExit)),
              std::tuple(size_t{1}, size_t{0}));
    SendCommandArgs(target, cmd::base::SetPosition, Vector3{-100, 0, 0});
    runner.Step(10);
    EXPECT_EQ(spies.Count("Aim", cmd::auto_aim::OnAutoAimTresholdExit), size_t{1});
    runner.Step(120);
    EXPECT_EQ(spies.Count("Aim", cmd::auto_aim::OnAutoAimTresholdEnter), size_t{2});
    spies.Take();
    aim->HandleCommand(cmd::auto_aim::AutoAimReleaseTarget, ParamBlock());
    const std::vector<scene::SpyNotice> notices = spies.Take();
    ASSERT_GE(notices.size(), 2u);
    EXPECT_EQ(std::tuple(notices[0].command, notices[1].command, aim->aimTarget.target),
              std::tuple(uint32_t{cmd::auto_aim::OnAutoAimTresholdExit},
                         uint32_t{cmd::auto_aim::AutoAimReleaseTarget},
                         static_cast<Actor *>(nullptr)));
}

TEST_F(AutoAimTest, StartAndStopCommandsSwitchEnabled) {
    for (const auto &[command, enabled] :
         {std::tuple(37u, false), std::tuple(36u, true), std::tuple(215u, false),
          std::tuple(211u, true)}) {
        aim->HandleCommand(command, ParamBlock());
        EXPECT_EQ((aim->state & kActorEnabled) != 0, enabled) << command;
    }
}

TEST_F(AutoAimTest, CopyAimsTheSameOutputAtTheSameTarget) {
    auto *copy =
        dynamic_cast<AutoAimActor *>(CreateActor(kAutoAimClassId, "Copy", aim, room, -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->aimTarget.target, copy->aimOutput.target, copy->aimTarget.origin),
              std::tuple(target, head, static_cast<Actor *>(copy)));
    // The template switched off, the copy alone turns the output.
    aim->HandleCommand(37, ParamBlock());
    SendCommandArgs(target, cmd::base::SetPosition, Vector3{0, 0, 200});
    runner.Step();
    EXPECT_NEAR(head->GetWorldMatrix().m[2][2], 1.0f, 1e-4f);
    SendCommandArgs(target, cmd::base::SetPosition, Vector3{200, 0, 0});
    runner.Step();
    EXPECT_NEAR(head->GetWorldMatrix().m[2][0], 1.0f, 1e-4f);
}

TEST_F(AutoAimTest, GatheringKeepsIdsAndTheNearestWinsInTheNextPump) {
    aim->aimTarget.Release();
    std::vector<Actor *> many;
    for (int i = 0; i < 33; ++i) {
        many.push_back(At("Many", {float(200 + i), 0, 0}));
    }
    for (int i = 0; i < 32; ++i) {
        Touch(many[i]);
    }
    EXPECT_EQ(std::tuple(Touch(many[32]), aim->candidates.size()), std::tuple(1, size_t{32}));
    aim->candidates.clear();

    auto *dead = game::MakeCharacter(builder, "Dead", {10, 0, 0}, room);
    dead->health = 0.0f;
    Actor *near = At("Near", {50, 0, 0});
    Touch(dead);
    Touch(many[0]);
    Touch(near);
    Touch(near);
    EXPECT_EQ(aim->candidates.size(), 2u);
    EXPECT_EQ(aim->aimTarget.target, nullptr);
    // Deleted before the pump: skipped, and nothing reads it.
    DeleteActor(near);
    runner.Step();
    EXPECT_EQ(std::tuple(aim->aimTarget.target, aim->candidates.size()),
              std::tuple(many[0], size_t{0}));
}

TEST_F(AutoAimTest, AutoReleaseFollowsTheLastWin) {
    aim->aimTarget.Release();
    SendCommandArgs(aim, 1748, uint32_t{1});
    aim->autoReleaseTime = 0.5f;
    Touch(target);
    runner.Step(15); // 0.25 s
    EXPECT_EQ(aim->aimTarget.target, target);
    Touch(target); // won again: released 0.5 s from now
    runner.Step(24);
    EXPECT_EQ(aim->aimTarget.target, target);
    runner.Step(10);
    EXPECT_EQ(aim->aimTarget.target, nullptr);
    EXPECT_EQ(spies.Count("Aim", cmd::auto_aim::AutoAimReleaseTarget), 1u);
}

TEST_F(AutoAimTest, CommandAnswersAndTheLockOnVolumes) {
    EXPECT_EQ(SendCommandArgs(aim, cmd::auto_aim::SetAutoaimType, uint32_t{91}), 2);
    ASSERT_EQ(aim->colObjs.size(), 2u);
    const ColObj &first = *aim->colObjs[0], &second = *aim->colObjs[1];
    EXPECT_EQ(std::tuple(first.name, first.type, first.boxMax.x, first.fill, first.groups,
                         first.receiveGroups, first.excludeGroups, first.flags),
              std::tuple(std::string("_"), 1u, 2000.0f, 9u, 0x40000u, 0x4000101u, 0xC0010u, 0x15u));
    EXPECT_EQ(std::tuple(second.name, second.groups, second.receiveGroups, second.excludeGroups,
                         second.flags),
              std::tuple(std::string("DynamicHACK"), 0u, 0u, 0u, 0x67u));

    float value = 0.0f;
    EXPECT_EQ(Get(1733), 8u);
    SendCommandArgs(aim, cmd::auto_aim::SetAutoaimUselimits, uint32_t{1});
    EXPECT_EQ(Get(1733, &value), 1u);
    EXPECT_FLOAT_EQ(value, 6.2831855f);
    for (const auto &[style, turnAnswer, damperAnswer] :
         {std::tuple(0u, 8u, 8u), std::tuple(1u, 1u, 8u), std::tuple(2u, 1u, 1u)}) {
        aim->pitchVelocity = aim->yawVelocity = 3.0f;
        EXPECT_EQ(SendCommandArgs(aim, cmd::auto_aim::SetAutoaimSmoothstyle_1722, style), 2);
        EXPECT_EQ(std::tuple(Get(1739), Get(1741), aim->pitchVelocity, aim->yawVelocity),
                  std::tuple(turnAnswer, damperAnswer, 0.0f, 0.0f));
    }

    aim->aimTarget.Release();
    struct {
        Actor *actor = nullptr;
        char path[16] = "../Target";
    } byPath;
    EXPECT_EQ(aim->HandleCommand(cmd::auto_aim::SetAimTarget, ParamBlock(&byPath, sizeof(byPath))),
              1);
    EXPECT_EQ(aim->aimTarget.target, target);

    GetActorSystem()->SetFileVersion(63);
    for (const auto &[type, enabled] : {std::tuple(0u, true), std::tuple(1u, true),
                                        std::tuple(2u, false), std::tuple(91u, false)}) {
        aim->aimType = type;
        aim->state ^= kActorEnabled;
        aim->HandleCommand(cmd::base::InitLoad, ParamBlock());
        EXPECT_EQ((aim->state & kActorEnabled) != 0, enabled) << type;
    }
    GetActorSystem()->SetFileVersion(64);
    aim->state &= ~kActorEnabled;
    aim->HandleCommand(cmd::base::InitLoad, ParamBlock());
    EXPECT_EQ(aim->state & kActorEnabled, 0u);
}

TEST_F(AutoAimTest, TypeTwoGathersAndAimsAsTypeZeroTypeOneDoesNeither) {
    for (const auto &[type, works] : {std::tuple(2u, true), std::tuple(1u, false)}) {
        SendCommandArgs(aim, cmd::auto_aim::SetAutoaimType, type);
        aim->aimTarget.Release();
        head->SetWorldRotation(Quaternion{0, 0, 0, 1});
        Touch(target);
        runner.Step(2);
        EXPECT_EQ(std::tuple(aim->aimTarget.target == target, head->GetWorldMatrix().m[2][0] > 0.99f),
                  std::tuple(works, works))
            << type;
    }
}

TEST(AutoAimMarker, SizeAndAlpha) {
    EXPECT_FLOAT_EQ(MarkerHalfSize(1.0f, 800.0f, 1000.0f), 40.0f);
    EXPECT_NEAR(MarkerAlpha(1.0f, 1.0f, kAimLockSwitch, 0.0f), 0.296f, 1e-6f);
    EXPECT_NEAR(MarkerAlpha(1.0f, 1.0f, 0, 0.0f), 0.333f * 0.8f, 1e-6f);
    EXPECT_NEAR(MarkerAlpha(1.0f, 1.0f, 0, 0.2f), 0.259f * 0.8f, 1e-6f);
    // The blink at any clock, a clock far ahead too.
    for (const float now : {3e9f, 1e30f, -1e30f, FLT_MAX, INFINITY, NAN}) {
        const float alpha = MarkerAlpha(1.0f, 1.0f, 0, now);
        EXPECT_TRUE(alpha == 0.259f * 0.8f || alpha == 0.333f * 0.8f) << now;
    }
}

} // namespace

namespace {

TEST_F(AutoAimTest, RecordKeepsElevenWordsAndBothPaths) {
    aim->aimType = 2;
    aim->aimFlags = 0x510;
    aim->limitHorizontal = 1.0f;
    aim->limitVerticalMin = -0.5f;
    aim->limitVerticalMax = 0.25f;
    aim->turnSpeed = 2.0f;
    aim->damper = 1.5f;
    aim->penetrationEffect = 3.0f;
    aim->predictionTimeOffset = 4.0f;
    aim->predictionDistanceTime = 99.0f;
    aim->autoReleaseTime = 5.0f;
    aim->insideThreshold = 0.2f;
    TempFolder folder;
    const std::string bytes = WriteActorAtVersion(aim, 70, folder, "aim.qva");
    auto *loaded = dynamic_cast<AutoAimActor *>(LoadActorFileBytes(bytes, aim->actorId));
    ASSERT_NE(loaded, nullptr);
    AutoAimActor &back = *loaded;
    EXPECT_EQ(std::tuple(back.aimType, back.aimFlags, back.limitHorizontal, back.limitVerticalMin,
                         back.limitVerticalMax, back.turnSpeed, back.damper, back.penetrationEffect,
                         back.predictionTimeOffset, back.autoReleaseTime, back.insideThreshold,
                         back.predictionDistanceTime),
              std::tuple(2u, 0x510u, 1.0f, -0.5f, 0.25f, 2.0f, 1.5f, 3.0f, 4.0f, 5.0f, 0.2f, 10.0f));
    EXPECT_EQ(std::tuple(back.aimTarget.path, back.aimOutput.path),
              std::tuple(std::string("/Scenery/RoomA/Target"), std::string("/Scenery/RoomA/Head")));
    std::vector<std::string> lines;
    back.DumpClassFields(lines);
    EXPECT_EQ(lines, std::vector<std::string>{
                         "autoaim type 2 flags 1296 limith 1 limitvmin -0.5 limitvmax 0.25 "
                         "turnspeed 2 damper 1.5 penetration 3 prediction 4 release 5 threshold "
                         "0.2 target \"/Scenery/RoomA/Target\" output \"/Scenery/RoomA/Head\""});
    // A cut record fails the load.
    EXPECT_EQ(LoadActorFileBytes(bytes.substr(0, bytes.size() - 4), back.actorId), nullptr);
}

} // namespace

namespace {

// Type 91 under the character "Hero" at (0, 0, -200), whose camera looks
// along +z from (0, 0, -100).
class LockOnTest : public AutoAimTest {
  protected:
    static constexpr uint32_t kCameraStandIn = 40;

    // A room of its own far away.
    void Build(Actor *roomA) override {
        Actor *far = game::Room(builder, "Far", {5000, -100, 5000}, {6000, 400, 6000});
        game::MakeCharacter(builder, "Away", {5500, 0, 5500}, far);
        // Behind its camera, out of the cone.
        game::MakeCharacter(builder, "Hero", {0, 0, -200}, roomA);
    }
    void SetUp() override {
        AutoAimTest::SetUp();
        hero = dynamic_cast<CharacterActor *>(scene::SceneBuilder::Find("Hero"));
        ASSERT_NE(hero, nullptr);
        camera = dynamic_cast<game::Recorder *>(
            CreateActor(kCameraStandIn, "Eye", nullptr, room, -1, true));
        SendCommandArgs(camera, cmd::base::SetPosition, Vector3{0, 0, -100});
        camera->Answer(272, Vector3{0, 0, 1});
        hero->lookCamera.Assign(camera);
        lock = dynamic_cast<AutoAimActor *>(
            CreateActor(kAutoAimClassId, "Lock", nullptr, hero, -1, true));
        SendCommandArgs(lock, cmd::auto_aim::SetAutoaimType, uint32_t{91});
        // Above the body, which its queries would meet first.
        SendCommandArgs(lock, cmd::base::SetPosition, Vector3{0, 200, 0});
        // Past the blend-in after the last manual aim (at 0).
        runner.Step(30);
    }
    CharacterActor *Foe(const char *name, const Vector3 &at) {
        return game::MakeCharacter(builder, name, at, room);
    }
    // Offers the candidates and runs the pump that locks them.
    void Offer(std::initializer_list<Actor *> candidates) {
        for (Actor *candidate : candidates) {
            ColObj *pair[2] = {candidate->colObjs[0].get(), lock->colObjs[0].get()};
            lock->HandleCommand(cmd::base::CollisionEvent, ParamBlock(pair, sizeof(pair)));
        }
        runner.Step();
    }
    Actor *Slot(size_t i) const { return lock->lockSlots[i].link.target; }
    bool Steering() const { return (hero->charFlags & kCharLockSteering) != 0; }

    game::RecorderClass cameras{kCameraStandIn};
    CharacterActor *hero = nullptr;
    game::Recorder *camera = nullptr;
    AutoAimActor *lock = nullptr;
};

TEST_F(LockOnTest, RefusesOutsideDeadAndUnconnected) {
    Actor *away = scene::SceneBuilder::Find("Away");
    CharacterActor *aside = Foe("Aside", {600, 0, 100});
    CharacterActor *dead = Foe("Dead", {50, 0, 200});
    dead->health = 0.0f;
    Offer({aside, dead, away});
    EXPECT_EQ(std::tuple(Slot(0), Slot(1), Steering()),
              std::tuple(nullptr, nullptr, false));
}

TEST_F(LockOnTest, FillsBothSlotsNearestFirstThenHigherFirst) {
    CharacterActor *low = Foe("Low", {-60, 0, 300});
    CharacterActor *high = Foe("High", {60, 150, 500});
    CharacterActor *third = Foe("Third", {0, 0, 900});
    Offer({third, high, low});
    EXPECT_EQ(std::tuple(Slot(0), Slot(1), Steering()),
              std::tuple(static_cast<Actor *>(high), static_cast<Actor *>(low), true));

    // A lock deleted: 245 frees its slot.
    scene::SpyLog heard;
    heard.Watch(lock);
    DeleteActor(high);
    EXPECT_EQ(heard.Count("Lock", cmd::base::InvalidActorPointer), 1u);
    EXPECT_TRUE(Slot(0) == nullptr || Slot(1) == nullptr);
    runner.Step();
    EXPECT_TRUE(Slot(0) == low || Slot(1) == low);
}

TEST_F(LockOnTest, ACopyKeepsTheLocksAndTheAim) {
    CharacterActor *low = Foe("Low", {-60, 0, 300});
    CharacterActor *high = Foe("High", {60, 150, 500});
    Offer({high, low});
    ASSERT_EQ(std::tuple(Slot(0), Slot(1)),
              std::tuple(static_cast<Actor *>(high), static_cast<Actor *>(low)));
    lock->currentPitch = 0.25f;
    lock->currentYaw = -1.5f;
    lock->pitchVelocity = 0.125f;
    lock->yawVelocity = -0.5f;
    auto *copy =
        dynamic_cast<AutoAimActor *>(CreateActor(kAutoAimClassId, "Copy", lock, hero, -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->lockSlots[0].link.target, copy->lockSlots[1].link.target,
                         copy->lockSlots[0].link.origin, copy->lockSlots[1].changed),
              std::tuple(static_cast<Actor *>(high), static_cast<Actor *>(low),
                         static_cast<Actor *>(copy), lock->lockSlots[1].changed));
    EXPECT_EQ(std::tuple(copy->currentPitch, copy->currentYaw, copy->pitchVelocity,
                         copy->yawVelocity),
              std::tuple(0.25f, -1.5f, 0.125f, -0.5f));
    // The copy's links are its own: a lock deleted frees the slot in both.
    DeleteActor(high);
    EXPECT_EQ(std::tuple(Slot(0), copy->lockSlots[0].link.target, copy->lockSlots[1].link.target),
              std::tuple(nullptr, nullptr, static_cast<Actor *>(low)));
}

TEST_F(LockOnTest, ALockOutOfViewStaysUntilUnhook) {
    CharacterActor *foe = Foe("Foe", {0, 0, 300});
    Offer({foe});
    ASSERT_EQ(Slot(0), foe);
    // Out of the camera's cone: still locked.
    camera->Answer(272, Vector3{1, 0, 0});
    runner.Step(30);
    lock->HandleCommand(cmd::auto_aim::AutoAimUnhook, ParamBlock());
    EXPECT_EQ(Slot(0), foe);
    runner.Step(80);
    lock->HandleCommand(cmd::auto_aim::AutoAimUnhook, ParamBlock());
    EXPECT_EQ(std::tuple(Slot(0), Steering()), std::tuple(nullptr, false));
}

TEST_F(LockOnTest, ALockEndsWithDeath) {
    CharacterActor *foe = Foe("Foe", {0, 0, 300});
    Offer({foe});
    ASSERT_EQ(Slot(0), foe);
    foe->health = 0.0f;
    runner.Step();
    EXPECT_EQ(Slot(0), nullptr);
}

TEST_F(LockOnTest, ManualAimHoldsTwoSecondsAndRelaxesAtMostOnceASecond) {
    scene::SpyLog hands;
    hands.Watch(hero->leftHand.target);
    hands.Watch(hero->rightHand.target);
    lock->HandleCommand(cmd::auto_aim::AutoAimManualAimNotify, ParamBlock());
    runner.Step(30);
    lock->HandleCommand(cmd::auto_aim::AutoAimManualAimNotify, ParamBlock());
    EXPECT_EQ(std::tuple(hands.Count("LeftHand", 221), hands.Count("RightHand", 221)),
              std::tuple(size_t{1}, size_t{1}));
    EXPECT_NE(hero->charFlags & kCharManualAimHold, 0u);
    runner.Step(95);
    EXPECT_EQ(hero->charFlags & kCharManualAimHold, 0u);
    lock->HandleCommand(cmd::auto_aim::AutoAimManualAimNotify, ParamBlock());
    EXPECT_EQ(hands.Count("LeftHand", 221), size_t{2});
}

TEST_F(LockOnTest, ALevelLoadsClockBelowTheLastRelaxHoldsNoRelaxBack) {
    scene::SpyLog hands;
    hands.Watch(hero->leftHand.target);
    runner.Step(300);
    lock->HandleCommand(cmd::auto_aim::AutoAimManualAimNotify, ParamBlock());
    ASSERT_EQ(hands.Count("LeftHand", 221), size_t{1});
    // A level load starts the clock at 0 again, below that stamp.
    float zero = 0.0f;
    GetActorSystem()->HandleCommand(cmd::actor_system::SetGlobalTime,
                                    ParamBlock(&zero, sizeof(zero)));
    runner.Step(30);
    lock->HandleCommand(cmd::auto_aim::AutoAimManualAimNotify, ParamBlock());
    EXPECT_EQ(hands.Count("LeftHand", 221), size_t{2});
    // From there on at most once a second again.
    runner.Step(30);
    lock->HandleCommand(cmd::auto_aim::AutoAimManualAimNotify, ParamBlock());
    EXPECT_EQ(hands.Count("LeftHand", 221), size_t{2});
}

} // namespace

namespace {

// On a floor, where nobody falls away, with a box wall across the room
// right of the view's middle and, straight ahead, a closet: a room of its own
// with no way into RoomA.
class GroundedLockOnTest : public LockOnTest {
  protected:
    void Build(Actor *roomA) override {
        LockOnTest::Build(roomA);
        game::BoxWall(builder, "Floor", {-2900, -20, -2900}, {2900, 0, 2900}, roomA);
        game::BoxWall(builder, "Wall", {200, -100, 1000}, {800, 600, 1020}, roomA);
        game::Room(builder, "Closet", {-100, -100, 1500}, {100, 400, 1700});
    }
};

TEST_F(GroundedLockOnTest, WithoutTheSwitchALockEndsFarAwayOrUnconnected) {
    struct Case {
        const char *name;
        bool away;
        bool switched;
    };
    for (const Case &c : {Case{"Gone", true, false}, Case{"Cut", false, false},
                          Case{"Kept", true, true}}) {
        CharacterActor *foe = Foe(c.name, {0, 0, 300});
        Offer({foe});
        ASSERT_EQ(Slot(0), foe) << c.name;
        if (c.switched) {
            lock->HandleCommand(cmd::auto_aim::ToggleLockSwitch, ParamBlock());
        }
        // 2100 from the character, or in the closet.
        SendCommandArgs(foe, cmd::base::SetPosition, Vector3{0, 0, c.away ? 1900.0f : 1600.0f});
        runner.Step(5);
        EXPECT_EQ(Slot(0) == foe, c.switched) << c.name;
    }
}

TEST_F(GroundedLockOnTest, HiddenIsNotLockedAndALockEndsAfterTwoFailedRechecks) {
    const Vector3 behind = {600, 0, 1400};
    Offer({Foe("Hidden", behind)});
    EXPECT_EQ(std::tuple(Slot(0), Slot(1)), std::tuple(nullptr, nullptr));

    CharacterActor *foe = Foe("Foe", {300, 0, 700});
    Offer({foe});
    ASSERT_EQ(Slot(0), foe);
    SendCommandArgs(foe, cmd::base::SetPosition, behind);
    // 63 frames hold at most one re-check, 129 at least two.
    runner.Step(63);
    EXPECT_EQ(Slot(0), foe);
    runner.Step(66);
    EXPECT_EQ(Slot(0), nullptr);
}

} // namespace
