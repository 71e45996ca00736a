// The Character's condition: parameters coming back from a change with the
// camera values that follow them, endurance and its events, the speed
// factor and its start-and-stop ramp, fall damage with the landing shake,
// item dropping, the network state record and the one-off impulse.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "base/random.h"
#include "core/actors/actor_services.h"
#include "support/character_steps.h"

namespace {

using game::CharacterStepsTest;

constexpr uint32_t kCmdChangeHealth = 952;

class CharacterConditionTest : public CharacterStepsTest {
  protected:
    // One 0.1 s tick of the parameters.
    void Tick() {
        hero->paramTickTimer = 0.1f;
        hero->ConditionTick();
    }
    game::Recorder *Camera() {
        return dynamic_cast<game::Recorder *>(CreateActor(19, "Cam", nullptr, nullptr, -1, true));
    }
};

TEST_F(CharacterConditionTest, ParametersComeBackFromAChangeAndTheCameraFollows) {
    Hold();
    // A loaded character reads 1.0 everywhere until its first tick.
    EXPECT_FLOAT_EQ(hero->paramBase[kParamFov], 0.9f);
    for (float value : hero->paramValue) {
        EXPECT_EQ(value, 1.0f);
    }
    game::Recorder *camera = Camera();
    ASSERT_NE(camera, nullptr);
    hero->notifyCamera.Assign(camera);
    SendCommandArgs(hero, 918, 70.0f);
    SendCommandArgs(hero, 940, 50.0f, 2.0f); // "Change CPSpeed" 50 % for 2 s
    hero->paramTickTimer = 0.05f;
    hero->ConditionTick();
    EXPECT_EQ(hero->paramValue[kParamSpeed], 1.0f);
    Tick();
    EXPECT_FLOAT_EQ(hero->paramValue[kParamSpeed], 0.35f);
    EXPECT_FLOAT_EQ(hero->speedFactor, 0.35f);
    for (int i = 0; i < 20; ++i) {
        Tick();
    }
    EXPECT_NEAR(hero->paramValue[kParamSpeed], 0.7f, 1e-5f);
    while (hero->paramBlend[kParamSpeed] < 1.0f) {
        Tick();
    }
    Tick();
    EXPECT_EQ(hero->paramValue[kParamSpeed], hero->paramBase[kParamSpeed]);

    // The field of view went to 0.9 at the first tick; then Vision, then one
    // gamma add.
    ASSERT_EQ(camera->Of(1212).size(), 1u);
    EXPECT_FLOAT_EQ(camera->Of(1212)[0].F32(), 0.9f * 1.7453293f);
    EXPECT_TRUE(camera->Of(1237).empty());
    SendCommandArgs(hero, 925, 150.0f);
    Tick();
    SendCommandArgs(hero, 928, 50.0f);
    Tick();
    Tick();
    const auto gamma = camera->Of(1237);
    ASSERT_EQ(gamma.size(), 2u);
    for (size_t i = 0; i < 6; ++i) {
        const float first[6] = {1, 1, 1, 160, 160, 160};
        const float second[6] = {1, 1, 1, 160, 144, 160};
        EXPECT_FLOAT_EQ(gamma[0].F32(4 * i), first[i]) << i;
        EXPECT_FLOAT_EQ(gamma[1].F32(4 * i), second[i]) << i;
    }
    EXPECT_EQ(camera->Of(1212).size(), 1u);
    ASSERT_EQ(DeleteActor(camera), 1);
    SendCommandArgs(hero, 926, 80.0f);
    Tick();
    EXPECT_EQ(hero->notifyCamera.target, nullptr);
}

TEST_F(CharacterConditionTest, EnduranceDrainsByPostureAndRaisesItsEvents) {
    Hold();
    const struct {
        char posture;
        bool moving;
        float capacity;
        float change;
    } drains[] = {
        {'N', false, 0.8f, 0.009f},
        {'N', true, 0.5f, 0.009f},
        {'N', true, 0.8f, 0.009f - 0.013f},
        {'R', true, 0.8f, 0.009f - 0.85f * 1.8f * 0.013f},
        {'C', true, 0.8f, 0.009f - 0.5f * 0.013f},
        {'W', true, 0.8f, 0.009f - 0.013f},
    };
    for (const auto &row : drains) {
        hero->posture = row.posture;
        hero->charFlags = row.moving ? hero->charFlags | kCharMoving : hero->charFlags & ~kCharMoving;
        hero->capacity = hero->capacityPrevious = row.capacity;
        Tick();
        EXPECT_NEAR(hero->capacity - row.capacity, row.change, 1e-6f) << row.posture << row.moving;
    }
    hero->charFlags &= ~kCharMoving;
    hero->TakeIds();

    // Events by the capacity before and after the tick (regeneration 0.009
    // included), in their order.
    const struct {
        float before, after;
        std::vector<uint32_t> events;
    } crossings[] = {
        {0.6f, 0.2f, {1079}},       {0.6f, 0.4f, {1077}},       {0.4f, 0.6f, {1078}},
        {0.4f, 0.2f, {1079, 1078}}, {0.2f, 0.3f, {1077, 1080}}, {0.2f, 0.21f, {}},
        {0.06f, 0.03f, {1081}},
    };
    for (const auto &row : crossings) {
        hero->capacityPrevious = row.before;
        hero->capacity = row.after - 0.009f;
        Tick();
        EXPECT_EQ(hero->TakeIds(), row.events) << row.before << " " << row.after;
    }
    EXPECT_EQ(hero->capacity, 0.05f);

    // Low capacity slows only with the flag: below 0.5, then again below
    // 0.16 (after the tick's regeneration).
    const struct {
        bool slows;
        float capacity;
        float speed;
    } slowing[] = {
        {true, 0.6f, 1.0f},
        {true, 0.4f, 1.0f - 0.1f * 1.72f},
        {true, 0.1f, (1.0f - 0.4f * 1.72f) * (1.0f - (0.16f - 0.109f) * 1.6f)},
        {false, 0.1f, 1.0f},
    };
    for (const auto &row : slowing) {
        hero->charFlags = row.slows ? hero->charFlags | kCharExhaustionSlows
                                    : hero->charFlags & ~kCharExhaustionSlows;
        hero->capacity = hero->capacityPrevious = row.capacity;
        Tick();
        EXPECT_NEAR(hero->speedFactor, row.speed, 1e-5f) << row.capacity;
    }
}

TEST_F(CharacterConditionTest, TheMovementSpeedRampsUpAfterAStartOrStop) {
    Hold();
    Advance(120);
    hero->speedFactor = 1.0f;
    for (auto [since, speed] : {std::pair{0.0f, 0.2025f}, std::pair{0.15f, 0.525f * 0.725f},
                                std::pair{0.3f, 0.6f}, std::pair{1.1f, 1.0f}}) {
        hero->moveChangeTime = clock.time - since;
        EXPECT_NEAR(hero->MovementSpeed(), speed, 1e-5f) << since;
    }
    hero->speedFactor = 0.5f;
    hero->moveChangeTime = clock.time - 0.3f;
    EXPECT_NEAR(hero->MovementSpeed(), 0.3f, 1e-5f);
}

TEST_F(CharacterConditionTest, LandingsShakeAndHurtByTheTwoRules) {
    Hold();
    hero->paramValue[kParamFallDamage1Mul] = 2.0f;
    const struct {
        float lastVelocityY;
        float drop;
        std::vector<float> damage;
        size_t fallDamageEvents;
    } rows[] = {
        {-700.0f, 0.0f, {}, 0},
        {-1000.0f, 0.0f, {-20.0f}, 1},
        {-1250.0f, 750.0f, {-70.0f, -50.0f}, 1},
        {-1100.0f, 750.0f, {-40.0f}, 1},
        {-300.0f, 750.0f, {}, 0},
    };
    for (const auto &row : rows) {
        hero->health = 90.0f;
        hero->onGround = 1;
        hero->shake = 0.0f;
        hero->shakeVelocity = 0.0f;
        hero->deltaPosition = {0, 0, 0};
        hero->lastVelocityY = row.lastVelocityY;
        hero->lastSafePosition = {0, hero->position.y + row.drop, 0};
        hero->sent.clear();
        hero->FallDamageAtLanding();
        EXPECT_EQ(hero->Reals(kCmdChangeHealth), row.damage) << row.lastVelocityY;
        EXPECT_EQ(hero->Reals(1063).size(), row.fallDamageEvents) << row.lastVelocityY;
        EXPECT_EQ(hero->shake != 0.0f, row.lastVelocityY < -650.0f) << row.lastVelocityY;
    }

    // The shake draws its two offsets in order, only when still; it rises,
    // then settles back to 0.
    SeedRand(5);
    const int r1 = Rand();
    const int r2 = Rand();
    SeedRand(5);
    hero->shake = 0.0f;
    hero->lastVelocityY = -1000.0f;
    hero->lastSafePosition = hero->position;
    hero->FallDamageAtLanding();
    EXPECT_FLOAT_EQ(hero->shakeX, 0.3f - static_cast<float>(r1 % 10000) * 0.0002f * 0.3f);
    EXPECT_FLOAT_EQ(hero->shakeY, 0.3f - static_cast<float>(r2 % 10000) * 0.0002f * 0.3f);
    const float shakeX = hero->shakeX;
    hero->FallDamageAtLanding();
    EXPECT_EQ(hero->shakeX, shakeX);
    EXPECT_FLOAT_EQ(hero->shakeVelocity, 2 * 350.0f * 0.0005f);
    hero->ShakeDecay();
    EXPECT_GT(hero->shake, 0.2f);
    int frames = 0;
    for (; frames < 600 && hero->shake != 0.0f; ++frames) {
        hero->ShakeDecay();
    }
    EXPECT_LT(frames, 600);
    EXPECT_EQ(hero->shakeVelocity, 0.0f);
}

TEST_F(CharacterConditionTest, AWalkOffALedgeHurtsByTheTwoRules) {
    // Not master, so that no death cuts the rules short.
    hero->health = 99.0f;
    skin->motionVector = {0, 0, 150};
    // What the landing frame starts with: the velocity the collision pass
    // left, the last frame's vertical velocity, the height left from.
    Vector3 velocity = {0, 0, 0};
    float lastVelocityY = 0.0f;
    float safeY = 0.0f;
    runner.preStep = [&](uint32_t) {
        if (hero->Reals(1063).empty()) {
            velocity = hero->deltaPosition;
            lastVelocityY = hero->lastVelocityY;
            safeY = hero->lastSafePosition.y;
        }
    };
    for (int i = 0; i < 400 && hero->Reals(1063).empty(); ++i) {
        runner.Step();
    }
    runner.preStep = nullptr;
    ASSERT_EQ(hero->Reals(1063).size(), 1u);
    const float drop = safeY - hero->position.y;
    EXPECT_NEAR(drop, 750.0f, 10.0f);
    std::vector<float> expected;
    const float impact = velocity.y - lastVelocityY - 650.0f;
    if (impact > 250.0f) {
        expected.push_back(-(impact - 250.0f) * 0.1f);
    }
    if (std::fabs(lastVelocityY) >= 1200.0f) {
        expected.push_back(-(drop - 300.0f) / 900.0f * 100.0f);
    }
    ASSERT_FALSE(expected.empty());
    const std::vector<float> damage = hero->Reals(kCmdChangeHealth);
    ASSERT_EQ(damage.size(), expected.size()) << lastVelocityY;
    float total = 0.0f;
    for (size_t i = 0; i < damage.size(); ++i) {
        EXPECT_NEAR(damage[i], expected[i], 0.01f) << i;
        total += damage[i];
    }
    EXPECT_FLOAT_EQ(hero->health, 99.0f + total);
}

TEST_F(CharacterConditionTest, ItemsDropTheStateRecordGoesOutAndTheImpulseAppliesOnce) {
    Hold();
    Actor *items = FindChildByName(hero, "Items");
    ASSERT_NE(items, nullptr);
    for (const char *name : {"A", "B", "C"}) {
        ASSERT_NE(CreateActor(12, name, nullptr, items, -1, true), nullptr);
    }
    hero->itemsActor.Assign(items);
    SendCommandArgs(hero, 953, 100.0f);
    ASSERT_EQ(hero->dropCount, 4u);
    auto *picked = dynamic_cast<game::Recorder *>(items->children[3001 % 3]);
    std::vector<int> dropFrames;
    for (int frame = 1; frame <= 300; ++frame) {
        const size_t before = picked->Of(622).size();
        hero->NetworkDropsAndImpulse();
        if (picked->Of(622).size() != before) {
            dropFrames.push_back(frame);
        }
    }
    ASSERT_EQ(dropFrames.size(), 4u);
    EXPECT_NEAR(dropFrames[0], 120, 1);
    for (size_t i = 1; i < dropFrames.size(); ++i) {
        EXPECT_NEAR(dropFrames[i] - dropFrames[i - 1], 30, 1) << i;
    }
    EXPECT_EQ(picked->Of(622)[0].Read<uint32_t>(0), static_cast<uint32_t>(hero->actorId));
    EXPECT_EQ(hero->dropCount, 0u);

    // The state record: every 1/30 s, on a master only.
    ActorSystem *system = GetActorSystem();
    system->recordMode = 2;
    auto records = [&] {
        std::vector<CommandLogRecord> found;
        for (const CommandLogRecord &entry : system->commandLog) {
            if (entry.commandId == 865) {
                found.push_back(entry);
            }
        }
        return found;
    };
    for (int i = 0; i < 60; ++i) {
        hero->NetworkDropsAndImpulse();
    }
    EXPECT_TRUE(records().empty());
    hero->flags |= kActorMaster;
    hero->health = 42.0f;
    hero->moveSpeed = 0.6f;
    hero->position = {1, 2, 3};
    hero->headYaw = 0.25f;
    for (int i = 0; i < 60; ++i) {
        hero->NetworkDropsAndImpulse();
    }
    system->recordMode = 0;
    const std::vector<CommandLogRecord> sent = records();
    EXPECT_NEAR(static_cast<double>(sent.size()), 30.0, 1.0);
    ASSERT_FALSE(sent.empty());
    const RecordedCommand record{0, 865, sent[0].params};
    ASSERT_EQ(record.block.size(), 60u);
    EXPECT_EQ(sent[0].actorId, static_cast<uint32_t>(hero->actorId));
    EXPECT_EQ(std::tuple(record.F32(0), record.F32(4), record.F32(8)), std::tuple(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(std::tuple(record.F32(40), record.Read<uint32_t>(44), record.Read<uint32_t>(48),
                         record.F32(52), record.F32(56)),
              std::tuple(0.25f, 0u, 0u, 0.6f, 42.0f));

    // An impulse straight along z (no x part) counts too, once.
    hero->deltaPosition = {1, 1, 1};
    hero->pendingImpulse = {0, 2, 20};
    hero->NetworkDropsAndImpulse();
    hero->NetworkDropsAndImpulse();
    EXPECT_EQ(std::tuple(hero->deltaPosition.x, hero->deltaPosition.y, hero->deltaPosition.z),
              std::tuple(1.0f, 3.0f, 21.0f));
}

} // namespace
