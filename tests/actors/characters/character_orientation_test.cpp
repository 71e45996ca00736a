// The Character's orientation: bone binding, the direction behaviours, look
// smoothing, the body's yaw and its tilt onto a wall, head and aim poses per
// character type, the FirstPerson recoil and camera, and the children that
// follow bones, only for a character seen in the previous frame.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "core/actors/actor_services.h"
#include "library/bone.h"
#include "library/skeleton.h"
#include "support/character_steps.h"

namespace {

using game::CharacterStepsTest;

Vector3 BodyUp(const Quaternion &rotation) {
    Matrix m;
    MatrixFromQuaternion(&m, rotation);
    return {m.m[1][0], m.m[1][1], m.m[1][2]};
}

class CharacterOrientationTest : public CharacterStepsTest {
  protected:
    // Frames of the look-and-body step, the clock moving on before each.
    void Look(int frames) {
        for (int i = 0; i < frames; ++i) {
            Advance();
            hero->LookAndBody();
        }
    }
    Actor *Child(int32_t classId, const char *name, Actor *parent) {
        return CreateActor(classId, name, nullptr, parent, -1, true);
    }
};

TEST_F(CharacterOrientationTest, BonesAreBoundOnceAndTheirFollowersReset) {
    Hold();
    Actor *head = Child(12, "Head", hero);
    ASSERT_NE(head, nullptr);
    head->position = {5, 6, 7};
    head->rotation = {0, 1, 0, 0};
    skin->missingBones = {"L_Thigh"};
    skin->log.clear();
    hero->bones.clear();
    hero->BindBones();
    hero->BindBones();
    const auto asked = skin->Of(1120);
    ASSERT_EQ(asked.size(), kCharacterBoneCount);
    ASSERT_EQ(hero->bones.size(), kCharacterBoneCount);
    for (size_t i = 0; i < kCharacterBoneCount; ++i) {
        EXPECT_STREQ(asked[i].Read<const char *>(0), BoneNames[i]);
        EXPECT_EQ(hero->bones[i], i == 10 ? nullptr : GetSkeletonBone(skin->skeleton, i)) << i;
        EXPECT_EQ(hero->boneActors[i].target, i == kHeadBone ? head : nullptr) << i;
    }
    EXPECT_EQ(std::tuple(head->position.x, head->position.y, head->position.z, head->rotation.w),
              std::tuple(0.0f, 0.0f, 0.0f, 1.0f));
}

TEST_F(CharacterOrientationTest, DirectionBehavioursSmoothingAndTheBodyYaw) {
    Hold();
    const struct {
        uint32_t behaviour;
        uint32_t flags;
        float rotY, lookRotY;
    } rows[] = {
        {1, kCharStrafe, 0.5f, 0.5f},         {1, 0, 0.75f, 0.5f},
        {1, kCharStanding, 2.0f, 0.5f},       {0, kCharStrafe, 2.0f, 2.0f},
        {2, kCharStrafe | kCharStanding, 2.0f, 0.5f},
    };
    for (const auto &row : rows) {
        hero->directionBehaviour = row.behaviour;
        hero->charFlags = (hero->charFlags & ~(kCharStrafe | kCharStanding)) | row.flags;
        hero->rotY = 2.0f;
        hero->look.rotY = 0.5f;
        hero->moveAngle = 0.25f;
        hero->ApplyDirectionBehaviour();
        EXPECT_EQ(std::tuple(hero->rotY, hero->look.rotY), std::tuple(row.rotY, row.lookRotY))
            << row.behaviour << " " << row.flags;
    }

    // Each angle moves at its own speed; the body turns towards its yaw
    // plus a thousandth of the look.
    hero->look = {1.0f, 0.0f, 6.0f, 0.5f, 0.0f, 12.0f};
    hero->aim = {-1.0f, 0.0f, 3.0f, -0.5f, 0.0f, 60.0f};
    hero->rotY = 1.0f;
    hero->rotYSmooth = 0.0f;
    hero->turnSpeed = 3.0f;
    Look(1);
    EXPECT_NEAR(hero->look.rotXSmooth, 0.1f, 1e-6f);
    EXPECT_NEAR(hero->look.rotYSmooth, 0.2f, 1e-6f);
    EXPECT_NEAR(hero->aim.rotXSmooth, -0.05f, 1e-6f);
    EXPECT_NEAR(hero->aim.rotYSmooth, -0.5f, 1e-6f);
    EXPECT_NEAR(hero->rotYSmooth, 0.05f, 1e-6f);
    Look(60);
    EXPECT_FLOAT_EQ(hero->rotYSmooth, 1.0005f);
    EXPECT_FLOAT_EQ(hero->lookRotYOffset, 0.5f - 1.0005f);
    Quaternion expected;
    QuaternionRotationYawPitchRoll(&expected, hero->rotYSmooth, 0.0f, 0.0f);
    EXPECT_EQ(std::memcmp(&hero->rotation, &expected, sizeof(expected)), 0);

    // A ThirdPersonShooter's body, in the air and without input, keeps
    // within 0.8 of the look.
    hero->characterType = kCharacterThirdPersonShooter;
    hero->directionBehaviour = 1;
    hero->hasContacts = 0;
    for (float lookYaw : {2.5f, -2.0f, 3.0f}) {
        hero->rotY = 0.0f;
        hero->look.rotY = lookYaw;
        Look(1);
        EXPECT_NEAR(std::fabs(Wrap(hero->look.rotY - hero->rotY)), 0.8f, 1e-5f) << lookYaw;
    }
    hero->hasContacts = 1;
    hero->rotY = 0.0f;
    Look(1);
    EXPECT_EQ(hero->rotY, 0.0f);
}

TEST_F(CharacterOrientationTest, OnAWallTheBodyTiltsTowardsItsNormalAndBack) {
    Hold();
    hero->posture = 'W';
    hero->wallNormal = {1, 0, 0};
    Look(60);
    const Vector3 up = BodyUp(hero->rotation);
    EXPECT_GT(up.x, 0.8f);
    EXPECT_GT(hero->wallBlend, 0.9f);
    hero->posture = 'N';
    Look(30);
    EXPECT_GT(BodyUp(hero->rotation).x, 0.0f);
    EXPECT_LT(BodyUp(hero->rotation).x, up.x);
    Look(90);
    EXPECT_EQ(hero->wallBlend, 0.0f);
    EXPECT_FLOAT_EQ(BodyUp(hero->rotation).y, 1.0f);
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

    // ThirdPersonShooter: head and aim end pi/8 short of the look, wrapped
    // there (a turning range centred a sixteenth of a turn to the side).
    hero->characterType = kCharacterThirdPersonShooter;
    hero->aim.rotY = hero->aim.rotYSmooth = -3.0f;
    hero->look.rotY = hero->look.rotYSmooth = 0.5f;
    hero->aimTurningSpeed = 1000.0f;
    hero->LookAndBody();
    EXPECT_NEAR(hero->headYaw, 0.5f - kPi / 8.0f, 1e-5f);
    EXPECT_NEAR(hero->aimYaw, 2.0f * kPi - 3.0f - kPi / 8.0f, 1e-5f);

    // Its layers 2-5 take the pitches and yaws as times, then layer 0.
    hero->look.rotXSmooth = 0.5f;
    hero->aim.rotXSmooth = -2.0f;
    hero->headYaw = 1.0f;
    hero->aimYaw = -4.0f;
    skin->log.clear();
    hero->OrientationOutputs();
    std::vector<std::pair<uint32_t, float>> layers;
    for (const RecordedCommand &entry : skin->log) {
        if (entry.id == 1133) {
            layers.emplace_back(1133, static_cast<float>(entry.Read<uint32_t>(0)));
        } else if (entry.id == 254) {
            layers.emplace_back(254, entry.F32(0));
        }
    }
    const std::vector<std::pair<uint32_t, float>> expected = {
        {1133, 2.0f}, {254, 0.5f / kPi + 0.5f},
        {1133, 3.0f}, {254, 0.0001f},
        {1133, 4.0f}, {254, 1.0f - (1.0f / kTwoPi + 0.5f)},
        {1133, 5.0f}, {254, 0.9999f},
        {1133, 0.0f},
    };
    ASSERT_EQ(layers.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(layers[i].first, expected[i].first) << i;
        EXPECT_FLOAT_EQ(layers[i].second, expected[i].second) << i;
    }

    // Other types turn neck and head on layer 1 while tracking.
    hero->characterType = kCharacterThirdPerson;
    hero->charFlags |= kCharHeadTracking;
    hero->directionBehaviour = 1;
    hero->BindBones();
    hero->OrientationOutputs();
    Quaternion q;
    QuaternionRotationYawPitchRoll(&q, 0.35f - 0.5f, 1.4f, 0.0f);
    for (size_t bone : {kNeckBone, kHeadBone}) {
        EXPECT_FLOAT_EQ(hero->bones[bone]->layers[1].rotation.x, q.x) << bone;
        EXPECT_FLOAT_EQ(hero->bones[bone]->layers[1].rotation.w, q.w) << bone;
    }
}

TEST_F(CharacterOrientationTest, TheFirstPersonRecoilSettlesAndTheCameraSways) {
    Hold();
    hero->characterType = kCharacterFirstPerson;
    hero->charFlags |= kCharHeadTracking;
    auto *camera = dynamic_cast<game::Recorder *>(Child(19, "Eyes", nullptr));
    ASSERT_NE(camera, nullptr);
    hero->lookCamera.Assign(camera);
    hero->BindBones();
    hero->recoilPitchVelocity = 2.0f;
    hero->recoilYawVelocity = -1.0f;
    hero->OrientationOutputs();
    EXPECT_GT(hero->recoilPitch, 0.0f);
    EXPECT_LT(hero->recoilYaw, 0.0f);
    const Bone *neck = hero->bones[kNeckBone];
    EXPECT_EQ(neck->layers[3].weight, 1.0f);
    EXPECT_NE(neck->layers[3].rotation.w, 1.0f);
    for (int i = 0; i < 300; ++i) {
        Advance();
        hero->OrientationOutputs();
    }
    for (float value : {hero->recoilPitch, hero->recoilYaw, hero->recoilPitchVelocity,
                        hero->recoilYawVelocity}) {
        EXPECT_NEAR(value, 0.0f, 1e-6f);
    }

    // Rested and still: exactly the roll of -pi/2; tired: it sways.
    Quaternion roll;
    QuaternionRotationYawPitchRoll(&roll, 0.0f, 0.0f, -kPi / 2.0f);
    auto lastTurn = [&] { return camera->Of(79).back().Read<Quaternion>(0); };
    const Quaternion rested = lastTurn();
    EXPECT_EQ(std::memcmp(&rested, &roll, sizeof(roll)), 0);
    hero->capacity = 0.3f;
    std::vector<float> swayed;
    for (int i = 0; i < 3; ++i) {
        Advance(7);
        hero->OrientationOutputs();
        swayed.push_back(lastTurn().x - roll.x);
    }
    EXPECT_NE(swayed[0], swayed[1]);
    EXPECT_NE(swayed[1], swayed[2]);
    // The landing shake moves it too.
    hero->capacity = 1.0f;
    hero->shake = 0.5f;
    hero->OrientationOutputs();
    EXPECT_NE(std::memcmp(&camera->Of(79).back().block[0], &roll, sizeof(roll)), 0);
}

TEST_F(CharacterOrientationTest, OnlyASeenCharacterUpdatesBonesAndMovesItsFollowers) {
    Hold();
    auto *hand = dynamic_cast<game::Recorder *>(Child(12, "R_Hand", hero));
    ASSERT_NE(hand, nullptr);
    hero->characterType = kCharacterThirdPerson;
    hero->bones.clear();
    hero->BindBones();
    Bone *bone = hero->bones[9];
    ASSERT_NE(bone, nullptr);
    MatrixTranslation(&bone->world, 1, 2, 3);
    hero->position = {100, 0, 0};
    hero->InvalidateTransform();
    for (bool seen : {false, true}) {
        Advance();
        hero->currentTime = seen ? clock.previousTime : clock.previousTime - 1.0f;
        skin->log.clear();
        hand->log.clear();
        hero->OrientationOutputs();
        EXPECT_EQ(skin->Of(1127).size(), seen ? 1u : 0u);
        ASSERT_EQ(hand->Of(85).size(), seen ? 1u : 0u);
    }
    Matrix expected;
    MatrixMultiply(&expected, bone->world, hero->GetLocalMatrix());
    const Matrix sent = hand->Of(85)[0].Read<Matrix>(0);
    EXPECT_EQ(std::memcmp(&sent, &expected, sizeof(expected)), 0);
    EXPECT_EQ(std::tuple(sent.m[3][0], sent.m[3][1], sent.m[3][2]), std::tuple(101.0f, 2.0f, 3.0f));
}

} // namespace
