// Walking and jumping, played through the frame step with scripted keys: a
// room of box walls around a box ledge 750 units above a box floor, the
// "PlayerCharacter" copied in by "Start Game" and driven by the master
// Player. One run walks, runs, jumps in place and walks off the ledge with a
// late jump; the other walks off with a jump pressed too late, without the
// impact damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "actors/characters/player_actor.h"
#include "actors/presentation/camera_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/subsystem_hooks.h"
#include "library/resource_library.h"
#include "platform/input.h"
#include "support/character_steps.h"

namespace {

using game::StepCharacter;

constexpr InputCode kW = 0x57, kSpace = 0x20, kShift = 0x92;
constexpr uint32_t kCmdSetType = 837, kCmdGetState = 842, kCmdSetHealth = 1017;
constexpr uint32_t kCmdSetFallDamage1Mul = 933, kCmdIsInAir = 1084, kCmdChangeHealth = 952;
constexpr uint32_t kCmdOnFallDamage = 1063, kCmdOnJumpStart = 1066, kCmdOnJumpStop = 1067;
constexpr uint32_t kCmdSetMotion = 1097;
constexpr float kLedgeTop = 0.0f, kFloorTop = -750.0f, kRadius = 23.0f;

// The hero's skin: the seven motions, the forward ones carrying it on
// (along -z, as the sample's figures face).
class WalkSkin : public game::ScriptedSkin {
  public:
    WalkSkin() {
        motions = {"N_Neutral", "N_Forward", "R_Forward", "C_Neutral",
                   "J_Neutral", "J_Forward", "F_Neutral"};
    }
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        const int result = ScriptedSkin::HandleCommand(commandId, block);
        motionVector = {0.0f, 0.0f,
                        motion == "N_Forward"   ? -150.0f
                        : motion == "R_Forward" ? -300.0f
                                                : 0.0f};
        return result;
    }
};
Actor *NewWalkSkin() { return new WalkSkin(); }

struct Box {
    Vector3 min, max;
};
const Box kLedge = {{-300, -750, -300}, {300, 0, 300}};
const Box kWalls[] = {{{560, -750, -600}, {600, 300, 600}},
                      {{-600, -750, -600}, {-560, 300, 600}},
                      {{-600, -750, 560}, {600, 300, 600}},
                      {{-600, -750, -600}, {600, 300, -560}}};

float DistanceToBox(const Vector3 &p, const Box &box) {
    const float dx = std::max({box.min.x - p.x, 0.0f, p.x - box.max.x});
    const float dy = std::max({box.min.y - p.y, 0.0f, p.y - box.max.y});
    const float dz = std::max({box.min.z - p.z, 0.0f, p.z - box.max.z});
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

class WalkJumpScene : public ::testing::Test {
  protected:
    // The scene with the ledge's fall costs; the hero starts in its middle.
    void Build(float fallDamage1Mul) {
        ASSERT_TRUE(runner.Ready());
        ResetCharacterModuleForTests();
        Actor *room = game::Room(builder, "RoomA", {-600, -1000, -600}, {600, 1000, 600});
        game::BoxWall(builder, "Floor", {-600, kFloorTop - 20, -600}, {600, kFloorTop, 600}, room);
        game::BoxWall(builder, "Ledge", kLedge.min, kLedge.max, room);
        for (size_t i = 0; i < std::size(kWalls); ++i) {
            game::BoxWall(builder, "Wall" + std::to_string(i), kWalls[i].min, kWalls[i].max, room);
        }
        builder.Make(0, "GA40_Jumps", room);
        Actor *hero =
            game::MakeCharacter(builder, "PlayerCharacter", {0, kLedgeTop + kRadius, 0}, room);
        SendCommandArgs(hero, kCmdSetType, kCharacterThirdPerson);
        SendCommandArgs(hero, kCmdSetHealth, 99.0f);
        SendCommandArgs(hero, kCmdSetFallDamage1Mul, fallDamage1Mul);
        std::string error;
        ASSERT_TRUE(scene::SceneBuilder::AddScript(hero, kCmdOnJumpStart,
                                                   "[ga]GA40.Position_Add((1,0,0));", &error))
            << error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        game::MakeFrontEnd()->Answer(457, uint32_t{0});
        BindDefaultActions();
        copy = dynamic_cast<StepCharacter *>(scene::SceneBuilder::Find("GA1_Player"));
        player = dynamic_cast<PlayerActor *>(scene::SceneBuilder::Find("MASTERPLAYER"));
        ASSERT_TRUE(copy != nullptr && player != nullptr);
        skin = dynamic_cast<WalkSkin *>(copy->skin.target);
        ASSERT_NE(skin, nullptr);
        runner.preStep = [this](uint32_t) {
            for (const Box &wall : kWalls) {
                closestWall = std::min(closestWall, DistanceToBox(copy->GetWorldPosition(), wall));
            }
        };
    }
    void Hold(InputCode code, bool down) { keys.Key(InputCodeToVirtualKey(code), down); }
    char State() {
        uint32_t word = 0;
        copy->HandleCommand(kCmdGetState, ParamBlock(&word, sizeof(word)));
        return static_cast<char>(word & 0xFF);
    }
    uint32_t InAir() {
        uint32_t word = 0;
        copy->HandleCommand(kCmdIsInAir, ParamBlock(&word, sizeof(word)));
        return word;
    }
    std::vector<std::string> MotionsSince(size_t from) const {
        std::vector<std::string> names;
        for (size_t i = from; i < skin->log.size(); ++i) {
            if (skin->log[i].id == kCmdSetMotion) {
                names.emplace_back(reinterpret_cast<const char *>(skin->log[i].block.data()));
            }
        }
        return names;
    }
    // Holds W until the hero leaves the ledge, presses Space to reach it
    // `late` seconds after its last frame on the ground, and lets it land
    // and walk on into the wall ahead; answers the landing's expected health
    // costs from the velocities and the drop the landing frame starts with.
    std::vector<float> WalkOffTheLedge(float late) {
        Hold(kW, true);
        int sinceGround = 0;
        for (int i = 0; i < 600; ++i) {
            runner.Step();
            sinceGround = copy->onGround != 0 ? 0 : sinceGround + 1;
            const Vector3 at = copy->GetWorldPosition();
            if (sinceGround > 0 && DistanceToBox({at.x, kLedgeTop, at.z}, kLedge) >= kRadius) {
                break;
            }
        }
        const int wait = static_cast<int>(std::lround(late * 60.0f)) - sinceGround - 1;
        EXPECT_GE(wait, 0);
        runner.Step(wait);
        Hold(kSpace, true);
        runner.Step(2);
        Hold(kSpace, false); // held into the landing it would jump again
        float velocityY = 0.0f, lastVelocityY = 0.0f, safeY = 0.0f;
        const size_t before = copy->Reals(kCmdOnFallDamage).size();
        runner.preStep = [&, wallCheck = runner.preStep](uint32_t frame) {
            wallCheck(frame);
            if (copy->Reals(kCmdOnFallDamage).size() == before) {
                velocityY = copy->deltaPosition.y;
                lastVelocityY = copy->lastVelocityY;
                safeY = copy->lastSafePosition.y;
            }
        };
        for (int i = 0; i < 300 && copy->Reals(kCmdOnFallDamage).size() == before; ++i) {
            runner.Step();
        }
        const float drop = safeY - copy->position.y;
        runner.Step(150);
        Hold(kW, false);
        // The body rolls a little over the ledge's edge before it leaves it.
        EXPECT_NEAR(drop, 750.0f, 10.0f);
        EXPECT_GE(std::fabs(lastVelocityY), 1200.0f);
        return {-(velocityY - lastVelocityY - 900.0f) * copy->paramValue[kParamFallDamage1Mul] *
                    0.1f,
                -(drop - 300.0f) / 900.0f * 100.0f};
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass characters{kCharacterClassId, &game::NewStepCharacter};
    game::RecorderClass skins{game::kSkinClassId, &NewWalkSkin};
    game::RecorderClass frontEnds{game::kFrontEndClassId};
    game::ScriptedKeys keys{runner};
    StepCharacter *copy = nullptr;
    PlayerActor *player = nullptr;
    WalkSkin *skin = nullptr;
    float closestWall = 1e9f;
};

TEST_F(WalkJumpScene, WalksRunsJumpsAndALateJumpOffTheLedgeStillJumps) {
    Build(1.0f);
    auto *camera = dynamic_cast<CameraActor *>(CurrentCamera);
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->cameraType, kCameraTarget);
    EXPECT_EQ(camera->target1.target, copy);
    runner.Step();
    EXPECT_FLOAT_EQ(runner.library->GetFieldOfView(), 0.75f * 1.4f);

    // W from the start: nothing moves while the Player's first 0.4 s run.
    const Vector3 start = copy->GetWorldPosition();
    size_t motionsFrom = skin->log.size();
    Hold(kW, true);
    for (runner.Step(); player->runTime < 0.4f - 1e-4f; runner.Step()) {
        const Vector3 at = copy->GetWorldPosition();
        ASSERT_TRUE(at.x == start.x && at.z == start.z) << player->runTime;
    }
    Vector3 forward{};
    runner.library->GetCameraForward(&forward);
    runner.Step(30);
    const Vector3 walked = copy->GetWorldPosition();
    EXPECT_EQ(MotionsSince(motionsFrom), std::vector<std::string>{"N_Forward"});
    EXPECT_EQ(State(), 'N');
    const float dx = walked.x - start.x, dz = walked.z - start.z;
    const float length = std::hypot(dx, dz), flat = std::hypot(forward.x, forward.z);
    ASSERT_TRUE(length > 20.0f && flat > 0.0f) << length;
    EXPECT_GT((dx * forward.x + dz * forward.z) / (length * flat), 0.9f);

    motionsFrom = skin->log.size();
    Hold(kW, false);
    runner.Step(10);
    EXPECT_EQ(MotionsSince(motionsFrom), std::vector<std::string>{"N_Neutral"});

    // Left Shift with W: running, faster than the walk's last step.
    const float walkSpeed = length / 0.5f;
    motionsFrom = skin->log.size();
    Hold(kShift, true);
    Hold(kW, true);
    runner.Step(30);
    const Vector3 runFrom = copy->GetWorldPosition();
    runner.Step(6);
    const Vector3 runTo = copy->GetWorldPosition();
    Hold(kW, false);
    Hold(kShift, false);
    runner.Step(20);
    const std::vector<std::string> running = MotionsSince(motionsFrom);
    EXPECT_NE(std::find(running.begin(), running.end(), "R_Forward"), running.end());
    EXPECT_GT(std::hypot(runTo.x - runFrom.x, runTo.z - runFrom.z) * 10.0f, walkSpeed * 1.5f);

    // Space in place: 'J' and in the air, the jump script once, +330 at once
    // and +100 twice while held; on landing 1067 and 'N', health unchanged.
    ASSERT_EQ(copy->onGround, 1u);
    const size_t sentFrom = copy->sent.size();
    Actor *jumps = scene::SceneBuilder::Find("GA40_Jumps");
    ASSERT_NE(jumps, nullptr);
    std::vector<float> speeds = {copy->deltaPosition.y};
    Hold(kSpace, true);
    runner.Step();
    EXPECT_EQ(State(), 'J');
    EXPECT_EQ(InAir(), 1u);
    speeds.push_back(copy->deltaPosition.y);
    for (int i = 0; i < 120 && copy->Reals(kCmdOnJumpStop).empty(); ++i) {
        runner.Step();
        speeds.push_back(copy->deltaPosition.y);
    }
    Hold(kSpace, false);
    runner.Step();
    EXPECT_EQ(State(), 'N');
    EXPECT_EQ(copy->Reals(kCmdOnJumpStart).size(), 1u);
    EXPECT_EQ(copy->Reals(kCmdOnJumpStop).size(), 1u);
    EXPECT_FLOAT_EQ(jumps->GetWorldPosition().x, 1.0f);
    EXPECT_FLOAT_EQ(copy->health, 99.0f);
    // The gains over a frame's gravity in the first ten frames: at once, then
    // once past 0.04 s and 0.08 s from the last frame on the ground.
    const float fall = 9.81f * 1.8f * 100.0f / 60.0f;
    std::vector<std::pair<size_t, float>> kicks;
    for (size_t i = 1; i <= 10 && i < speeds.size(); ++i) {
        const float gain = speeds[i] - speeds[i - 1] + fall;
        if (gain > 10.0f) {
            kicks.emplace_back(i, gain);
        }
    }
    ASSERT_EQ(kicks.size(), 3u) << ::testing::PrintToString(speeds);
    const std::pair<size_t, float> expected[] = {{1, 330.0f}, {3, 100.0f}, {5, 100.0f}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(kicks[i].first, expected[i].first);
        EXPECT_NEAR(kicks[i].second, expected[i].second, 2.0f) << i;
    }
    for (size_t i = sentFrom; i < copy->sent.size(); ++i) {
        EXPECT_NE(copy->sent[i].id, kCmdChangeHealth);
    }

    // Off the ledge with Space 0.1 s late: it jumps; the landing costs by
    // both rules; no wall box was entered on the way.
    const size_t jumpsBefore = copy->Reals(kCmdOnJumpStart).size();
    const std::vector<float> costs = WalkOffTheLedge(0.1f);
    EXPECT_EQ(copy->Reals(kCmdOnJumpStart).size(), jumpsBefore + 1);
    EXPECT_EQ(copy->Reals(kCmdOnFallDamage).size(), 1u);
    const std::vector<float> damage = copy->Reals(kCmdChangeHealth);
    ASSERT_EQ(damage.size(), 2u);
    EXPECT_NEAR(damage[0], costs[0], 0.01f);
    EXPECT_NEAR(damage[1], costs[1], 0.01f);
    EXPECT_GE(closestWall, kRadius - 0.5f);
    EXPECT_LT(closestWall, kRadius + 10.0f) << "the hero reached a wall";
}

TEST_F(WalkJumpScene, AJumpTooLateOffTheLedgeFallsAndOnlyTheDropCosts) {
    Build(0.0f);
    runner.Step(30);
    const std::vector<float> costs = WalkOffTheLedge(0.2f);
    EXPECT_TRUE(copy->Reals(kCmdOnJumpStart).empty());
    EXPECT_EQ(copy->Reals(kCmdOnFallDamage).size(), 1u);
    const std::vector<float> damage = copy->Reals(kCmdChangeHealth);
    ASSERT_EQ(damage.size(), 2u);
    EXPECT_EQ(damage[0], 0.0f);
    EXPECT_NEAR(damage[1], costs[1], 0.01f);
    EXPECT_NEAR(copy->health, 99.0f + costs[1], 0.01f);
}

} // namespace
