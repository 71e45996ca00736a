// The Character's frame: its order, contacts, standing up, the input queue,
// jumping with its grace time and late boosts, kicks, wall climbing,
// falling and landing, idle relaxing, air control and the FirstPerson
// ground smoothing. The frame is run by hand between stepped frames, so
// that time moves on and the fields can be set and read around it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "actors/characters/character_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "support/game_fixture.h"

namespace {

constexpr uint32_t kCmdSetMotion = 1097;
constexpr uint32_t kCmdSetStateAndMovement = 893;

// A character that notes the hooks of its frame and the commands it sends
// itself, and keeps the posture and movement that those commands name.
class TracedCharacter : public CharacterActor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId >= 836 && commandId <= 1140) {
            trace.push_back(std::to_string(commandId));
            const std::string text = commandId == kCmdSetStateAndMovement
                                         ? std::string()
                                         : std::string(block.ReadString(0));
            sent.emplace_back(commandId, text);
            if (commandId == 841 || commandId == 843) {
                posture = text.empty() ? posture : text[0];
            } else if (commandId == 845) {
                movement = FindMovement(text);
            } else if (commandId == kCmdSetStateAndMovement) {
                const uint32_t value = block.ReadU32(0);
                posture = static_cast<char>(value & 0xFF);
                movement = value >> 8;
            }
        }
        return CharacterActor::HandleCommand(commandId, block);
    }
    std::vector<std::string> Sent(uint32_t commandId) const {
        std::vector<std::string> texts;
        for (const auto &[id, text] : sent) {
            if (id == commandId) {
                texts.push_back(text);
            }
        }
        return texts;
    }
    size_t Count(uint32_t commandId) const {
        size_t n = 0;
        for (const auto &entry : sent) {
            n += entry.first == commandId ? 1 : 0;
        }
        return n;
    }

    std::vector<std::string> trace;
    std::vector<std::pair<uint32_t, std::string>> sent;

  protected:
    void ConditionTick() override { trace.push_back("tick"); }
    float MovementSpeed() override {
        trace.push_back("speed");
        return speedFactor;
    }
    void BindBones() override { trace.push_back("bones"); }
    void ApplyDirectionBehaviour() override { trace.push_back("direction"); }
    void LookAndBody() override { trace.push_back("look"); }
    void OrientationOutputs() override { trace.push_back("outputs"); }
    void NetworkDropsAndImpulse() override { trace.push_back("network"); }
    void FallDamageAtLanding() override { trace.push_back("falldamage"); }
    void ShakeDecay() override { trace.push_back("shake"); }
};

Actor *NewTracedCharacter() { return new TracedCharacter(); }

// The n entries of the trace from the first `from` on.
std::vector<std::string> After(const std::vector<std::string> &trace, const std::string &from,
                               size_t n) {
    auto it = std::find(trace.begin(), trace.end(), from);
    const size_t left = static_cast<size_t>(trace.end() - it);
    return std::vector<std::string>(it, it + static_cast<std::ptrdiff_t>(std::min(n, left)));
}

class CharacterControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        ResetCharacterModuleForTests();
        Actor *room = game::Room(builder, "RoomA", {-2000, -2000, -2000}, {2000, 2000, 2000});
        game::BoxWall(builder, "Ceiling", {-100, 50, -100}, {100, 60, 100}, room);
        game::MakeCharacter(builder, "Hero", {1000, 0, 1000}, room);
        game::MakeCharacter(builder, "Low", {0, 0, 0}, room);
        ASSERT_TRUE(builder.Load());
        hero = Take("Hero");
        low = Take("Low");
        ASSERT_TRUE(hero != nullptr && low != nullptr);
        skin = dynamic_cast<game::ScriptedSkin *>(hero->skin.target);
        ASSERT_NE(skin, nullptr);
        runner.Step();
        // What loading sent (the character type among it) is not the frame's.
        for (TracedCharacter *character : {hero, low}) {
            character->trace.clear();
            character->sent.clear();
        }
    }
    // The character, run by hand only, with its skin linked.
    TracedCharacter *Take(const char *name) {
        auto *character = dynamic_cast<TracedCharacter *>(scene::SceneBuilder::Find(name));
        if (character == nullptr) {
            return nullptr;
        }
        ActorSystem::CancelScheduledCommand(character->processEntry);
        character->processEntry = nullptr;
        character->flags &= ~kActorSimulated;
        character->SetSkin(FindChildByName(character, "Skin"));
        character->chestColObj = character->FindOwnColObj("Chest");
        character->actionColObj = character->FindOwnColObj("Action");
        character->charFlags &= ~kCharInputLocked;
        return character;
    }
    void Touch(std::vector<TouchRecord> touches) {
        if (!hero->simState) {
            hero->simState = std::make_unique<SimState>();
        }
        hero->simState->w1 = touches.empty() ? 0 : kSimStatePushed;
        hero->simState->touches = std::move(touches);
    }
    float Now() { return hero->GetCurrentTime(); }
    // One frame: time moves on, then the character runs with the queue.
    void Frame(std::vector<uint32_t> queue = {}) {
        runner.Step();
        hero->inputQueue = std::move(queue);
        hero->Process();
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass characters{kCharacterClassId, &NewTracedCharacter};
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::RecorderClass items{12};
    TracedCharacter *hero = nullptr;
    TracedCharacter *low = nullptr;
    game::ScriptedSkin *skin = nullptr;
};

TEST_F(CharacterControllerTest, TheFrameRunsItsStepsInOrderAndOnlyWhenItCan) {
    skin->log.clear();
    hero->state &= ~kActorOperational;
    Frame({869});
    hero->state |= kActorOperational | kActorKilled;
    Frame({869});
    hero->state &= ~kActorKilled;
    hero->SetSkin(nullptr);
    Frame({869});
    EXPECT_TRUE(hero->trace.empty());
    EXPECT_TRUE(skin->Of(169).empty());
    hero->SetSkin(skin);

    // A new character's lock ends in its first frame; idle motions follow
    // only with bit 8. The crouch ends first ("Set Current State" passes the
    // letter on to "Set State"), then the queue runs.
    hero->charFlags |= kCharInputLocked | kCharIdleAfterHold;
    hero->flags |= kActorMaster;
    hero->posture = 'C';
    hero->requestedPosture = 'N';
    hero->lastGroundTime = Now() + 1.0f / 60.0f;
    Frame({869});
    EXPECT_EQ(hero->trace, (std::vector<std::string>{"1047", "tick", "speed", "bones", "direction",
                                                     "843", "841", "look", "841", "1066", "shake",
                                                     "outputs", "network"}));
    EXPECT_EQ(hero->posture, 'J');
    EXPECT_EQ(hero->returnPosture, 'N');
    EXPECT_EQ(hero->charFlags & (kCharInputLocked | kCharIdleMotionsEnabled),
              kCharIdleMotionsEnabled);
    EXPECT_EQ(skin->Of(169).size(), 1u);
}

TEST_F(CharacterControllerTest, ContactsSortIntoGroundWallsAndCeilingAndTheHeadRoomIsAsked) {
    const struct {
        float normalY;
        uint32_t groups;
        uint32_t ground, wall, ceiling;
    } rows[] = {{0.4f, 0, 1, 0, 0}, {0.39f, 0, 0, 1, 0}, {-0.11f, 0, 0, 0, 1},
                {-0.1f, 0, 0, 1, 0}, {0.2f, 0x400, 0, 0, 0}};
    for (const auto &row : rows) {
        const float side = std::sqrt(1.0f - row.normalY * row.normalY);
        Touch({{{0, 0, 0}, {side, row.normalY, 0}, {0, 0, 0}, row.groups}});
        hero->wallCount = 2;
        Frame();
        EXPECT_EQ(std::tuple(hero->onGround, hero->onWall, hero->onCeiling),
                  std::tuple(row.ground, row.wall, row.ceiling))
            << row.normalY;
        EXPECT_EQ(hero->wallCount, row.ground != 0 ? 0u : 2u) << row.normalY;
    }
    hero->charFlags |= kCharJumped;
    Touch({});
    Frame();
    EXPECT_EQ(hero->charFlags & kCharJumped, 0u);
    EXPECT_EQ(hero->wallNormal.y, 0.01f);

    // Under the ceiling the crouch stays; in the open it ends.
    for (TracedCharacter *character : {hero, low}) {
        character->posture = 'C';
        character->requestedPosture = 'R';
        character->chestColObj = character->FindOwnColObj("Chest");
        character->ChestColObj()->flags &= ~kColObjActive;
        runner.Step();
        character->Process();
    }
    EXPECT_EQ(low->posture, 'C');
    EXPECT_EQ(hero->posture, 'R');
    EXPECT_NE(hero->ChestColObj()->flags & kColObjActive, 0u);
}

TEST_F(CharacterControllerTest, JumpsHaveAGraceTimeLateBoostsAndRunOncePerFrame) {
    // Lift 330 (scale 100, JumpForce 1) 0.1 s after the ground, with the
    // first late boost already due; none at 0.2 s.
    for (float since : {0.1f, 0.2f}) {
        hero->jumpTimer = 0.0f;
        hero->charFlags &= ~(kCharJumpBoost1 | kCharJumpBoost2);
        hero->deltaPosition = {0, 0, 0};
        hero->lastGroundTime = Now() + 1.0f / 60.0f - since;
        Frame({869});
        EXPECT_NEAR(hero->deltaPosition.y, since < 0.15f ? 430.0f : 0.0f, 0.01f) << since;
    }
    // Held: +100 after 0.04 s and after 0.08 s; a tap stops after the first.
    for (bool held : {true, false}) {
        hero->jumpTimer = 0.0f;
        hero->lastGroundTime = Now() + 1.0f / 60.0f;
        hero->deltaPosition = {0, 0, 0};
        Frame({869});
        std::vector<float> rises;
        for (int i = 0; i < 8; ++i) {
            const float before = hero->deltaPosition.y;
            Frame(held || i < 3 ? std::vector<uint32_t>{} : std::vector<uint32_t>{870});
            if (hero->deltaPosition.y != before) {
                rises.push_back(hero->deltaPosition.y - before);
            }
        }
        EXPECT_EQ(rises, held ? (std::vector<float>{100.0f, 100.0f}) : std::vector<float>{100.0f});
    }

    // Two in one frame jump once; the queue runs last first; crouched, no jump.
    // Each "Set Current State" passes its letter on to "Set State" and keeps
    // it as the posture to return to.
    hero->sent.clear();
    hero->jumpTimer = 0.0f;
    hero->lastGroundTime = Now() + 1.0f / 60.0f;
    hero->posture = 'N';
    hero->charFlags &= ~kCharInAir;
    Frame({872, 869, 869, 873});
    EXPECT_EQ(hero->Sent(841), (std::vector<std::string>{"R", "J", "N"}));
    EXPECT_EQ(hero->Sent(843), (std::vector<std::string>{"R", "N"}));
    EXPECT_EQ(hero->Count(1066), 1u);
    EXPECT_NE(hero->charFlags & kCharInAir, 0u);
    EXPECT_EQ(hero->returnPosture, 'N');
    EXPECT_EQ(hero->requestedPosture, 'N');
    hero->posture = 'C';
    hero->requestedPosture = 'C';
    hero->jumpTimer = 0.0f;
    Frame({869});
    EXPECT_EQ(hero->Count(841), 3u);
    EXPECT_EQ(hero->Count(1066), 1u);

    // A kick in the air: lift by KickMul, "K_" by the move angle.
    hero->posture = 'J';
    hero->movement = 4;
    hero->moveAngle = 2.0f;
    hero->kickMul = 2.0f;
    hero->charFlags |= kCharKickAllowed;
    hero->charFlags &= ~(kCharJumpBoost1 | kCharJumpBoost2);
    hero->lastGroundTime = Now() - 1.0f;
    hero->deltaPosition = {0, 0, 0};
    Frame({877, 869});
    EXPECT_EQ(hero->Sent(kCmdSetMotion), (std::vector<std::string>{"K_Right"}));
    EXPECT_NEAR(hero->deltaPosition.y, 660.0f, 0.01f);
    EXPECT_EQ(hero->charFlags & kCharKickRequested, 0u);
}

TEST_F(CharacterControllerTest, WallsAreClimbedThreeInARowAndTheSameWallMakesAFall) {
    hero->charFlags |= kCharMotionDriven | kCharWallClimbEnable;
    auto landOn = [&](Vector3 normal) {
        hero->grounded = 0;
        hero->charFlags |= kCharInAir;
        hero->posture = 'J';
        hero->sent.clear();
        Touch({{{0, 0, 0}, normal, {0, 0, 0}, 0}});
        Frame({877});
        return hero->posture;
    };
    EXPECT_EQ(landOn({1, 0, 0}), 'W');
    EXPECT_EQ(hero->Sent(kCmdSetMotion), (std::vector<std::string>{}));
    EXPECT_EQ(landOn({0, 0, 1}), 'W');
    EXPECT_EQ(landOn({-1, 0, 0}), 'W');
    EXPECT_EQ(hero->wallCount, 3u);
    landOn({0, 0, -1});
    EXPECT_EQ(hero->Sent(kCmdSetMotion), (std::vector<std::string>{"F_Neutral"}));
    EXPECT_EQ(hero->Count(1068), 1u);
    hero->wallCount = 1;
    landOn({-0.8f, 0, 0.6f});
    EXPECT_EQ(hero->Sent(kCmdSetMotion), (std::vector<std::string>{"F_Neutral"}));

    // Off the wall, the character pushes off along its normal.
    hero->posture = 'W';
    hero->wallNormal = {1, 0, 0};
    hero->jumpTimer = 0.0f;
    hero->grounded = 1;
    hero->movement = 0;
    hero->charFlags &= ~kCharInAir;
    hero->sent.clear();
    Touch({{{0, 0, 0}, {0, 0, -1}, {0, 0, 0}, 0}});
    skin->motionVector = {0, 0, 0};
    hero->deltaPosition = {-50, 0, 0};
    Frame();
    EXPECT_EQ(hero->Sent(kCmdSetMotion), (std::vector<std::string>{"F_Neutral"}));
    EXPECT_NEAR(hero->deltaPosition.z, -10.0f, 0.01f);
    EXPECT_NE(hero->charFlags & kCharPushedOff, 0u);
    EXPECT_NE(hero->charFlags & kCharInAir, 0u);
}

TEST_F(CharacterControllerTest, FallsStartAfterHalfASecondAndLandingsReport) {
    GetActorSystem()->recordMode = 2;
    hero->flags |= kActorMaster;
    hero->charFlags |= kCharMotionDriven;
    hero->grounded = 1;
    Frame();
    const float left = GetActorSystem()->GetCurrentTime();
    hero->movement = 4;
    while (hero->Count(kCmdSetMotion) == 0 && GetActorSystem()->GetCurrentTime() < left + 1.0f) {
        Frame();
    }
    EXPECT_GT(GetActorSystem()->GetCurrentTime() - left, 0.5f);
    EXPECT_LT(GetActorSystem()->GetCurrentTime() - left, 0.55f);
    EXPECT_EQ(hero->Sent(kCmdSetMotion), (std::vector<std::string>{"F_Neutral"}));
    EXPECT_EQ(std::tuple(hero->movement, hero->Count(1068)), std::tuple(0u, size_t{1}));

    // Landing from a fall: 893 (logged for the network), then 1069, 1064.
    hero->posture = 'F';
    hero->returnPosture = 'N';
    hero->trace.clear();
    Touch({{{0, 0, 0}, {0, 1, 0}, {0, 0, 0}, 0}});
    const size_t logged = GetActorSystem()->commandLog.size();
    Frame({877});
    EXPECT_EQ(After(hero->trace, "893", 4),
              (std::vector<std::string>{"893", "1069", "1064", "falldamage"}));
    EXPECT_EQ(std::tuple(hero->posture, hero->movement), std::tuple('N', 4u));
    EXPECT_EQ(GetActorSystem()->commandLog.size(), logged + 1);

    // Landing from a jump with jump held: 1067, and the held jump repeats.
    // Setting the motion makes the skin call back (1122), which activates
    // the motion's child (1025), before 1067.
    hero->grounded = 0;
    hero->posture = 'J';
    hero->charFlags |= kCharInAir | kCharJumpHeld;
    hero->trace.clear();
    hero->jumpTimer = 0.0f;
    Frame();
    EXPECT_EQ(After(hero->trace, "893", 6),
              (std::vector<std::string>{"893", "1122", "1025", "1067", "1064", "869"}));
    EXPECT_EQ(std::tuple(hero->posture, hero->movement), std::tuple('N', 0u));
    GetActorSystem()->recordMode = 0;
}

TEST_F(CharacterControllerTest, HandsAndTheKnockGetTheirCommands) {
    hero->leftHand.Assign(FindChildByName(hero, "LeftHand"));
    hero->rightHand.Assign(FindChildByName(hero, "RightHand"));
    auto *left = dynamic_cast<game::Recorder *>(
        CreateActor(12, "Torch", nullptr, hero->leftHand.target, -1, true));
    auto *right = dynamic_cast<game::Recorder *>(
        CreateActor(12, "Gun", nullptr, hero->rightHand.target, -1, true));
    ASSERT_TRUE(left != nullptr && right != nullptr);
    hero->charFlags |= kCharLeftActionPending;
    Frame({890, 889, 888, 887, 885, 884, 882, 881, 879, 878});
    auto items = [](const game::Recorder *holder) {
        std::vector<uint32_t> ids = holder->Ids();
        std::erase_if(ids, [](uint32_t id) { return id < 600; });
        return ids;
    };
    EXPECT_EQ(items(left), (std::vector<uint32_t>{636, 637, 638, 692, 622}));
    EXPECT_EQ(items(right), (std::vector<uint32_t>{637, 638, 639, 640, 692, 622}));
    EXPECT_EQ(left->Of(692)[0].block, right->Of(692)[0].block);
    ColObj *action = hero->ActionColObj();
    EXPECT_NE(action->flags & kColObjActive, 0u);
    ASSERT_TRUE(action->commandToOther.has_value());
    EXPECT_EQ(action->commandToOther->id, 805u);
    Frame();
    EXPECT_EQ(action->flags & kColObjActive, 0u);
}

TEST_F(CharacterControllerTest, IdleRelaxAirPushAndFirstPersonSmoothing) {
    hero->flags |= kActorMaster;
    hero->charFlags |= kCharIdleMotionsEnabled;
    hero->charFlags2 |= kChar2RelaxAllowed;
    Touch({{{0, 0, 0}, {0, 1, 0}, {0, 0, 0}, 0}});
    float relaxedAt = 0.0f;
    for (int i = 0; i < 200 && relaxedAt == 0.0f; ++i) {
        Frame();
        relaxedAt = hero->Sent(845).empty() || hero->Sent(845).back() != "Relax" ? 0.0f
                                                                                  : hero->idleTime;
    }
    EXPECT_GT(relaxedAt, 3.0f);
    EXPECT_LT(relaxedAt, 3.0f + 1.5f / 60.0f);
    Frame();
    EXPECT_EQ(hero->Sent(845).back(), "Relax");
    EXPECT_EQ(hero->Count(845), 1u);

    // In the air a push of 1800 x delta x MoveOnJump up to MoveOnJumpMax x 100.
    Touch({});
    hero->grounded = 0;
    hero->charFlags |= kCharInAir;
    hero->paramValue[kParamMoveOnJumpMax] = 0.5f;
    hero->deltaPosition = {0, 0, 0};
    Frame({877});
    EXPECT_NEAR(hero->deltaPosition.z, -30.0f, 0.01f);
    hero->posture = 'F';
    Frame({877});
    EXPECT_NEAR(hero->deltaPosition.z, -45.0f, 0.01f);
    hero->posture = 'N';
    for (int i = 0; i < 3; ++i) {
        Frame({877});
    }
    EXPECT_NEAR(hero->deltaPosition.z, -50.0f, 0.01f);

    // A FirstPerson character eases into the motion at 15 x delta.
    hero->characterType = kCharacterFirstPerson;
    hero->posture = 'N';
    hero->charFlags &= ~kCharInAir;
    Touch({{{0, 0, 0}, {0, 1, 0}, {0, 0, 0}, 0}});
    skin->motionVector = {0, 0, -100};
    Frame();
    EXPECT_NEAR(hero->deltaPosition.z, -25.0f, 0.01f);
    EXPECT_NEAR(hero->smoothedVelocity.z, -25.0f, 0.01f);
}

TEST_F(CharacterControllerTest, AThirdPersonShooterStandingOnTheGroundReturnsToRunning) {
    hero->characterType = kCharacterThirdPersonShooter;
    hero->charFlags |= kCharMotionDriven;
    hero->grounded = 1;
    Touch({{{0, 0, 0}, {0, 1, 0}, {0, 0, 0}, 0}});
    Frame();
    const struct {
        char posture;
        uint32_t movement;
        float fellAgo;
        char returnPosture;
        size_t setStates;
        bool landed;
    } rows[] = {{'N', 0, 1.0f, 'R', 0, false}, {'N', 4, 1.0f, 'N', 0, false},
                {'F', 4, 1.0f, 'R', 2, true},  {'F', 7, 0.05f, 'N', 0, false},
                {'J', 4, 1.0f, 'R', 1, true},  {'J', 4, 0.05f, 'N', 0, false}};
    for (const auto &row : rows) {
        hero->posture = row.posture;
        hero->movement = row.movement;
        hero->returnPosture = 'N';
        hero->fallStartTime = Now() + 1.0f / 60.0f - row.fellAgo;
        hero->jumpTimer = 0.0f;
        hero->charFlags |= kCharInAir;
        hero->sent.clear();
        Frame();
        EXPECT_EQ(hero->returnPosture, row.returnPosture) << row.posture << row.movement;
        EXPECT_EQ(hero->Sent(841), std::vector<std::string>(row.setStates, "R"));
        EXPECT_EQ(hero->charFlags & kCharInAir, row.landed ? 0u : kCharInAir);
    }
}

} // namespace
