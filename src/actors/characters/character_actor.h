// The Character actor (class 16): the body that the player's and the AI's
// brains drive through its commands. This file holds its data: sixteen
// parameters in six parallel arrays, condition, postures and movement, look
// and body angles, ground and timer state, possessions and settings, the
// flag words, and its relations to its skin, cameras, item holders, brain
// and bones. Relations that last across frames are links, so that nothing
// dangles when the actor they name goes away; its own collision objects are
// held by index and checked by name at each use.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "actors/characters/character_services.h"
#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

struct Bone;

// Parameter indexes ("Get CP" = 896 + index, "Set CP" = 918 + index,
// "Change CP" = 940 + index).
enum CharacterParam : uint32_t {
    kParamSpeed = 0,
    kParamEndurance = 1,
    kParamStrength = 2,
    kParamWeight = 3,
    kParamHearing = 4,
    kParamNoiselevel = 5,
    kParamConstitution = 6,
    kParamVision = 7,
    kParamFov = 8,
    kParamGammaRAdd = 9,
    kParamGammaGAdd = 10,
    kParamGammaBAdd = 11,
    kParamJumpForce = 12,
    kParamMoveOnJump = 13,
    kParamMoveOnJumpMax = 14,
    kParamFallDamage1Mul = 15,
    kCharacterParamCount = 16,
};

// Character types.
inline constexpr uint32_t kCharacterCustom = 0;
inline constexpr uint32_t kCharacterFirstPerson = 1;
inline constexpr uint32_t kCharacterGuard = 2;
inline constexpr uint32_t kCharacterThirdPerson = 3;
inline constexpr uint32_t kCharacterThirdPersonShooter = 4;
inline constexpr uint32_t kCharacterConsole = 5;
inline constexpr uint32_t kCharacterNoType = 0xFFFFFFFFu;

// charFlags bits.
inline constexpr uint32_t kCharHost = 1u << 0;
inline constexpr uint32_t kCharStanding = 1u << 2;
inline constexpr uint32_t kCharInputLocked = 1u << 3;
inline constexpr uint32_t kCharLeftActionPending = 1u << 5;
inline constexpr uint32_t kCharRightHandArmed = 1u << 6;
inline constexpr uint32_t kCharStrafe = 1u << 7;
inline constexpr uint32_t kCharIdleAfterHold = 1u << 8;      // "holdMarks"
inline constexpr uint32_t kCharIdleMotionsEnabled = 1u << 9; // "holdEnded"
inline constexpr uint32_t kCharWallClimbEnable = 1u << 10;
inline constexpr uint32_t kCharPushedOff = 1u << 11;
inline constexpr uint32_t kCharJumped = 1u << 12;
inline constexpr uint32_t kCharDeadLock = 1u << 13;
inline constexpr uint32_t kCharMotionDriven = 1u << 14;
inline constexpr uint32_t kCharSuspended = 1u << 15;
inline constexpr uint32_t kCharHeadTracking = 1u << 16;
inline constexpr uint32_t kCharMotionQueueLocked = 1u << 17;
inline constexpr uint32_t kCharMoving = 1u << 18;
inline constexpr uint32_t kCharInAir = 1u << 19;
inline constexpr uint32_t kCharPushEnabled = 1u << 20;
inline constexpr uint32_t kCharJumpHeld = 1u << 21;
inline constexpr uint32_t kCharJumpBoost1 = 1u << 22;
inline constexpr uint32_t kCharJumpBoost2 = 1u << 23;
inline constexpr uint32_t kCharKickAllowed = 1u << 24;
inline constexpr uint32_t kCharLockSteering = 1u << 25;
inline constexpr uint32_t kCharManualAimHold = 1u << 26;
inline constexpr uint32_t kCharFlag27 = 1u << 27;
inline constexpr uint32_t kCharKickRequested = 1u << 28;
inline constexpr uint32_t kCharExhaustionSlows = 1u << 29;
inline constexpr uint32_t kCharLeftGrabPending = 1u << 30;
inline constexpr uint32_t kCharRightGrabPending = 1u << 31;
inline constexpr uint32_t kCharDefaultFlags =
    kCharInputLocked | kCharPushEnabled | kCharManualAimHold | kCharFlag27; // 0x0C100008

// charFlags2 bits.
inline constexpr uint32_t kChar2RelaxAllowed = 1u << 0;
inline constexpr uint32_t kChar2HandsLocked = 1u << 1;

// Ammunition types 1..32 in the counts; the maximum table covers 1..16.
inline constexpr size_t kAmmoTypeCount = 32;
inline constexpr size_t kMaxAmmoCount = 16;
inline constexpr uint32_t kMaxAmmoValue = 999999999u;

class CharacterActor;

// Shared by every character: every construction sets all 16 maxima to
// kMaxAmmoValue.
extern uint32_t MaxAmmo[kMaxAmmoCount];
// Every live character, in the order of construction.
extern std::vector<CharacterActor *> CharacterList;
// Tests only: an empty list and the maxima of a new character.
void ResetCharacterModuleForTests();

// A six-angle look record: pitch, smoothed pitch, pitch speed, yaw,
// smoothed yaw, yaw speed (radians, radians per second).
struct LookRecord {
    float rotX = 0.35f;
    float rotXSmooth = kPi;
    float rotXSpeed = 100.0f;
    float rotY = 0.0f;
    float rotYSmooth = 0.0f;
    float rotYSpeed = 1000.0f;
};

// The character's values that a copy takes member by member.
struct CharacterFields {
    CharacterFields();

    // Parameters.
    float paramBase[kCharacterParamCount];
    float paramChanged[kCharacterParamCount];
    float paramBlend[kCharacterParamCount];
    float paramBlendStep[kCharacterParamCount];
    float paramPrevious[kCharacterParamCount];
    float paramValue[kCharacterParamCount];

    // Condition.
    float health = 1.0f;
    float healthLimit = 99.0f;
    float capacity = 1.0f;
    float capacityPrevious = 1.0f;
    float speedFactor = 1.0f;
    float paramTickTimer = 0.0f;

    // Posture and movement.
    char posture = 'N';
    char requestedPosture = 'N';
    char lastSetPosture = 'N';
    char returnPosture = 'N';
    uint32_t movement = 0;
    uint32_t nextMovement = 0;
    uint32_t characterType = kCharacterNoType;
    uint32_t directionBehaviour = 2;
    float moveAngle = 0.0f;
    float desiredMoveLength = 1.0f;
    std::vector<uint32_t> inputQueue;
    float idleTime = 0.0f;
    std::deque<uint32_t> motionQueue;

    // Look and orientation.
    LookRecord look;
    LookRecord aim;
    float rotY = 0.0f;
    float rotYSmooth = 0.0f;
    float turnSpeed = 20.0f;
    float lookRotYOffset = 1.0f;
    float headYaw = 0.0f;
    float headTurningSpeed = 10.0f;
    float aimYaw = 0.0f;
    float aimTurningSpeed = 10.0f;
    float recoilPitch = 0.0f;
    float recoilYaw = 0.0f;
    float recoilPitchVelocity = 0.0f;
    float recoilYawVelocity = 0.0f;
    float shake = 0.0f;
    float shakeVelocity = 0.0f;
    float shakeX = 0.0f;
    float shakeY = 0.0f;
    Vector3 smoothedVelocity = {0.0f, 0.0f, 0.0f};

    // Timers and ground state.
    float holdTime = 0.0f;
    float jumpTimer = 0.0f;
    float dizzyTime = 0.0f;
    float moveChangeTime = -1.0f;
    float groundChangeTime = 10.0f;
    float fallStartTime = 10.0f;
    float lastGroundTime = 10.0f;
    float lastVelocityY = 0.0f;
    uint32_t grounded = 0;
    uint32_t hasContacts = 0;
    uint32_t onGround = 0;
    uint32_t onWall = 0;
    uint32_t onCeiling = 0;
    Vector3 groundNormal = {0.0f, 0.0f, 0.0f};
    Vector3 wallNormal = {0.0f, 0.0f, 0.0f};
    float groundDotMax = -1.0f;
    float wallBlend = 0.0f;
    Vector3 wallUp = {0.0f, 0.0f, 0.0f};
    uint32_t wallCount = 0;
    Vector3 lastSafePosition = {0.0f, 0.0f, 0.0f};
    float syncTimer = 0.0f;
    Vector3 pendingImpulse = {0.0f, 0.0f, 0.0f};

    // Possessions and settings.
    uint32_t iconLibId = 0;
    uint32_t characterGroup = 0;
    float money = 0.0f;
    float score = 0.0f;
    uint32_t dieIndex = 0;
    uint32_t ammoCount[kAmmoTypeCount] = {};
    uint32_t ammoPresent[kAmmoTypeCount] = {};
    uint32_t dropCount = 0;
    float dropTimer = 0.0f;
    uint32_t catchCount = 0;
    float fallDamageStart = 300.0f;
    float fallDamageStop = 1200.0f;
    float fallDamageValue = 100.0f;
    float moveOnFallMul = 0.5f;
    float kickMul = 1.0f;
    uint32_t reserved = 0;
    uint32_t networkSessionId = 0xFFFFFFFFu;

    // Flags.
    uint32_t charFlags = kCharDefaultFlags;
    uint32_t charFlags2 = 0;

    // Not saved: the state message text, network sync counters and the
    // sensor values (latest and last sent).
    std::string stateText;
    uint32_t syncCounter = 0;
    uint32_t syncFrame = 0;
    float sensorValues[4] = {};
    float sensorValuesSent[4] = {};
};

class CharacterActor : public Actor, public CharacterFields {
  public:
    CharacterActor();
    ~CharacterActor() override;

    static void RegisterClass();

    // Serves "Create" with a template character (its fields by value, its
    // relations linked to the same targets until binding finds its own parts
    // again, no bone records) and the lost-link notice for its own links (a
    // lost skin takes the bone records with it); everything goes on to the
    // base handler.
    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // Scales a change of capacity by Endurance (divided for a loss,
    // multiplied for a gain) and keeps capacity within 0.05..1.0; at the
    // floor the character raises "Exhaust 100". An amount that comes out as
    // NaN changes nothing.
    void ChangeCapacity(float amount);

    // Links the skin (null: none); the bone records of the old one go.
    void SetSkin(Actor *actor);
    // The own collision object that the index names, when it still carries
    // the name; null otherwise.
    ColObj *ActionColObj() { return OwnColObj(actionColObj, "Action"); }
    ColObj *ChestColObj() { return OwnColObj(chestColObj, "Chest"); }
    ColObj *BodyColObj() { return OwnColObj(bodyColObj, "Character Col"); }
    // The index of the first own collision object of the name; -1 when none.
    int32_t FindOwnColObj(const char *objectName) const;

    // Relations, all with this character as origin.
    ActorLink skin{this};
    ActorLink notifyCamera{this};
    ActorLink lookCamera{this};
    ActorLink sensorTarget{this};
    ActorLink itemsActor{this};
    ActorLink leftHand{this};
    ActorLink rightHand{this};
    ActorLink brain{this};
    ActorLink activateTarget{this};
    ActorLink activatedChild{this};
    std::array<ActorLink, kCharacterBoneCount> boneActors;
    // The skin's bone records, one per bone name; emptied whenever the skin
    // goes or changes, or makes its skeleton anew (a new mesh).
    std::vector<Bone *> bones;
    // The skin's skeleton count when the records were taken.
    uint32_t bonesGeneration = 0;
    // Indexes into colObjs; -1 none.
    int32_t actionColObj = -1;
    int32_t chestColObj = -1;
    int32_t bodyColObj = -1;

  private:
    // command set: the handler's parts (character_commands.cpp).
    bool ServePlainProperty(uint32_t commandId, ParamBlock block);
    bool ServeParameter(uint32_t commandId, ParamBlock block);
    bool ServeMotion(uint32_t commandId, ParamBlock block);
    void ServeHands(uint32_t commandId, ParamBlock block);
    void ServeAmmo(uint32_t commandId, ParamBlock block);
    void AnswerLook(uint32_t commandId, ParamBlock block);
    void AnswerColor(ParamBlock block);
    float Visibility();
    void DesiredMovement(const Vector3 &v);
    void SetCharacterType(uint32_t type);
    void SetHoldTime(float value);
    int Bind(ParamBlock block);
    void ChangeHealth(float delta);
    void Die();
    void SetStateAndMovement(uint32_t word);
    void SendMotionWord(uint32_t word);
    uint32_t QueueWord(std::string_view text, bool resolveNow) const;
    void ForceNextMotion();
    void Activate(std::string_view name);
    bool ActionGateOpen();
    void PushInput(uint32_t commandId);
    void Suspend(bool on);
    int ActionContact(ParamBlock block);
    int ContactStep(ParamBlock block);
    void RestoreRadii(ParamBlock block);
    void Forceback(float force, float randomness);
    void ApplySync(ParamBlock block);
    int SetMatrixFrom(ParamBlock block);
    int VisionPoint(ParamBlock block);
    // Empties the bone records when the skin's skeleton they came from is
    // gone.
    void DropStaleBones();
    static bool IsArmingItem(Actor *child);

    ColObj *OwnColObj(int32_t index, const char *objectName);
    // Every link, in a fixed order.
    std::vector<ActorLink *> Links();
    void CopyCharacter(CharacterActor &source);

    // --- controller: the per-frame work (character_controller.cpp) -------------
  public:
    void Process() override;
    // The wall-aligned rotation: up from wallUp and wallBlend, heading from
    // the yaw, looking along the heading with that up.
    Quaternion WallAlignedRotation(float yaw) const;
    // This frame's movement speed (the start-and-stop ramp of speedFactor).
    float moveSpeed = 1.0f;
    // The normal of the last climbed wall, one for every character.
    static Vector3 lastClimbedWallNormal;

  protected:
    // Condition and orientation steps of the frame, at their places
    // (character_condition.cpp, character_orientation.cpp). Each reads the
    // delta and time of the character's own record, refreshed by the frame.
    // The 0.1 s tick: parameters back from their changes, the camera values
    // that follow them, endurance with its events, and speedFactor.
    virtual void ConditionTick();
    // speedFactor times the start-and-stop ramp.
    virtual float MovementSpeed();
    // The skin's bone records and the bone-following children, once.
    virtual void BindBones();
    virtual void ApplyDirectionBehaviour();
    // Look smoothing, body yaw and wall tilt, head and aim yaw (master only).
    virtual void LookAndBody();
    // Skin layers, bone rotations, FirstPerson recoil and camera, and the
    // bone-following children.
    virtual void OrientationOutputs();
    // The network state record, item dropping and the pending impulse.
    virtual void NetworkDropsAndImpulse();
    // The impact and height rules at a landing, with the landing shake.
    virtual void FallDamageAtLanding();
    virtual void ShakeDecay();

  private:
    struct FrameState;
    void ReadContacts();
    void StandUpFromCrouch();
    void RunInputQueue(FrameState &frame);
    void Jump(FrameState &frame);
    void ItemAction(uint32_t commandId);
    void MovementStep(FrameState &frame);
    void GroundChange(bool groundedNow);
    void AirControl(float delta);
    void GroundMotion(FrameState &frame);
    void StartFall();
    void SendSelf(uint32_t commandId);
    void SendLetter(uint32_t commandId, char letter);
    bool Flag(uint32_t bit) const { return (charFlags & bit) != 0; }
    void SetFlag(uint32_t bit, bool on) { charFlags = on ? (charFlags | bit) : (charFlags & ~bit); }
    // --- end of controller -------------------------------------------------------
};
