// The Character's condition steps of the frame: the 0.1 s tick (parameters
// recovering from their changes, the notify camera's field of view and
// gamma, endurance with its exhaust events, the speed factor), the
// start-and-stop ramp of the movement speed, the two fall-damage rules at a
// landing with the landing shake and its decay, item dropping, the state
// record for network play and the one-off impulse.
#include <algorithm>
#include <cmath>

#include "actors/characters/character_actor.h"
#include "base/random.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/time_record.h"
#include "library/resource_library.h"

namespace {

constexpr float kParamTick = 0.1f;
constexpr float kDegreesToRadiansTimes100 = 1.7453293f;
constexpr float kSyncInterval = 1.0f / 30.0f;
constexpr size_t kSyncRecordSize = 60;
// The child of the item holder that a drop takes: this index modulo the
// number of children.
constexpr size_t kDropPick = 3001;

float Delta(const TimeRecord *record) { return record != nullptr ? record->delta : 0.0f; }
float Now(const TimeRecord *record) { return record != nullptr ? record->time : 0.0f; }

bool InHalfExhaustion(float c) { return c > 0.25f && c < 0.5f; }

// A landing shake offset: 0.3 down to 0.3 x (1 - 0.9998) by one draw.
float ShakeOffset() { return 0.3f - static_cast<float>(Rand() % 10000) * 0.0002f * 0.3f; }

} // namespace

void CharacterActor::ConditionTick() {
    paramTickTimer += Delta(timeRecord);
    if (paramTickTimer <= kParamTick) {
        return;
    }
    std::copy(std::begin(paramValue), std::end(paramValue), std::begin(paramPrevious));
    paramTickTimer = 0.0f;
    for (size_t i = 0; i < kCharacterParamCount; ++i) {
        if (paramBlend[i] >= 1.0f) {
            paramValue[i] = paramBase[i];
        } else {
            paramValue[i] = (paramBase[i] - paramChanged[i]) * paramBlend[i] + paramChanged[i];
            paramBlend[i] += paramBlendStep[i];
        }
    }

    if (Actor *camera = notifyCamera.target) {
        auto changed = [this](size_t i) { return paramValue[i] != paramPrevious[i]; };
        if (changed(kParamFov)) {
            SendCommandArgs(camera, cmd::camera::SetFov,
                            paramValue[kParamFov] * kDegreesToRadiansTimes100);
        }
        if (changed(kParamVision) || changed(kParamGammaRAdd) || changed(kParamGammaGAdd) ||
            changed(kParamGammaBAdd)) {
            const float vision = (paramValue[kParamVision] - 1.0f) * 256.0f;
            SendCommandArgs(camera, cmd::camera::SetGamma, 1.0f, 1.0f, 1.0f,
                            vision + paramValue[kParamGammaRAdd] * 32.0f,
                            vision + paramValue[kParamGammaGAdd] * 32.0f,
                            vision + paramValue[kParamGammaBAdd] * 32.0f);
        }
    }

    const bool slows = (charFlags & kCharExhaustionSlows) != 0;
    speedFactor = 1.0f;
    if (slows) {
        const float x = std::max(0.0f, (1.0f - capacity) - 0.5f);
        speedFactor = std::max(0.0f, 1.0f - x * 1.72f);
    }
    if ((charFlags & kCharMoving) != 0) {
        float f = 1.0f;
        if (posture == 'R') {
            f = 0.85f;
            speedFactor *= 1.8f;
        } else if (posture == 'N' && capacity < 0.55f) {
            f = 0.0f;
        } else if (posture == 'C') {
            f = 0.5f;
        }
        ChangeCapacity(f * speedFactor * -0.013f);
    }
    ChangeCapacity(0.009f);

    const float c = capacity;
    const float p = capacityPrevious;
    if (InHalfExhaustion(c) && !InHalfExhaustion(p)) {
        HandleCommand(cmd::character::Exhaust50Start, ParamBlock());
    }
    if (c < 0.25f && p >= 0.25f) {
        HandleCommand(cmd::character::Exhaust75Start, ParamBlock());
    }
    if (!InHalfExhaustion(c) && InHalfExhaustion(p)) {
        HandleCommand(cmd::character::Exhaust50Stop, ParamBlock());
    }
    if (c >= 0.25f && p < 0.25f) {
        HandleCommand(cmd::character::Exhaust75Stop, ParamBlock());
    }
    capacityPrevious = c;

    if (slows && capacity < 0.16f) {
        speedFactor *= 1.0f - (0.16f - capacity) * 1.6f;
    }
    speedFactor *= paramValue[kParamSpeed];
}

float CharacterActor::MovementSpeed() {
    float speed = speedFactor;
    const float t = Now(timeRecord) - moveChangeTime;
    if (t < 1.1f) {
        float g = t * 0.5f + 0.45f;
        if (t < 0.3f) {
            g *= t * 1.8333333f + 0.45f;
        }
        speed *= std::clamp(g, 0.0f, 1.0f);
    }
    return speed;
}

void CharacterActor::FallDamageAtLanding() {
    const ResourceLibrary *library = GetLibrary();
    const float inverseScale = library != nullptr ? library->GetInverseWorldScale() : 0.01f;
    const float impact = (deltaPosition.y - lastVelocityY) * inverseScale * 100.0f - 650.0f;
    bool damaged = false;
    if (impact > 0.0f) {
        if (shake == 0.0f) {
            shakeX = ShakeOffset();
            shakeY = ShakeOffset();
        }
        shake = 0.00001f;
        shakeVelocity += impact * 0.0005f;
        if (impact > 250.0f) {
            SendCommandArgs(this, cmd::character::ChangeCPHealth,
                            -(impact - 250.0f) * paramValue[kParamFallDamage1Mul] * 0.1f, 1.0f);
            damaged = true;
        }
    }
    if (onGround != 0) {
        // A slow landing is no fall.
        if (std::fabs(lastVelocityY) < 1200.0f) {
            lastSafePosition.y = position.y;
        }
        const float h = lastSafePosition.y - position.y;
        if (h > fallDamageStart) {
            const float f = h < fallDamageStop
                                ? (h - fallDamageStart) / (fallDamageStop - fallDamageStart)
                                : 1.0f;
            SendCommandArgs(this, cmd::character::ChangeCPHealth, -(f * fallDamageValue), 1.0f);
            HandleCommand(cmd::character::OnFallDamage, ParamBlock());
            return;
        }
    }
    if (damaged) {
        HandleCommand(cmd::character::OnFallDamage, ParamBlock());
    }
}

void CharacterActor::ShakeDecay() {
    if (shake == 0.0f) {
        return;
    }
    const float delta = Delta(timeRecord);
    shake += shakeVelocity;
    shakeVelocity /= delta * 20.0f + 1.0f;
    shake /= delta + 1.0f;
    if (std::trunc(shakeVelocity * 1000.0f) == 0.0f) {
        shakeVelocity = 0.0f;
    }
    if (std::trunc(shake * 100.0f) == 0.0f) {
        shake = 0.0f;
    }
}

void CharacterActor::NetworkDropsAndImpulse() {
    const float delta = Delta(timeRecord);
    if (HasFlag(kActorMaster)) {
        syncTimer += delta;
        if (syncTimer > kSyncInterval) {
            syncTimer -= kSyncInterval;
            if (syncTimer > kSyncInterval) {
                syncTimer = 0.0f;
            }
            uint8_t bytes[kSyncRecordSize] = {};
            const ParamBlock record(bytes, sizeof(bytes));
            record.Write(0, position);
            record.Write(12, deltaPosition);
            const float angles[] = {rotY, look.rotXSmooth, look.rotY, rotYSmooth, headYaw};
            for (size_t i = 0; i < 5; ++i) {
                record.WriteF32(24 + 4 * i, angles[i]);
            }
            // Bytes 44 to 51 are two spare words (0).
            record.WriteF32(52, moveSpeed);
            record.WriteF32(56, health);
            if (ActorSystem *system = GetActorSystem()) {
                system->NetSendCommandAlt(static_cast<uint32_t>(actorId),
                                          cmd::character::CharacterSync,
                                          record);
            }
        }
    }

    dropTimer += delta;
    Actor *items = itemsActor.target;
    if (dropCount != 0 && items != nullptr && dropTimer > 0.5f) {
        dropTimer = 0.0f;
        --dropCount;
        if (!items->children.empty()) {
            Actor *item = items->children[kDropPick % items->children.size()];
            SendCommandArgs(item, cmd::game_object::SetStateDropOnGround,
                            static_cast<uint32_t>(actorId));
        }
    }

    // Any non-zero component counts: an impulse straight along z (a
    // character facing the default yaw 0) is applied too.
    if (pendingImpulse.x != 0.0f || pendingImpulse.y != 0.0f || pendingImpulse.z != 0.0f) {
        deltaPosition = {deltaPosition.x + pendingImpulse.x, deltaPosition.y + pendingImpulse.y,
                         deltaPosition.z + pendingImpulse.z};
        pendingImpulse = {0.0f, 0.0f, 0.0f};
    }
}
