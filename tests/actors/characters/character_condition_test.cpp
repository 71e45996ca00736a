// The Character's condition: parameters back from a change with the camera
// values that follow, endurance and its events, the speed factor and ramp,
// fall damage with the landing shake, item drops, the state record and the
// one-off impulse.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "base/random.h"
#include "core/actors/actor_services.h"
#include "support/character_steps.h"

namespace {

class CharacterConditionTest : public game::CharacterStepsTest {
  protected:
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            hero->paramTickTimer = 0.1f;
            hero->ConditionTick();
        }
    }
};

TEST_F(CharacterConditionTest, ParametersComeBackFromAChangeAndTheCameraFollows) {
    Hold();
    for (float value : hero->paramValue) { // Fov was saved as 0.9
        EXPECT_EQ(value, 1.0f);
    }
    game::Recorder *camera = Make(19, "Cam", nullptr);
    hero->notifyCamera.Assign(camera);
    SendCommandArgs(hero, 918, 70.0f);
    SendCommandArgs(hero, 940, 50.0f, 2.0f); // "Change CPSpeed" 50 % for 2 s
    Tick();
    EXPECT_FLOAT_EQ(hero->speedFactor, 0.35f);
    Tick(20);
    EXPECT_NEAR(hero->paramValue[kParamSpeed], 0.7f, 1e-5f);
    while (hero->paramBlend[kParamSpeed] < 1.0f) {
        Tick();
    }
    Tick();
    EXPECT_EQ(hero->paramValue[kParamSpeed], 0.7f);

    SendCommandArgs(hero, 925, 150.0f); // Vision, then one gamma add
    Tick();
    SendCommandArgs(hero, 928, 50.0f);
    Tick(2);
    ASSERT_EQ(camera->Of(1212).size(), 1u);
    EXPECT_FLOAT_EQ(camera->Of(1212)[0].F32(), 0.9f * 1.7453293f);
    const auto gamma = camera->Of(1237);
    ASSERT_EQ(gamma.size(), 2u);
    const float expected[2][6] = {{1, 1, 1, 160, 160, 160}, {1, 1, 1, 160, 144, 160}};
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_FLOAT_EQ(gamma[i / 6].F32(4 * (i % 6)), expected[i / 6][i % 6]) << i;
    }
    ASSERT_EQ(DeleteActor(camera), 1);
    SendCommandArgs(hero, 926, 80.0f);
    Tick();
    EXPECT_EQ(hero->notifyCamera.target, nullptr);
}

TEST_F(CharacterConditionTest, EnduranceDrainsByPostureRaisesItsEventsAndSlows) {
    Hold();
    // Capacity of the last tick, before and after this one.
    const struct {
        char posture;
        uint32_t flags;
        float previous, start, after;
        std::vector<uint32_t> events;
        float speed;
    } rows[] = {
        {'N', 0, 0.8f, 0.8f, 0.809f, {}, 1.0f},
        {'N', kCharMoving, 0.5f, 0.5f, 0.509f, {}, 1.0f},
        {'N', kCharMoving, 0.8f, 0.8f, 0.796f, {}, 1.0f},
        {'R', kCharMoving, 0.8f, 0.8f, 0.809f - 0.85f * 1.8f * 0.013f, {}, 1.8f},
        {'C', kCharMoving, 0.8f, 0.8f, 0.8025f, {}, 1.0f},
        {'N', 0, 0.6f, 0.191f, 0.2f, {1079}, 1.0f},
        {'N', 0, 0.4f, 0.191f, 0.2f, {1079, 1078}, 1.0f},
        {'N', 0, 0.2f, 0.291f, 0.3f, {1077, 1080}, 1.0f},
        {'N', 0, 0.06f, 0.02f, 0.05f, {1081}, 1.0f},
        {'N', kCharExhaustionSlows, 0.6f, 0.6f, 0.609f, {}, 1.0f},
        {'N', kCharExhaustionSlows, 0.4f, 0.4f, 0.409f, {}, 1.0f - 0.1f * 1.72f},
        {'N', kCharExhaustionSlows, 0.1f, 0.1f, 0.109f, {},
         (1.0f - 0.4f * 1.72f) * (1.0f - (0.16f - 0.109f) * 1.6f)},
    };
    for (const auto &row : rows) {
        hero->posture = row.posture;
        hero->charFlags = (hero->charFlags & ~(kCharMoving | kCharExhaustionSlows)) | row.flags;
        std::tie(hero->capacityPrevious, hero->capacity) = std::tuple(row.previous, row.start);
        hero->sent.clear();
        Tick();
        std::vector<uint32_t> events;
        for (const RecordedCommand &entry : hero->sent) {
            events.push_back(entry.id);
        }
        EXPECT_NEAR(hero->capacity, row.after, 1e-6f) << row.posture << row.start;
        EXPECT_EQ(events, row.events) << row.start;
        EXPECT_NEAR(hero->speedFactor, row.speed, 1e-5f) << row.start;
    }
    Advance(120); // the start-and-stop ramp
    const std::pair<float, float> ramp[] = {{0.0f, 0.2025f}, {0.3f, 0.6f}, {1.1f, 1.0f}};
    for (auto [since, speed] : ramp) {
        hero->speedFactor = 1.0f;
        hero->moveChangeTime = clock.time - since;
        EXPECT_NEAR(hero->MovementSpeed(), speed, 1e-5f) << since;
    }
}

TEST_F(CharacterConditionTest, LandingsShakeAndHurtByTheTwoRules) {
    Hold();
    hero->paramValue[kParamFallDamage1Mul] = 2.0f;
    const struct {
        float lastVelocityY, drop;
        std::vector<float> damage;
    } rows[] = {{-700.0f, 0.0f, {}},
                {-1000.0f, 0.0f, {-20.0f}},
                {-1250.0f, 750.0f, {-70.0f, -50.0f}},
                {-1100.0f, 750.0f, {-40.0f}},
                {-300.0f, 750.0f, {}}};
    for (const auto &row : rows) {
        hero->onGround = 1;
        hero->shake = 0.0f;
        hero->lastVelocityY = row.lastVelocityY;
        hero->lastSafePosition = {0, hero->position.y + row.drop, 0};
        hero->sent.clear();
        hero->FallDamageAtLanding();
        EXPECT_EQ(hero->Reals(952), row.damage) << row.lastVelocityY;
        EXPECT_EQ(hero->Reals(1063).size(), row.damage.empty() ? 0u : 1u) << row.lastVelocityY;
        EXPECT_EQ(hero->shake != 0.0f, row.lastVelocityY < -650.0f) << row.lastVelocityY;
    }
    // Two draws in order, only while the camera is still; then it settles.
    SeedRand(5);
    const int draws[2] = {Rand(), Rand()};
    SeedRand(5);
    std::tie(hero->shake, hero->shakeVelocity, hero->lastVelocityY) = std::tuple(0.0f, 0.0f, -1000.0f);
    hero->FallDamageAtLanding();
    hero->FallDamageAtLanding();
    EXPECT_FLOAT_EQ(hero->shakeX, 0.3f - static_cast<float>(draws[0] % 10000) * 0.0002f * 0.3f);
    EXPECT_FLOAT_EQ(hero->shakeY, 0.3f - static_cast<float>(draws[1] % 10000) * 0.0002f * 0.3f);
    for (int i = 0; i < 600 && (i == 0 || hero->shake != 0.0f); ++i) {
        hero->ShakeDecay();
        EXPECT_TRUE(i != 0 || hero->shake > 0.2f);
    }
    EXPECT_EQ(std::tuple(hero->shake, hero->shakeVelocity), std::tuple(0.0f, 0.0f));
}

TEST_F(CharacterConditionTest, AWalkOffALedgeHurtsByTheTwoRules) {
    hero->health = 99.0f; // not master: no death cuts the rules short
    skin->motionVector = {0, 0, 150};
    float velocityY = 0.0f, lastVelocityY = 0.0f, safeY = 0.0f; // as the landing frame starts
    runner.preStep = [&](uint32_t) {
        if (hero->Reals(1063).empty()) {
            std::tie(velocityY, lastVelocityY, safeY) =
                std::tuple(hero->deltaPosition.y, hero->lastVelocityY, hero->lastSafePosition.y);
        }
    };
    for (int i = 0; i < 400 && hero->Reals(1063).empty(); ++i) {
        runner.Step();
    }
    runner.preStep = nullptr;
    ASSERT_EQ(hero->Reals(1063).size(), 1u);
    const float drop = safeY - hero->position.y;
    EXPECT_NEAR(drop, 750.0f, 10.0f);
    const float impact = velocityY - lastVelocityY - 650.0f;
    std::vector<float> expected;
    if (impact > 250.0f) {
        expected.push_back(-(impact - 250.0f) * 0.1f);
    }
    if (std::fabs(lastVelocityY) >= 1200.0f) {
        expected.push_back(-(drop - 300.0f) / 900.0f * 100.0f);
    }
    const std::vector<float> damage = hero->Reals(952);
    ASSERT_TRUE(!expected.empty() && damage.size() == expected.size());
    float health = 99.0f;
    for (size_t i = 0; i < damage.size(); ++i) {
        EXPECT_NEAR(damage[i], expected[i], 0.01f) << i;
        health += damage[i];
    }
    EXPECT_FLOAT_EQ(hero->health, health);
}

TEST_F(CharacterConditionTest, ItemsDropTheStateRecordGoesOutAndTheImpulseAppliesOnce) {
    Hold();
    Actor *items = FindChildByName(hero, "Items");
    for (const char *name : {"A", "B", "C"}) {
        Make(12, name, items);
    }
    hero->itemsActor.Assign(items);
    SendCommandArgs(hero, 953, 100.0f);
    ASSERT_EQ(hero->dropCount, 4u);
    auto *picked = dynamic_cast<game::Recorder *>(items->children[3001 % 3]);
    std::vector<int> drops;
    for (int frame = 1; frame <= 300; ++frame) {
        hero->NetworkDropsAndImpulse();
        drops.resize(picked->Of(622).size(), frame);
    }
    ASSERT_EQ(drops.size(), 4u);
    EXPECT_NEAR(drops[0], 120, 1);
    for (size_t i = 1; i < drops.size(); ++i) {
        EXPECT_NEAR(drops[i] - drops[i - 1], 30, 1) << i;
    }
    EXPECT_EQ(picked->Of(622)[0].Read<uint32_t>(0), static_cast<uint32_t>(hero->actorId));

    ActorSystem *system = GetActorSystem(); // the state record, on a master only
    system->recordMode = 2;
    for (bool master : {false, true}) {
        hero->flags = master ? hero->flags | kActorMaster : hero->flags & ~kActorMaster;
        for (int i = 0; i < 60; ++i) {
            hero->NetworkDropsAndImpulse();
        }
    }
    system->recordMode = 0;
    std::vector<RecordedCommand> records;
    for (const CommandLogRecord &entry : system->commandLog) {
        if (entry.commandId == 865 && entry.actorId == static_cast<uint32_t>(hero->actorId)) {
            records.push_back({0, 865, entry.params});
        }
    }
    ASSERT_NEAR(static_cast<double>(records.size()), 30.0, 1.0);
    ASSERT_EQ(records[0].block.size(), 60u);
    EXPECT_EQ(std::tuple(records[0].F32(4), records[0].Read<uint32_t>(48), records[0].F32(52),
                         records[0].F32(56)),
              std::tuple(hero->position.y, 0u, hero->moveSpeed, hero->health));

    hero->deltaPosition = {1, 1, 1}; // an impulse without an x part counts too, once
    hero->pendingImpulse = {0, 2, 20};
    hero->NetworkDropsAndImpulse();
    hero->NetworkDropsAndImpulse();
    EXPECT_EQ(std::tuple(hero->deltaPosition.y, hero->deltaPosition.z), std::tuple(3.0f, 21.0f));
}

} // namespace
