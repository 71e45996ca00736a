// The Character's per-frame controller: the frame in its order, the contacts
// of the frame, standing up from a crouch, the input queue and the movement
// step with jumping, falling, wall climbing, landing and air control. The
// condition and orientation steps are hooks called at their places.
#include <algorithm>
#include <cmath>
#include <string>

#include "actors/characters/character_actor.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/resource_library.h"

Vector3 CharacterActor::lastClimbedWallNormal = {0.0f, 0.0f, 0.0f};

namespace {

constexpr uint32_t kWeaponReload = 17;
constexpr uint32_t kMovementNeutral = 0;
constexpr uint32_t kMovementForward = 4;
constexpr uint32_t kMovementRelax = 57;
constexpr uint32_t kHeadRoomExclude = 0x40000;
constexpr uint32_t kNeverAWall = 0x400;

Vector3 AddScaled(const Vector3 &a, const Vector3 &b, float k) {
    return {a.x + b.x * k, a.y + b.y * k, a.z + b.z * k};
}

// (0, 0, length) turned about the y axis by the yaw.
Vector3 AlongYaw(float length, float yaw) {
    return {length * std::sin(yaw), 0.0f, length * std::cos(yaw)};
}

Vector3 TurnAboutY(const Vector3 &v, float yaw) {
    const float c = std::cos(yaw);
    const float s = std::sin(yaw);
    return {v.x * c + v.z * s, v.y, v.z * c - v.x * s};
}

float WorldScale() {
    const ResourceLibrary *library = GetLibrary();
    return library != nullptr ? library->GetWorldScale() : 100.0f;
}

float WorldTime() {
    ActorSystem *system = GetActorSystem();
    return system != nullptr ? system->GetCurrentTime() : 0.0f;
}

bool Is(char posture, const char *letters) {
    for (; *letters != '\0'; ++letters) {
        if (posture == *letters) {
            return true;
        }
    }
    return false;
}

} // namespace

// What the frame's steps hand on to each other.
struct CharacterActor::FrameState {
    float delta = 0.0f;
    float now = 0.0f;
    bool jumped = false;    // a jump this frame
    bool moveInput = false; // a move command this frame
    bool grounded = false;
    uint32_t previousOnGround = 0;
};

void CharacterActor::SendSelf(uint32_t commandId) { HandleCommand(commandId, ParamBlock()); }

void CharacterActor::SendLetter(uint32_t commandId, char letter) {
    const char text[2] = {letter, '\0'};
    SendCommandArgs(this, commandId, text);
}

void CharacterActor::Process() {
    RefreshTimeRecord(timeRecord);
    FrameState frame;
    if (timeRecord != nullptr) {
        frame.delta = timeRecord->delta;
        frame.now = timeRecord->time;
    }
    if (!IsOperational()) {
        return;
    }
    if ((state & kActorKilled) != 0) {
        Actor::Process();
        return;
    }
    if (skin.target == nullptr) {
        return;
    }

    if (Flag(kCharInputLocked)) {
        holdTime -= frame.delta;
        if (holdTime <= 0.0f) {
            SetFlag(kCharInputLocked, false);
            holdTime = 0.0f;
            SendSelf(cmd::character::OnUnlockInput);
            if (Flag(kCharIdleAfterHold)) {
                SetFlag(kCharIdleMotionsEnabled, true);
            }
        }
    }
    if (Flag(kCharLeftActionPending)) {
        if (Actor *item = FirstChild(leftHand.target)) {
            SendCommandArgs(item, cmd::game_object::PerformAction, static_cast<uint32_t>(actorId));
        }
        SetFlag(kCharLeftActionPending, false);
    }

    ConditionTick();
    moveSpeed = MovementSpeed();
    BindBones();
    ApplyDirectionBehaviour();
    frame.previousOnGround = onGround;
    ReadContacts();
    StandUpFromCrouch();
    if (HasFlag(kActorMaster)) {
        LookAndBody();
    }
    if (ColObj *action = ActionColObj()) {
        action->flags &= ~kColObjActive;
    }
    idleTime = inputQueue.empty() && Is(posture, "NR") ? idleTime + frame.delta : 0.0f;
    RunInputQueue(frame);
    MovementStep(frame);
    OrientationOutputs();
    NetworkDropsAndImpulse();
    Actor::Process();
}

void CharacterActor::ReadContacts() {
    onGround = 0;
    onWall = 0;
    onCeiling = 0;
    hasContacts = simState != nullptr && (simState->w1 & kSimStatePushed) != 0 ? 1u : 0u;
    wallNormal = {0.0f, 0.01f, 0.0f};
    if (hasContacts == 0) {
        SetFlag(kCharJumped, false);
        return;
    }
    groundNormal = {0.0f, 0.0f, 0.0f};
    groundDotMax = -1.0f;
    for (const TouchRecord &touch : simState->touches) {
        const float d = touch.normal.y;
        if (d < -0.1f) {
            onCeiling = 1;
        } else if (d >= 0.4f) {
            wallCount = 0;
            onGround = 1;
            SetFlag(kCharPushedOff, false);
            groundNormal = AddScaled(groundNormal, touch.normal, 1.0f);
            groundDotMax = std::max(groundDotMax, d);
        } else if ((touch.otherGroups & kNeverAWall) == 0) {
            onWall = 1;
            wallNormal = AddScaled(wallNormal, touch.normal, 1.0f);
        }
    }
    Vec3Normalize(&wallNormal, wallNormal);
    if (onGround != 0) {
        Vec3Normalize(&groundNormal, groundNormal);
    }
}

void CharacterActor::StandUpFromCrouch() {
    ColObj *chest = ChestColObj();
    if (posture != 'C' || requestedPosture == 'C' || chest == nullptr) {
        return;
    }
    ActorSystem *system = GetActorSystem();
    const Vector3 from = GetWorldPosition();
    const Vector3 to = {from.x, from.y + chest->boxMin.y + chest->boxMax.x, from.z};
    const uint32_t masks[3] = {chest->groups, chest->receiveGroups,
                               chest->excludeGroups | kHeadRoomExclude};
    Vector3 hit;
    Vector3 normal;
    if (system != nullptr && system->CollisionQuery(from, to, masks, &hit, &normal) == nullptr) {
        chest->flags |= kColObjActive;
        SendLetter(cmd::character::SetCurrentState, requestedPosture);
    }
}

void CharacterActor::RunInputQueue(FrameState &frame) {
    while (!inputQueue.empty()) {
        const uint32_t command = inputQueue.back();
        inputQueue.pop_back();
        switch (command) {
        case cmd::character::CCJump:
            SetFlag(kCharJumpHeld, true);
            if (posture != 'C') {
                Jump(frame);
            }
            break;
        case cmd::character::CCJumpStop:
            SetFlag(kCharJumpHeld, false);
            break;
        case cmd::character::CCStateCrouch:
            if (!Flag(kCharInAir)) {
                if (ColObj *chest = ChestColObj()) {
                    chest->flags &= ~kColObjActive;
                }
                SendLetter(cmd::character::SetCurrentState, 'C');
                requestedPosture = 'C';
            }
            break;
        case cmd::character::CCStateNeutral:
        case cmd::character::CCStateRun:
            requestedPosture = command == cmd::character::CCStateRun ? 'R' : 'N';
            if (posture != 'C') {
                SendLetter(cmd::character::SetCurrentState, requestedPosture);
            }
            break;
        case cmd::character::CCKnock:
            if (ColObj *action = ActionColObj()) {
                uint32_t value = 2;
                action->flags |= kColObjActive;
                action->SetCollisionCommand(false, cmd::game_container::ListenToContainer,
                                            ParamBlock(&value, sizeof(value)));
            }
            break;
        default:
            if (command >= cmd::character::CCLeft && command <= cmd::character::CCForward) {
                frame.moveInput = true;
            } else {
                ItemAction(command);
            }
            break;
        }
    }
}

void CharacterActor::Jump(FrameState &frame) {
    const bool allowed = (onWall != 0 && posture == 'W') || onGround != 0 ||
                         frame.now - lastGroundTime < 0.15f || syncCounter != 0;
    if (!allowed) {
        if (Flag(kCharKickAllowed) && posture == 'J') {
            SetFlag(kCharKickRequested, true);
        }
        return;
    }
    if (jumpTimer > 0.0f) {
        return;
    }
    const float jumpForce = paramValue[kParamJumpForce];
    jumpTimer = 0.2f;
    fallStartTime = frame.now;
    float lift;
    if (posture == 'W') {
        Vec3DropOpposingPart(&deltaPosition, deltaPosition, wallNormal, nullptr);
        deltaPosition = AddScaled(deltaPosition, wallNormal, jumpForce * 4.0f * WorldScale());
        lift = WorldScale() * jumpForce * 2.5f;
    } else {
        returnPosture = posture;
        lift = WorldScale() * jumpForce * 3.3f;
    }
    deltaPosition.y += lift;
    SendLetter(cmd::character::SetState, 'J');
    SendSelf(cmd::character::OnJumpStart_1066);
    frame.jumped = true;
    charFlags |= kCharJumped | kCharInAir | kCharJumpBoost1 | kCharJumpBoost2;
}

void CharacterActor::ItemAction(uint32_t commandId) {
    const uint32_t id = static_cast<uint32_t>(actorId);
    switch (commandId) {
    case cmd::character::CCRAction1Start:
    case cmd::character::CCRAction2Start:
    case cmd::character::CCLAction1Start:
    case cmd::character::CCLAction1: {
        uint32_t visible = 0;
        SendCommand(static_cast<uint32_t>(kInventoryActorId), cmd::inventory::GetVisible,
                    ParamBlock(&visible, sizeof(visible)));
        if (visible != 0 || commandId == cmd::character::CCLAction1) {
            return;
        }
        const bool left = commandId == cmd::character::CCLAction1Start;
        const bool grabbing = Flag(left ? kCharLeftGrabPending : kCharRightGrabPending);
        Actor *item = FirstChild((left ? leftHand : rightHand).target);
        if (!grabbing && item != nullptr) {
            SendCommandArgs(item,
                            commandId == cmd::character::CCRAction2Start
                                ? cmd::game_object::PerformActionStart_639
                                : cmd::game_object::PerformActionStart_637,
                            id);
        }
        return;
    }
    case cmd::character::CCRAction1Stop:
    case cmd::character::CCRAction2Stop:
    case cmd::character::CCLAction1Stop:
        SendCommandArgs(
            FirstChild((commandId == cmd::character::CCLAction1Stop ? leftHand : rightHand).target),
            commandId == cmd::character::CCRAction2Stop ? cmd::game_object::PerformActionStop_640
                                                        : cmd::game_object::PerformActionStop_638,
            id);
        return;
    case cmd::character::CCReload:
        SendCommandArgs(FirstChild(rightHand.target), cmd::game_object::SetWeaponState,
                        kWeaponReload);
        SendCommandArgs(FirstChild(leftHand.target), cmd::game_object::SetWeaponState,
                        kWeaponReload);
        return;
    case cmd::character::CCRDrop:
    case cmd::character::CCLDrop:
        SendCommandArgs(
            FirstChild((commandId == cmd::character::CCRDrop ? rightHand : leftHand).target),
            cmd::game_object::SetStateDropOnGround, id);
        return;
    default:
        return;
    }
}

void CharacterActor::StartFall() {
    movement = kMovementNeutral;
    if (!Is(posture, "WJK")) {
        returnPosture = posture;
    }
    SendCommandArgs(this, cmd::skin_object::SetMotion, "F_Neutral");
    SetFlag(kCharInAir, true);
    SendSelf(cmd::character::OnJumpStart_1068);
}

void CharacterActor::MovementStep(FrameState &frame) {
    if (posture == 'J') {
        const Matrix &world = GetWorldMatrix();
        deltaPosition = {deltaPosition.x - world.m[2][0], deltaPosition.y - world.m[2][1],
                         deltaPosition.z - world.m[2][2]};
    }
    if (frame.moveInput != Flag(kCharMoving)) {
        moveChangeTime = frame.now;
        SetFlag(kCharMoving, frame.moveInput);
    }
    const bool moving = Flag(kCharMoving);
    const bool inAir = Flag(kCharInAir);
    if (moving && !inAir) {
        if (movement != kMovementForward) {
            SendCommandArgs(this, cmd::character::SetMovement_845, "Forward");
        }
    } else if (HasFlag(kActorMaster) && (onGround != 0 || onWall != 0) && !inAir &&
               Flag(kCharIdleMotionsEnabled)) {
        if ((charFlags2 & kChar2RelaxAllowed) != 0 && idleTime > 3.0f) {
            if (movement != kMovementRelax) {
                SendCommandArgs(this, cmd::character::SetMovement_845, "Relax");
            }
        } else if (movement != kMovementNeutral) {
            SendCommandArgs(this, cmd::character::SetMovement_845, "Neutral");
        }
    } else if (posture == 'J' && Flag(kCharKickRequested) &&
               (movement == kMovementNeutral || movement == kMovementForward)) {
        SetFlag(kCharInAir, false);
        deltaPosition.y += WorldScale() * kickMul * paramValue[kParamJumpForce] * 3.3f;
        uint32_t playing = 0;
        skin.target->HandleCommand(cmd::skin_object::IsTransitionPlaying,
                                   ParamBlock(&playing, sizeof(playing)));
        if (playing != 0) {
            SendCommandArgs(this, cmd::skin_object::SetMotion,
                            movement == kMovementForward ? "J_Forward" : "J_Neutral");
        }
        const float side = std::fabs(moveAngle);
        const char *kick = !moving || side < kPi / 4.0f ? "K_Forward"
                           : side < 3.0f * kPi / 4.0f   ? (moveAngle >= 0.0f ? "K_Right" : "K_Left")
                                                        : "K_Back";
        SendCommandArgs(this, cmd::skin_object::SetMotion, kick);
        SetFlag(kCharKickRequested, false);
        SetFlag(kCharInAir, true);
    }
    SetFlag(kCharStanding, !moving && !Flag(kCharStrafe));

    frame.grounded = onGround != 0 || (onWall != 0 && posture != 'F');
    if (frame.grounded != (grounded != 0)) {
        GroundChange(frame.grounded);
    }
    grounded = frame.grounded ? 1u : 0u;
    lastVelocityY = deltaPosition.y;
    ShakeDecay();

    jumpTimer -= frame.delta;
    skin.target->HandleCommand(cmd::base::Update, ParamBlock());

    if (Flag(kCharJumpHeld)) {
        const float boost = WorldScale() * paramValue[kParamJumpForce];
        if (Flag(kCharJumpBoost1) && frame.now > lastGroundTime + 0.04f) {
            SetFlag(kCharJumpBoost1, false);
            deltaPosition.y += boost;
        } else if (Flag(kCharJumpBoost2) && frame.now > lastGroundTime + 0.08f) {
            charFlags &= ~(kCharJumpBoost2 | kCharJumpHeld);
            deltaPosition.y += boost;
        }
    }

    if (!frame.grounded) {
        if (!Flag(kCharSuspended) && !Flag(kCharInAir) && WorldTime() - groundChangeTime > 0.5f &&
            !Flag(kCharDeadLock) && HasFlag(kActorMaster)) {
            StartFall();
        }
        AirControl(frame.delta);
    } else if (!frame.jumped) {
        GroundMotion(frame);
    }

    if (Flag(kCharMotionDriven) && characterType == kCharacterThirdPersonShooter &&
        onGround != 0 && frame.previousOnGround != 0) {
        // Each case looks at the posture the step began with.
        const char was = posture;
        if (was == 'N' && movement == kMovementNeutral) {
            returnPosture = 'R';
        }
        if (was == 'F' && (movement == kMovementNeutral || movement == kMovementForward)) {
            returnPosture = 'R';
            SendLetter(cmd::character::SetState, 'R');
        }
        if (Is(was, "JKF") && frame.now - fallStartTime > 0.1f && jumpTimer <= 0.0f &&
            !frame.jumped) {
            SetFlag(kCharInAir, false);
            returnPosture = 'R';
            SendLetter(cmd::character::SetState, 'R');
        }
    }
    flags &= ~kActorFlag11;
}

void CharacterActor::GroundChange(bool groundedNow) {
    if (!groundedNow) {
        SendSelf(cmd::character::OnGroundStop);
    } else {
        if (Flag(kCharInAir)) {
            char letter = returnPosture;
            const char oldPosture = posture;
            SetFlag(kCharInAir, false);
            bool fell = false;
            if (Flag(kCharMotionDriven)) {
                const bool canClimb = Flag(kCharWallClimbEnable) && !Flag(kCharPushedOff) &&
                                      !Flag(kCharJumped) && posture != 'F' && onWall != 0 &&
                                      onGround == 0 && Flag(kCharMoving) && wallCount <= 2;
                if (canClimb &&
                    (wallCount == 0 || Vec3Dot(wallNormal, lastClimbedWallNormal) < 0.7f)) {
                    letter = 'W';
                    lastClimbedWallNormal = wallNormal;
                    ++wallCount;
                } else if (onGround == 0 && posture != 'F') {
                    StartFall();
                    fell = true;
                } else if (onGround != 0 && characterType == kCharacterThirdPersonShooter) {
                    letter = 'R';
                }
            }
            if (!fell) {
                uint32_t value = static_cast<uint8_t>(letter) |
                                       (Flag(kCharMoving) ? kMovementForward << 8 : 0u);
                SendCommandArgs(this, cmd::character::SetStateAndMovement, value);
                if (HasFlag(kActorMaster)) {
                    if (ActorSystem *system = GetActorSystem()) {
                        system->NetSendCommand(static_cast<uint32_t>(actorId),
                                               cmd::character::SetStateAndMovement,
                                               ParamBlock(&value, sizeof(value)));
                    }
                }
                if (oldPosture == 'J') {
                    SendSelf(cmd::character::OnJumpStop_1067);
                } else if (oldPosture == 'F') {
                    SendSelf(cmd::character::OnJumpStop_1069);
                }
            }
        }
        SendSelf(cmd::character::OnGroundStart);
        if (Flag(kCharJumpHeld)) {
            SendSelf(cmd::character::CCJump);
        }
        FallDamageAtLanding();
    }
    groundChangeTime = WorldTime();
    if (groundDotMax > 0.1f) {
        lastSafePosition = position;
    }
}

void CharacterActor::AirControl(float delta) {
    const float moveOnJump = paramValue[kParamMoveOnJump];
    if (!Flag(kCharMoving) || moveOnJump == 0.0f) {
        return;
    }
    float push = delta * moveOnJump * -1800.0f;
    if (posture == 'F') {
        push *= moveOnFallMul;
    }
    const Vector3 turned = AlongYaw(push, rotY + (Flag(kCharStrafe) ? moveAngle : 0.0f));
    const float limit = paramValue[kParamMoveOnJumpMax] * 100.0f;
    const float vx = deltaPosition.x + turned.x;
    const float vz = deltaPosition.z + turned.z;
    const float before = std::hypot(deltaPosition.x, deltaPosition.z);
    const float after = std::hypot(vx, vz);
    if (after < before || after < limit) {
        deltaPosition.x = vx;
        deltaPosition.z = vz;
    } else if (before < limit) {
        deltaPosition.x = vx * limit / after;
        deltaPosition.z = vz * limit / after;
    }
}

Quaternion CharacterActor::WallAlignedRotation(float yaw) const {
    Vector3 up = AddScaled({0.0f, 0.23f, 0.0f}, wallUp, wallBlend);
    Vec3Normalize(&up, up);
    const Vector3 heading = {std::sin(yaw), 0.0f, std::cos(yaw)};
    Vector3 side;
    Vec3Cross(&side, heading, up);
    Vector3 direction;
    Vec3Cross(&direction, up, side);
    Vec3Normalize(&direction, direction);
    Quaternion rotation;
    QuaternionLookAt(&rotation, direction, up);
    return rotation;
}

void CharacterActor::GroundMotion(FrameState &frame) {
    Actor *skinActor = skin.target;
    if (Flag(kCharMotionDriven)) {
        uint32_t playing = 0;
        skinActor->HandleCommand(cmd::skin_object::IsTransitionPlaying,
                                 ParamBlock(&playing, sizeof(playing)));
        const bool walking = playing == 0 && movement == kMovementForward && Is(posture, "NR");
        SendCommandArgs(skinActor, cmd::skin_object::SetMotionSpeed,
                        walking ? moveSpeed * 0.6f : 1.0f);
    }
    Vector3 m = {0.0f, 0.0f, 0.0f};
    skinActor->HandleCommand(cmd::character::GetMotionVector, ParamBlock(&m, sizeof(m)));
    m = AddScaled({0.0f, 0.0f, 0.0f}, m, skinActor->scale.x);
    if (onGround != 0) {
        lastGroundTime = frame.now;
    }
    const float strafeAngle = Flag(kCharStrafe) ? moveAngle : 0.0f;
    if (!Flag(kCharMotionDriven)) {
        m = TurnAboutY(m, rotYSmooth + strafeAngle);
    } else if (characterType == kCharacterFirstPerson) {
        m = TurnAboutY(AddScaled({0.0f, 0.0f, 0.0f}, m, (7.0f - std::fabs(moveAngle)) / 7.0f),
                       rotY + strafeAngle);
    } else {
        Matrix turn;
        MatrixFromQuaternion(&turn, WallAlignedRotation(posture == 'W' ? rotYSmooth : rotY));
        Vec3TransformNormal(&m, m, turn);
    }
    if (posture == 'W') {
        if (jumpTimer <= 0.0f && Flag(kCharMoving)) {
            SendCommandArgs(skinActor, cmd::skin_object::SetMotionSpeed, 1.0f);
            deltaPosition = AddScaled({0.0f, 0.0f, 0.0f}, m, 1.5f);
        }
    } else if (onGround != 0) {
        if (characterType == kCharacterFirstPerson) {
            const float k = std::min(frame.delta * 15.0f, 1.0f);
            smoothedVelocity = AddScaled(smoothedVelocity, AddScaled(m, smoothedVelocity, -1.0f), k);
            deltaPosition = smoothedVelocity;
        } else {
            deltaPosition = m;
        }
    }

    if (posture != 'W' || jumpTimer > 0.0f) {
        return;
    }
    Vec3DropOpposingPart(&deltaPosition, deltaPosition, wallNormal, nullptr);
    if (onWall != 0 && onGround == 0 && onCeiling == 0 && movement == kMovementForward &&
        WorldTime() - groundChangeTime < 1.25f) {
        deltaPosition = AddScaled(deltaPosition, wallNormal, -1000.0f);
        return;
    }
    charFlags |= kCharPushedOff | kCharJumped;
    deltaPosition = AddScaled(deltaPosition, wallNormal, 10.0f);
    fallStartTime = frame.now;
    SendCommandArgs(this, cmd::skin_object::SetMotion, "F_Neutral");
    SetFlag(kCharInAir, true);
}
