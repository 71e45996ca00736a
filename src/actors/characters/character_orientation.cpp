// The Character's orientation steps of the frame: binding the skin's bones
// and the bone-following children, the direction behaviour, the smoothing of
// the look and aim angles, the body's yaw with its tilt onto a climbed wall,
// the head and aim yaw per character type, and the outputs: the skin's pose
// layers, the head bones, the FirstPerson recoil and camera with its
// exhaustion sway, and the children that follow bones.
#include <algorithm>
#include <cmath>

#include "actors/characters/character_actor.h"
#include "actors/presentation/skin_object_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/actors/time_record.h"
#include "library/skeleton.h"

namespace {

// The turning range of a ThirdPersonShooter's head and aim is centred this
// far to the side.
constexpr float kShooterOffset = 0.3926991f;
constexpr float kHeadFold = 1.8f;
constexpr float kHeadFoldBack = 1.3416888f;

float Delta(const TimeRecord *record) { return record != nullptr ? record->delta : 0.0f; }
float Now(const TimeRecord *record) { return record != nullptr ? record->time : 0.0f; }

void SmoothAngles(LookRecord &record, float delta) {
    record.rotXSmooth = TurnToward(record.rotXSmooth, record.rotX, delta * record.rotXSpeed);
    record.rotYSmooth = TurnToward(record.rotYSmooth, record.rotY, delta * record.rotYSpeed);
}

Vector3 Blend(const Vector3 &from, const Vector3 &to, float k) {
    return {from.x * (1.0f - k) + to.x * k, from.y * (1.0f - k) + to.y * k,
            from.z * (1.0f - k) + to.z * k};
}

// The normalised layer time of a pose: kept off both ends.
float LayerTime(float t) { return std::clamp(t, 0.0001f, 0.9999f); }

} // namespace

void CharacterActor::DropStaleBones() {
    if (!bones.empty() && SkeletonGenerationOf(skin.target) != bonesGeneration) {
        bones.clear();
    }
}

void CharacterActor::BindBones() {
    DropStaleBones();
    if (!bones.empty() || skin.target == nullptr) {
        return;
    }
    bonesGeneration = SkeletonGenerationOf(skin.target);
    for (const char *boneName : BoneNames) {
        struct {
            const char *name;
            Bone *bone;
        } ask{boneName, nullptr};
        skin.target->HandleCommand(cmd::skin_object::GetBone, ParamBlock(&ask, sizeof(ask)));
        bones.push_back(ask.bone);
    }
    for (size_t i = 0; i < kCharacterBoneCount; ++i) {
        Actor *child = FindChildByName(this, BoneNames[i]);
        boneActors[i].Assign(child);
        if (child != nullptr) {
            child->rotation = {0.0f, 0.0f, 0.0f, 1.0f};
            child->position = {0.0f, 0.0f, 0.0f};
            child->InvalidateTransform();
        }
    }
}

void CharacterActor::ApplyDirectionBehaviour() {
    if (directionBehaviour == 1) {
        if ((charFlags & kCharStrafe) != 0) {
            rotY = look.rotY;
        } else if ((charFlags & kCharStanding) == 0) {
            rotY = moveAngle + look.rotY;
        }
    } else if (directionBehaviour == 0) {
        look.rotY = rotY;
    }
}

void CharacterActor::LookAndBody() {
    const float delta = Delta(timeRecord);
    look.rotY = Wrap(look.rotY);
    if (characterType == kCharacterThirdPersonShooter && hasContacts == 0 &&
        inputQueue.empty() && std::fabs(look.rotY - rotY) > 0.8f && directionBehaviour != 2) {
        rotY = Wrap(rotY);
        const float d = std::fabs(look.rotY - rotY) - 0.8f;
        if (d > 0.0f) {
            rotY = TurnToward(rotY, look.rotY, d);
        }
    }
    SmoothAngles(look, delta);
    SmoothAngles(aim, delta);

    const float bodyTarget = rotY + look.rotY * 0.001f;
    if (posture == 'W' || wallBlend > 0.0f) {
        rotYSmooth = TurnToward(rotYSmooth, bodyTarget, delta * turnSpeed * 0.75f);
        if (wallBlend <= 0.0f) {
            wallUp = wallNormal;
        }
        if (posture == 'W') {
            wallBlend += delta * 1.8f;
            wallUp = Blend(wallUp, wallNormal, std::clamp(delta * 4.0f, 0.0f, 1.0f));
        } else {
            wallUp = Blend(wallUp, {0.0f, 1.0f, 0.0f}, std::clamp(delta * 2.4f, 0.0f, 1.0f));
        }
        Vec3Normalize(&wallUp, wallUp);
        wallBlend = std::clamp(wallBlend - delta * 0.67f, 0.0f, 1.0f);
        rotation = WallAlignedRotation(rotYSmooth);
    } else {
        rotYSmooth = TurnToward(rotYSmooth, bodyTarget, delta * turnSpeed);
        QuaternionRotationYawPitchRoll(&rotation, rotYSmooth, 0.0f, 0.0f);
    }
    InvalidateTransform();
    lookRotYOffset = Wrap(look.rotY - rotYSmooth);

    if (characterType == kCharacterThirdPerson) {
        float a = lookRotYOffset;
        if (a > kHeadFold) {
            a = kHeadFold - (a - kHeadFold) * kHeadFoldBack;
        } else if (a < -kHeadFold) {
            a = (-a - kHeadFold) * kHeadFoldBack - kHeadFold;
        }
        // An idle sway, larger the further the look is turned past the fold.
        const float now = Now(timeRecord);
        const float e = std::clamp(std::fabs(lookRotYOffset) - kHeadFold, 0.11f, 0.5f);
        a += std::sin(now * 0.5f) * e * std::sin(now * 0.69129f);
        ApproachValue(headYaw, a, delta * headTurningSpeed);
    } else if (characterType == kCharacterThirdPersonShooter) {
        headYaw += kShooterOffset;
        aimYaw += kShooterOffset;
        ApproachValue(headYaw, Wrap(look.rotY - rotYSmooth - kShooterOffset) + kShooterOffset,
                      delta * headTurningSpeed);
        ApproachValue(aimYaw, Wrap(aim.rotY - rotYSmooth - kShooterOffset) + kShooterOffset,
                      delta * aimTurningSpeed);
        headYaw -= kShooterOffset;
        aimYaw -= kShooterOffset;
    }
}

void CharacterActor::OrientationOutputs() {
    Actor *skinActor = skin.target;
    if (skinActor == nullptr) {
        return;
    }
    // Drawn in the previous frame: its last update stored the time that is
    // now the record's previous time.
    const bool seen = timeRecord != nullptr && timeRecord->previousTime == currentTime;
    if (seen) {
        SendCommandArgs(skinActor, cmd::skin_object::UpdateBones, false);
    }
    DropStaleBones();
    auto bone = [this](size_t i) { return i < bones.size() ? bones[i] : nullptr; };

    if (characterType == kCharacterThirdPersonShooter) {
        const float times[4] = {
            LayerTime(look.rotXSmooth / kPi + 0.5f),
            LayerTime(aim.rotXSmooth / kPi + 0.5f),
            1.0f - LayerTime(headYaw / kTwoPi + 0.5f),
            1.0f - LayerTime(aimYaw / kTwoPi + 0.5f),
        };
        for (uint32_t layer = 2; layer <= 5; ++layer) {
            SendCommandArgs(skinActor, cmd::skin_object::SetCurrentLayer, layer);
            SendCommandArgs(skinActor, cmd::base::SetCurrentNormalizedTime, times[layer - 2]);
        }
        SendCommandArgs(skinActor, cmd::skin_object::SetCurrentLayer, uint32_t{0});
    } else if (characterType != kCharacterFirstPerson) {
        if ((charFlags & kCharHeadTracking) != 0 && directionBehaviour != 0) {
            Quaternion q;
            QuaternionRotationYawPitchRoll(&q, 0.35f - look.rotXSmooth, headYaw * 1.4f, 0.0f);
            SetBoneLayerRotation(bone(kNeckBone), &q, 1);
            SetBoneLayerRotation(bone(kHeadBone), &q, 1);
        }
    } else {
        const float delta = Delta(timeRecord);
        if ((charFlags & kCharHeadTracking) != 0) {
            recoilPitch += delta * recoilPitchVelocity;
            recoilYaw += delta * recoilYawVelocity;
            ApproachValue(recoilPitchVelocity, 0.0f, std::fabs(delta * recoilPitchVelocity * 16.0f));
            ApproachValue(recoilYawVelocity, 0.0f, std::fabs(delta * recoilYawVelocity * 16.0f));
            ApproachValue(recoilPitch, 0.0f, std::fabs(delta * recoilPitch * 3.0f));
            ApproachValue(recoilYaw, 0.0f, std::fabs(delta * recoilYaw * 3.0f));
            Quaternion q;
            QuaternionRotationYawPitchRoll(&q, recoilPitch - look.rotXSmooth, recoilYaw, 0.0f);
            SetBoneLayerRotation(bone(kNeckBone), &q, 3);
            SetBoneLayerWeight(bone(kNeckBone), 1.0f, 3);
        }
        SendCommandArgs(skinActor, cmd::skin_object::UpdateBones, false);
        if (Actor *camera = lookCamera.target) {
            Quaternion q;
            QuaternionRotationYawPitchRoll(&q, 0.0f, 0.0f, -kPi / 2.0f);
            if (shake > 0.0f || capacity < 0.7f) {
                // The exhaustion sway, with the landing shake on top.
                const float t = GetCurrentTime();
                const float tired = 0.7f - capacity;
                float s1 = tired * 0.06f * (std::sin(t * 5.0f) + Noise1D(t * 2.432f) * 1.3f);
                float s2 = tired * 0.025f * (std::cos(t * 3.0f) + Noise1D(t * 3.332f + 2.0f));
                if (capacity > 0.35f) {
                    const float fade = 1.0f - 2.0f * (capacity - 0.35f);
                    s1 *= fade;
                    s2 *= fade;
                }
                const float kick = shake * 0.25f;
                Quaternion sway;
                QuaternionRotationYawPitchRoll(&sway, kick + s1, shakeX * kick + s2, shakeY * kick);
                QuaternionMultiply(&q, q, sway);
            }
            SendCommandArgs(camera, cmd::base::SetQuaternion, q);
        }
    }

    if (!seen) {
        return;
    }
    for (size_t i = 0; i < kCharacterBoneCount; ++i) {
        Actor *child = boneActors[i].target;
        Matrix boneMatrix;
        if (child == nullptr || GetBoneMatrix(bone(i), &boneMatrix) == 0) {
            continue;
        }
        Matrix m;
        MatrixMultiply(&m, boneMatrix, GetLocalMatrix());
        SendSetMatrix(child, m);
    }
}
