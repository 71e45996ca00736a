// The Character's orientation: bone binding, direction behaviours, look
// smoothing, body yaw and wall tilt, head and pose layers by type, the
// FirstPerson recoil and camera, and bone followers of a seen character.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "core/actors/actor_services.h"
#include "library/bone.h"
#include "library/skeleton.h"
#include "support/character_steps.h"

namespace {

class CharacterOrientationTest : public game::CharacterStepsTest {
  protected:
    void Look(int frames) {
        for (int i = 0; i < frames; ++i) {
            Advance();
            hero->LookAndBody();
        }
    }
    float BodyUp(int axis) {
        Matrix m;
        MatrixFromQuaternion(&m, hero->rotation);
        return m.m[1][axis];
    }
    template <class T> static bool Same(const T &a, const T &b) {
        return std::memcmp(&a, &b, sizeof(T)) == 0;
    }
};

TEST_F(CharacterOrientationTest, BonesAreBoundOnceAndTheirFollowersReset) {
    Hold();
    Actor *head = Make(12, "Head", hero);
    head->position = {5, 6, 7};
    head->rotation = {0, 1, 0, 0};
    skin->missingBones = {"L_Thigh"};
    hero->bones.clear();
    hero->BindBones();
    hero->BindBones();
    const auto asked = skin->Of(1120);
    ASSERT_EQ(asked.size(), kCharacterBoneCount);
    for (size_t i = 0; i < kCharacterBoneCount; ++i) {
        EXPECT_STREQ(asked[i].Read<const char *>(0), BoneNames[i]);
        EXPECT_EQ(hero->bones[i], i == 10 ? nullptr : GetSkeletonBone(skin->skeleton, i)) << i;
        EXPECT_EQ(hero->boneActors[i].target, i == kHeadBone ? head : nullptr) << i;
    }
    EXPECT_EQ(std::tuple(head->position.x, head->rotation.y, head->rotation.w),
              std::tuple(0.0f, 0.0f, 1.0f));
}

TEST_F(CharacterOrientationTest, DirectionBehavioursSmoothingBodyYawAndWallTilt) {
    Hold();
    // Behaviour, flags, then rotY and lookRotY from (2.0, 0.5), move angle 0.25.
    const std::tuple<uint32_t, uint32_t, float, float> rows[] = {
        {1, kCharStrafe, 0.5f, 0.5f}, {1, 0, 0.75f, 0.5f}, {1, kCharStanding, 2.0f, 0.5f},
        {0, kCharStrafe, 2.0f, 2.0f}, {2, kCharStrafe, 2.0f, 0.5f}};
    for (const auto &[behaviour, flags, rotY, lookRotY] : rows) {
        hero->directionBehaviour = behaviour;
        hero->charFlags = (hero->charFlags & ~(kCharStrafe | kCharStanding)) | flags;
        std::tie(hero->rotY, hero->look.rotY, hero->moveAngle) = std::tuple(2.0f, 0.5f, 0.25f);
        hero->ApplyDirectionBehaviour();
        EXPECT_EQ(std::tuple(hero->rotY, hero->look.rotY), std::tuple(rotY, lookRotY)) << behaviour;
    }

    // Each angle at its own speed; the body towards its yaw plus a
    // thousandth of the look.
    hero->look = {1.0f, 0.0f, 6.0f, 0.5f, 0.0f, 12.0f};
    hero->aim = {-1.0f, 0.0f, 3.0f, -0.5f, 0.0f, 60.0f};
    std::tie(hero->rotY, hero->rotYSmooth, hero->turnSpeed) = std::tuple(1.0f, 0.0f, 3.0f);
    Look(1);
    const float smoothed[5] = {hero->look.rotXSmooth, hero->look.rotYSmooth, hero->aim.rotXSmooth,
                               hero->aim.rotYSmooth, hero->rotYSmooth};
    const float steps[5] = {0.1f, 0.2f, -0.05f, -0.5f, 0.05f};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_NEAR(smoothed[i], steps[i], 1e-6f) << i;
    }
    Look(60);
    EXPECT_FLOAT_EQ(hero->rotYSmooth, 1.0005f);
    EXPECT_FLOAT_EQ(hero->lookRotYOffset, 0.5f - 1.0005f);

    // A ThirdPersonShooter in the air without input keeps within 0.8 of the look.
    hero->characterType = kCharacterThirdPersonShooter;
    hero->directionBehaviour = 1;
    for (float lookYaw : {2.5f, -2.0f, 3.0f}) {
        hero->rotY = 0.0f;
        hero->look.rotY = lookYaw;
        Look(1);
        EXPECT_NEAR(std::fabs(hero->look.rotY - hero->rotY), 0.8f, 1e-5f) << lookYaw;
    }

    // On a wall the body tilts towards its normal, and back after leaving it.
    hero->posture = 'W';
    hero->wallNormal = {1, 0, 0};
    Look(60);
    const float tilt = BodyUp(0);
    EXPECT_GT(tilt, 0.8f);
    hero->posture = 'N';
    Look(30);
    EXPECT_GT(BodyUp(0), 0.0f);
    EXPECT_LT(BodyUp(0), tilt);
    Look(90);
    EXPECT_EQ(hero->wallBlend, 0.0f);
    EXPECT_FLOAT_EQ(BodyUp(1), 1.0f);
}

TEST_F(CharacterOrientationTest, HeadsAndPoseLayersFollowTheLookByType) {
    Hold();
    // ThirdPerson at time 0: a look 2.0 to the side folds back to 1.5316622.
    hero->characterType = kCharacterThirdPerson;
    hero->turnSpeed = 0.0f;
    hero->look.rotY = hero->look.rotYSmooth = 2.0f;
    hero->headTurningSpeed = 1000.0f;
    hero->LookAndBody();
    EXPECT_FLOAT_EQ(hero->headYaw, 1.5316622f);
    // ThirdPersonShooter: layers 2-5 take pitches and yaws as times, then 0.
    hero->characterType = kCharacterThirdPersonShooter;
    std::tie(hero->look.rotXSmooth, hero->aim.rotXSmooth) = std::tuple(0.5f, -2.0f);
    std::tie(hero->headYaw, hero->aimYaw) = std::tuple(1.0f, -4.0f);
    skin->log.clear();
    hero->OrientationOutputs();
    std::vector<float> layers;
    for (const RecordedCommand &entry : skin->log) {
        if (entry.id == 1133 || entry.id == 254) {
            layers.push_back(entry.id == 1133 ? static_cast<float>(entry.Read<uint32_t>(0)) + 10
                                              : entry.F32(0));
        }
    }
    const std::vector<float> expected = {12, 0.5f / kPi + 0.5f, 13, 0.0001f,
                                         14, 0.5f - 1.0f / kTwoPi, 15, 0.9999f, 10};
    ASSERT_EQ(layers.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_FLOAT_EQ(layers[i], expected[i]) << i;
    }
}

TEST_F(CharacterOrientationTest, TheFirstPersonRecoilSettlesAndTheCameraSways) {
    Hold();
    hero->characterType = kCharacterFirstPerson;
    hero->charFlags |= kCharHeadTracking;
    game::Recorder *camera = Make(19, "Eyes", nullptr);
    hero->lookCamera.Assign(camera);
    hero->BindBones();
    std::tie(hero->recoilPitchVelocity, hero->recoilYawVelocity) = std::tuple(2.0f, -1.0f);
    hero->OrientationOutputs();
    EXPECT_EQ(std::tuple(hero->recoilPitch > 0.0f, hero->bones[kNeckBone]->layers[3].weight),
              std::tuple(true, 1.0f));
    for (int i = 0; i < 300; ++i) {
        Advance();
        hero->OrientationOutputs();
    }
    for (float value : {hero->recoilPitch, hero->recoilYaw, hero->recoilPitchVelocity,
                        hero->recoilYawVelocity}) {
        EXPECT_NEAR(value, 0.0f, 1e-6f);
    }
    // Rested and still: exactly the roll of -pi/2; tired or shaken: off it.
    Quaternion roll;
    QuaternionRotationYawPitchRoll(&roll, 0.0f, 0.0f, -kPi / 2.0f);
    auto turn = [&] { return camera->Of(79).back().Read<Quaternion>(0); };
    EXPECT_TRUE(Same(turn(), roll));
    hero->capacity = 0.3f;
    std::vector<float> sway;
    for (int i = 0; i < 3; ++i) {
        Advance(7);
        hero->OrientationOutputs();
        sway.push_back(turn().x);
    }
    EXPECT_TRUE(sway[0] != sway[1] && sway[1] != sway[2] && sway[0] != roll.x);
    std::tie(hero->capacity, hero->shake) = std::tuple(1.0f, 0.5f);
    hero->OrientationOutputs();
    EXPECT_FALSE(Same(turn(), roll));
}

TEST_F(CharacterOrientationTest, OnlyASeenCharacterUpdatesBonesAndMovesItsFollowers) {
    Hold();
    game::Recorder *hand = Make(12, "R_Hand", hero);
    hero->characterType = kCharacterThirdPerson;
    hero->bones.clear();
    hero->BindBones();
    MatrixTranslation(&hero->bones[9]->world, 1, 2, 3);
    hero->position = {100, 0, 0};
    hero->InvalidateTransform();
    for (bool seen : {false, true}) {
        Advance();
        hero->currentTime = clock.previousTime - (seen ? 0.0f : 1.0f);
        skin->log.clear();
        hero->OrientationOutputs();
        EXPECT_EQ(skin->Of(1127).size(), seen ? 1u : 0u);
        ASSERT_EQ(hand->Of(85).size(), seen ? 1u : 0u);
    }
    Matrix expected;
    MatrixMultiply(&expected, hero->bones[9]->world, hero->GetLocalMatrix());
    const Matrix sent = hand->Of(85)[0].Read<Matrix>(0);
    EXPECT_TRUE(Same(sent, expected));
    EXPECT_EQ(std::tuple(sent.m[3][0], sent.m[3][1], sent.m[3][2]), std::tuple(101.0f, 2.0f, 3.0f));
}

} // namespace
