// The Character's command handler: plain properties, read-only answers, look
// and aim, parameters, health, postures and motions, the controller's input
// queue, hands and ammunition, sleeping, contacts and the base commands it
// serves, with the binding to its children on "Precalculate".
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "actors/characters/character_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_groups.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/time_record.h"
#include "library/bone.h"
#include "library/render/render_front_end.h"

namespace {

namespace cmd {
enum : uint32_t {
    InitLoad = 45,
    InitCopy = 46,
    SetPosition = 63,
    InvalidateOldPosition = 65,
    OnEnterDrawGroup = 98,
    OnExitDrawGroup = 99,
    RelChildAdded = 101,
    ChildRemoved = 102,
    RelChildRemoved = 103,
    StartSimulate = 139,
    StopSimulate = 140,
    SetCollisionEnable = 145,
    Precalculate = 153,
    Create = 158,
    CollisionEvent = 171,
    ActionStartPre = 208,
    ActionStopPre = 209,
    LoadResources = 226,
    UnloadResources = 227,
    InvalidDrawgroup = 240,
    SetCurrentTime = 251,
    GetCenterPoint = 350,
    GetVisionPoint = 351,
    GetColor = 354,
    ContactStep = 358,
    HostSet = 544,
    HostGet = 545,
    FrontEndGate = 547,
    GetGameobjectType = 603,
    SetStateInventory = 617,
    SetStateHandC = 619,
    GameObjectUse = 750,
    OnEquipped = 751,
    OnUnEquipPre = 752,
    EnterDrawGroupNotice = 830,
    ExitDrawGroupNotice = 831,
    SetCharacterType = 837,
    SetState = 841,
    GetState = 842,
    SetCurrentState = 843,
    SetMovement = 845,
    GetMovement = 846,
    SetNextMovement = 847,
    GetMotionVector = 849,
    SetWallClimb = 852,
    GetWallClimb = 853,
    SetHoldTime = 856,
    SetCharacterGroupBit = 862,
    IsNeutral = 863,
    IsNeutral4 = 864,
    CharacterSync = 865,
    SetMovementWord = 866,
    Forceback = 867,
    HealthAbove = 868,
    CcJump = 869,
    CcForward = 877,
    CcRAction1Start = 878,
    CcRAction1Stop = 879,
    CcRAction2Start = 881,
    CcRAction2Stop = 882,
    CcLAction1Start = 884,
    CcLAction1Stop = 885,
    CcLAction1 = 886,
    CcKnock = 890,
    LockHands = 891,
    UnlockHands = 892,
    SetStateAndMovement = 893,
    GetCpFirst = 896,
    GetCpLast = 911,
    SetCpFirst = 918,
    SetCpLast = 933,
    ChangeCpFirst = 940,
    ChangeCpGammaR = 949,
    ChangeCpGammaB = 951,
    ChangeHealth = 952,
    DropItems = 953,
    ChangeCpJumpForce = 954,
    ChangeCpLast = 957,
    ChangeAlertness = 962,
    Degeneration = 963,
    Hurt = 964,
    HurtArea = 965,
    Heal = 966,
    SetNotifyCamera = 969,
    GetNotifyCamera = 970,
    Action = 971,
    NoiseLevel = 974,
    Visibility = 975,
    SetRotY = 976,
    GetRotY = 977,
    RelativeLookRotY = 982,
    RelativeLookRotX = 983,
    LookRotYOffset = 988,
    LookMatrix = 989,
    LookDirection = 990,
    LookMatrixSm = 992,
    LookDirectionSm = 993,
    ResyncSkin = 1000,
    AimRotYSet = 1001,
    AimRotXSet = 1003,
    AimRotYAdd = 1005,
    AimRotXAdd = 1006,
    AimMatrix = 1015,
    AimDirection = 1016,
    CharacterActivate = 1025,
    DesiredMovement = 1026,
    QueuePushBack = 1033,
    QueuePushFront = 1034,
    QueueClear = 1035,
    QueueForceNext = 1036,
    QueueLock = 1037,
    QueueUnlock = 1038,
    QueueEmptied = 1039,
    Recoil = 1040,
    SetAmmo = 1041,
    GetAmmo = 1042,
    AddAmmo = 1043,
    RequestAmmo = 1044,
    SetDeadLock = 1045,
    GetDeadLock = 1046,
    OnUnlockInput = 1047,
    OnLockInput = 1048,
    HandsUse = 1049,
    SetSuspend = 1051,
    GetSuspend = 1052,
    Sleep = 1053,
    SleepOrg = 1054,
    WakeUp = 1055,
    OnDie = 1062,
    RightEquip = 1070,
    LeftEquip = 1071,
    RightGrab = 1072,
    LeftGrab = 1073,
    RightGrabMove = 1074,
    LeftGrabMove = 1075,
    GetCapacity = 1076,
    CharacterPush = 1082,
    PushRearm = 1083,
    IsInAir = 1084,
    IsOnGround = 1085,
    IsOnWall = 1086,
    IsInCrouch = 1087,
    IsInRun = 1088,
    IsInMelee = 1089,
    UpdateSensor = 1090,
    HealthAboveStart = 1091,
    HealthAboveStop = 1092,
    RestoreRadii = 1093,
    MotionStringList = 1096,
    SetMotion = 1097,
    SetLayerMask = 1129,
    SetCurrentLayer = 1133,
    SkinLooping = 1121,
    MotionSet = 1122,
    SetDirectionBehaviour = 1031,
};
} // namespace cmd

constexpr uint32_t kGameObjectClassId = 12;
constexpr uint32_t kDoorClassId = 13;
constexpr uint32_t kContainerClassId = 14;
constexpr uint32_t kCameraClassId = 19;
constexpr uint32_t kPlainSkinClassId = 43;
constexpr uint32_t kWeaponType = 4;
constexpr uint32_t kThrowObjectType = 5;

constexpr uint32_t kWordMovementOnly = 1u << 30;
constexpr uint32_t kWordPostureOnly = 1u << 31;
constexpr uint32_t kHealthTag = 252;
constexpr uint32_t kDegenerationFlags = 7164; // tag 252, repeating, saved
constexpr uint32_t kOnceSavedFlags = 0x1200;
constexpr uint32_t kOnceFlags = 0x200;
constexpr uint32_t kRepeatFlags = 0x300;
constexpr uint32_t kProcessFlags = 0x100;
constexpr uint32_t kProcessLayer = 2;
constexpr uint32_t kMotionDrivenGroup = 0x80000;
constexpr uint32_t kPushCharGroup = 0x4000000;
constexpr uint32_t kDeadExcludeGroups = 0x0400025C;
constexpr float kInstantTurn = 9999999827968.0f;
constexpr float kGrabDelay = 0.5666667f;

uint32_t MotionWord(char letter, uint32_t index) {
    return static_cast<uint8_t>(letter) | ((index & 0xFFFFu) << 8);
}

char WordLetter(uint32_t word) { return static_cast<char>(word & 0xFFu); }
uint32_t WordIndex(uint32_t word) { return (word >> 8) & 0xFFFFu; }

// Writes the matrix float by float, so that a block shorter than 64 bytes
// keeps only what fits.
void WriteMatrix(ParamBlock block, const Matrix &matrix) {
    for (size_t i = 0; i < 16; ++i) {
        block.WriteF32(i * sizeof(float), matrix.m[i / 4][i % 4]);
    }
}

void WriteRow(ParamBlock block, const Matrix &matrix, size_t row) {
    block.Write(0, Vector3{matrix.m[row][0], matrix.m[row][1], matrix.m[row][2]});
}

float ClampPitch(uint32_t characterType, float value) {
    const float limit = characterType == kCharacterFirstPerson          ? 1.55f
                        : characterType == kCharacterThirdPersonShooter ? 1.35f
                                                                        : 1.0f;
    // A pitch that is not a number takes the lower limit.
    return std::isnan(value) ? -limit : std::clamp(value, -limit, limit);
}

bool Bit(uint32_t flags, uint32_t bit) { return (flags & bit) != 0; }
void SetBit(uint32_t &flags, uint32_t bit, bool on) { flags = on ? (flags | bit) : (flags & ~bit); }

// A plain property: its set and get ids and its 4-byte field.
struct PlainProperty {
    uint32_t set;
    uint32_t get;
    void *(*field)(CharacterActor &c);
};

#define PLAIN(set, get, member)                                                                    \
    {                                                                                              \
        set, get, [](CharacterActor &c) -> void * { return &c.member; }                            \
    }
const PlainProperty kPlainProperties[] = {
    PLAIN(839, 840, networkSessionId),
    PLAIN(860, 861, characterGroup),
    PLAIN(858, 859, iconLibId),
    PLAIN(0, 857, holdTime),
    PLAIN(854, 855, dizzyTime),
    PLAIN(967, 968, dieIndex),
    PLAIN(1017, 1018, health),
    PLAIN(1021, 1022, money),
    PLAIN(1023, 1024, score),
    PLAIN(1027, 1028, turnSpeed),
    PLAIN(1029, 1030, headTurningSpeed),
    PLAIN(1031, 1032, directionBehaviour),
    PLAIN(980, 981, look.rotX),
    PLAIN(978, 979, look.rotY),
    PLAIN(984, 985, look.rotXSpeed),
    PLAIN(986, 987, look.rotYSpeed),
    PLAIN(1056, 1057, fallDamageStart),
    PLAIN(1058, 1059, fallDamageStop),
    PLAIN(1060, 1061, fallDamageValue),
    PLAIN(994, 995, moveOnFallMul),
    PLAIN(996, 997, kickMul),
    PLAIN(0, 838, characterType),
    PLAIN(0, 1002, aim.rotY),
    PLAIN(0, 1004, aim.rotX),
    PLAIN(1007, 1008, aim.rotXSpeed),
    PLAIN(1009, 1010, aim.rotYSpeed),
};
#undef PLAIN

// A one-bit property: its set id (the value's bit 0, or no value: set), get
// id, clearing id, flag word and bit.
struct BitProperty {
    uint32_t set;
    uint32_t get;
    uint32_t clear;
    bool second;
    uint32_t bit;
};
const BitProperty kBitProperties[] = {
    {cmd::SetWallClimb, cmd::GetWallClimb, 0, false, kCharWallClimbEnable},
    {cmd::HostSet, cmd::HostGet, 0, false, kCharHost},
    {0, cmd::GetDeadLock, 0, false, kCharDeadLock},
    {cmd::QueueLock, 0, cmd::QueueUnlock, false, kCharMotionQueueLocked},
    {cmd::LockHands, 0, cmd::UnlockHands, true, kChar2HandsLocked},
};

} // namespace

// --- properties and answers ---------------------------------------------------------

bool CharacterActor::ServePlainProperty(uint32_t commandId, ParamBlock block) {
    for (const PlainProperty &row : kPlainProperties) {
        if ((row.set != 0 && commandId == row.set) || commandId == row.get) {
            auto *word = static_cast<uint32_t *>(row.field(*this));
            if (commandId == row.set) {
                *word = block.ReadU32(0);
            } else {
                block.WriteU32(0, *word);
            }
            return true;
        }
    }
    for (const BitProperty &row : kBitProperties) {
        uint32_t &word = row.second ? charFlags2 : charFlags;
        if (row.set != 0 && commandId == row.set) {
            SetBit(word, row.bit, row.clear != 0 || (block.ReadU32(0) & 1u) != 0);
        } else if (row.clear != 0 && commandId == row.clear) {
            SetBit(word, row.bit, false);
        } else if (row.get != 0 && commandId == row.get) {
            block.WriteU32(0, Bit(word, row.bit) ? 1u : 0u);
        } else {
            continue;
        }
        return true;
    }
    return false;
}

bool CharacterActor::ServeParameter(uint32_t commandId, ParamBlock block) {
    if (commandId >= cmd::GetCpFirst && commandId <= cmd::GetCpLast) {
        block.WriteF32(0, paramBase[commandId - cmd::GetCpFirst] * 100.0f);
        return true;
    }
    if (commandId >= cmd::SetCpFirst && commandId <= cmd::SetCpLast) {
        paramBase[commandId - cmd::SetCpFirst] = block.ReadF32(0) * 0.01f;
        return true;
    }
    const bool relative = commandId >= cmd::ChangeCpFirst && commandId < cmd::ChangeCpGammaR;
    const bool absolute = (commandId >= cmd::ChangeCpGammaR && commandId <= cmd::ChangeCpGammaB) ||
                          (commandId >= cmd::ChangeCpJumpForce && commandId <= cmd::ChangeCpLast);
    if (!relative && !absolute) {
        return false;
    }
    const size_t i = commandId - (commandId >= cmd::ChangeCpJumpForce ? 942u : 940u);
    const float percent = block.ReadF32(0);
    const float seconds = block.ReadF32(4);
    paramChanged[i] = (relative ? paramBase[i] : 1.0f) * percent * 0.01f;
    paramBlend[i] = 0.0f;
    // A time of 0 or less (or none at all) makes the change at once.
    paramBlendStep[i] = seconds > 0.0f ? 0.1f / seconds : std::numeric_limits<float>::infinity();
    return true;
}

void CharacterActor::AnswerLook(uint32_t commandId, ParamBlock block) {
    Matrix matrix;
    const bool aimMatrix = commandId == cmd::AimMatrix || commandId == cmd::AimDirection;
    const bool smooth = commandId == cmd::LookMatrixSm || commandId == cmd::LookDirectionSm;
    Actor *camera = lookCamera.target;
    if (!aimMatrix && characterType == kCharacterFirstPerson && camera != nullptr) {
        camera->UpdateWorldMatrix();
        matrix = camera->GetWorldMatrix();
    } else {
        const LookRecord &record = aimMatrix ? aim : look;
        const bool smoothed = aimMatrix || smooth;
        MatrixRotationYawPitchRoll(&matrix, (smoothed ? record.rotYSmooth : record.rotY) + kPi,
                                   smoothed ? record.rotXSmooth : record.rotX, 0.0f);
    }
    if (commandId == cmd::LookMatrix || commandId == cmd::LookMatrixSm ||
        commandId == cmd::AimMatrix) {
        WriteMatrix(block, matrix);
    } else {
        WriteRow(block, matrix, 2);
    }
}

float CharacterActor::Visibility() {
    float f = 0.5f;
    if (movement == 0) {
        f = posture == 'C' ? 0.15f : 0.2f;
    } else {
        f = posture == 'C' ? 0.35f : posture == 'R' ? 0.8f : posture == 'S' ? 0.25f : 0.5f;
    }
    if (Actor *sensor = sensorTarget.target) {
        float color[4] = {};
        sensor->HandleCommand(cmd::GetColor, ParamBlock(color, sizeof(color)));
        return f * (color[0] + color[1] + color[2]) * 0.33333334f;
    }
    return f;
}

void CharacterActor::DesiredMovement(const Vector3 &v) {
    if (!(std::fabs(v.x) > 0.001f || std::fabs(v.z) > 0.001f)) {
        return;
    }
    desiredMoveLength = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    float heading = std::acos(std::clamp(v.z / std::sqrt(v.x * v.x + v.z * v.z), -1.0f, 1.0f));
    if (v.x < 0.0f) {
        heading = -heading;
    }
    if (directionBehaviour == 2) {
        rotY = Wrap(heading);
    } else {
        moveAngle = Wrap(heading - look.rotYSmooth);
    }
    HandleCommand(cmd::CcForward, ParamBlock());
}

// --- set-ups -------------------------------------------------------------------------

void CharacterActor::SetCharacterType(uint32_t type) {
    characterType = type;
    switch (type) {
    case kCharacterFirstPerson:
        SendWord(this, cmd::SetDirectionBehaviour, 1);
        charFlags |= kCharStrafe | kCharMotionDriven | kCharHeadTracking | kCharExhaustionSlows;
        turnSpeed = look.rotXSpeed = look.rotYSpeed = kInstantTurn;
        break;
    case kCharacterThirdPerson:
        SendWord(this, cmd::SetDirectionBehaviour, 1);
        charFlags |= kCharMotionDriven | kCharHeadTracking;
        break;
    case kCharacterThirdPersonShooter:
        SendWord(this, cmd::SetDirectionBehaviour, 1);
        charFlags = (charFlags & ~kCharHeadTracking) | kCharMotionDriven;
        turnSpeed = 10.0f;
        headTurningSpeed = aimTurningSpeed = 20.0f;
        SendText(this, cmd::SetCurrentState, "R");
        break;
    default:
        break;
    }
    if (Bit(charFlags, kCharMotionDriven)) {
        charFlags |= kCharIdleAfterHold | kCharIdleMotionsEnabled;
        for (const auto &object : colObjs) {
            if (object->name == "pushchar") {
                object->groups &= ~kPushCharGroup;
            } else {
                object->groups |= kMotionDrivenGroup;
            }
        }
    }
}

void CharacterActor::SetHoldTime(float value) {
    if (Bit(charFlags, kCharDeadLock)) {
        return;
    }
    holdTime = value;
    if (value <= 0.0f) {
        if (Bit(charFlags, kCharInputLocked)) {
            charFlags &= ~kCharInputLocked;
            HandleCommand(cmd::OnUnlockInput, ParamBlock());
        }
        if (Bit(charFlags, kCharIdleAfterHold)) {
            charFlags |= kCharIdleMotionsEnabled;
        }
    } else {
        if (!Bit(charFlags, kCharInputLocked)) {
            charFlags |= kCharInputLocked;
            HandleCommand(cmd::OnLockInput, ParamBlock());
        }
        inputQueue.clear();
    }
}

int CharacterActor::Bind(ParamBlock block) {
    // Own collision objects: the two round shapes centre on the axis.
    actionColObj = FindOwnColObj("Action");
    chestColObj = FindOwnColObj("Chest");
    bodyColObj = FindOwnColObj("Character Col");
    for (ColObj *object : {ChestColObj(), BodyColObj()}) {
        if (object != nullptr) {
            object->boxMin.x = object->boxMin.z = 0.0f;
        }
    }
    const int result = Actor::HandleCommand(cmd::Precalculate, block);

    SetSkin(FindChildByName(this, "Skin"));
    lookCamera.Assign(FindDescendantByClass(this, kCameraClassId));
    sensorTarget.Assign(FindChildByName(this, "LightSensor"));
    activateTarget.Assign(FindChildByName(this, "Activate"));
    itemsActor.Assign(FindChildByName(this, "Items"));
    leftHand.Assign(FindDescendantByName(this, "LeftHand"));
    rightHand.Assign(FindDescendantByName(this, "RightHand"));
    if (skin.target == nullptr) {
        SetSkin(CreateActor(kPlainSkinClassId, "Skin", nullptr, this, -1, true));
    }
    if (sensorTarget.target != nullptr && FindScheduledCommand(cmd::UpdateSensor) == nullptr) {
        ScheduleCommand(cmd::UpdateSensor, ParamBlock(), kRepeatFlags, 0.5f, 0.0f, 0.5f);
    }
    SendWord(this, cmd::SetCharacterType, characterType);

    charFlags &= ~(kCharWallClimbEnable | kCharKickAllowed);
    std::vector<std::string> names;
    void *list = &names;
    SendIfPresent(skin.target, cmd::MotionStringList, ParamBlock(&list, sizeof(list)));
    for (const std::string &name : names) {
        const char first = name.empty() ? '\0' : name[0];
        if (first == 'W' || first == 'w') {
            charFlags |= kCharWallClimbEnable;
        }
        if (first == 'K' || first == 'k') {
            charFlags |= kCharKickAllowed;
        }
        if (name.size() > 2 && name.compare(2, std::string::npos, "Relax") == 0) {
            charFlags2 |= kChar2RelaxAllowed;
        }
    }

    // The skin's first material gives the surface of every own object; a
    // skin without materials gives 0.
    uint32_t surface = 0;
    if (const auto *mesh = dynamic_cast<const MeshObjectActor *>(skin.target);
        mesh != nullptr && !mesh->subMeshes.empty()) {
        surface = GetMaterialField2(mesh->subMeshes.front().material);
    }
    for (const auto &object : colObjs) {
        object->material = surface;
        object->factor = 10.0f;
    }
    if (characterType == kCharacterThirdPerson) {
        SendCommandArgs(skin.target, cmd::SetCurrentLayer, uint32_t{2});
        SendCommandArgs(skin.target, cmd::SetLayerMask, uint32_t{1});
        SendCommandArgs(skin.target, cmd::SetCurrentLayer, uint32_t{0});
    }

    if (simState == nullptr) {
        simState = std::make_unique<SimState>();
    }
    if (simParams == nullptr) {
        simParams = std::make_unique<SimParams>();
    }
    flags &= ~kActorSimulated;
    // Starting the simulation moves an actor under "Scenery": a template
    // kept among the globals stays where it is.
    bool inScenery = false;
    for (Actor *up = parent; up != nullptr && !inScenery; up = up->parent) {
        inScenery = up->actorId == kSceneryRootId;
    }
    if (inScenery && !Bit(charFlags, kCharSuspended)) {
        HandleCommand(cmd::StartSimulate, ParamBlock());
    }
    if (processEntry == nullptr) {
        processEntry = ::ScheduleCommand(this, kCmdProcess, ParamBlock(), kProcessFlags, 0.0f, 0.0f,
                                         0.0f, nullptr, kProcessLayer);
    }
    return result;
}

// --- health --------------------------------------------------------------------------

void CharacterActor::ChangeHealth(float delta) {
    if (health == 0.0f) {
        return;
    }
    float d = delta / paramValue[kParamConstitution];
    // A change that no body can take (a Constitution of 0) is none.
    if (std::isnan(d) || d == std::numeric_limits<float>::infinity()) {
        return;
    }
    const float h0 = health;
    if (h0 + d <= healthLimit) {
        health = h0 + d;
    } else {
        if (d > 0.0f && h0 > healthLimit) {
            d = d / ((h0 - healthLimit) * 0.05f + 1.0f);
        }
        health = h0 + d;
        if (health > healthLimit && FindScheduledCommandByTag(this, kHealthTag) == nullptr) {
            const float step = -1.0f;
            ScheduleCommand(cmd::Degeneration, ParamBlock(const_cast<float *>(&step), sizeof(step)),
                            kDegenerationFlags, 0.5f, 0.0f, 0.5f);
        }
    }
    if (h0 <= healthLimit && health > healthLimit) {
        HandleCommand(cmd::HealthAboveStart, ParamBlock());
    } else if (h0 > healthLimit && health <= healthLimit) {
        HandleCommand(cmd::HealthAboveStop, ParamBlock());
    }
    if (HasFlag(kActorMaster) && health < 1.0f) {
        Die();
    }
}

void CharacterActor::Die() {
    CancelScheduledCommandsByTag(this, kHealthTag);
    health = 0.0f;
    SendReal(this, cmd::SetHoldTime, 0.0f);
    HandleCommand(cmd::OnDie, ParamBlock());
    charFlags &= ~(kCharInputLocked | kCharInAir);
    HandleCommand(cmd::QueueClear, ParamBlock());
    const std::string digit(1, static_cast<char>('0' + dieIndex));
    SendText(this, cmd::SetMotion, "N_Die" + digit);
    SendText(this, cmd::QueuePushBack, "N_Dead" + digit);
    SendReal(this, cmd::SetHoldTime, 100000000.0f);
    charFlags |= kCharDeadLock;
    for (uint32_t stop : {cmd::CcRAction1Stop, cmd::CcRAction2Stop, cmd::CcLAction1Stop}) {
        HandleCommand(stop, ParamBlock());
    }
}

// --- motions -------------------------------------------------------------------------

void CharacterActor::SetStateAndMovement(uint32_t word) {
    const uint32_t index = WordIndex(word);
    // An index past the table names no motion: the state stays.
    if (skin.target == nullptr || index >= kMovementCount) {
        return;
    }
    const char oldPosture = posture;
    const uint32_t oldMovement = movement;
    posture = lastSetPosture = WordLetter(word);
    movement = index;
    const std::string name = MovementName(index);
    if (SendText(skin.target, cmd::SetMotion, std::string(1, posture) + "_" + name) != 0) {
        return;
    }
    if (skin.target != nullptr && SendText(skin.target, cmd::SetMotion, "N_" + name) != 0) {
        posture = 'N';
        return;
    }
    posture = oldPosture;
    movement = oldMovement;
}

void CharacterActor::SendMotionWord(uint32_t word) {
    SendWord(this, cmd::SetStateAndMovement, word);
    if (HasFlag(kActorMaster)) {
        if (ActorSystem *system = GetActorSystem()) {
            system->NetSendCommandAlt(static_cast<uint32_t>(actorId), cmd::SetStateAndMovement,
                                      ParamBlock(&word, sizeof(word)));
        }
    }
}

uint32_t CharacterActor::QueueWord(std::string_view text, bool resolveNow) const {
    if (text.size() == 1) {
        return resolveNow ? MotionWord(text[0], movement)
                          : (static_cast<uint8_t>(text[0]) | kWordPostureOnly);
    }
    if (text.size() > 2 && text[1] == '_') {
        return MotionWord(text[0], FindMovement(text.substr(2)));
    }
    const uint32_t index = FindMovement(text);
    return resolveNow ? MotionWord(posture, index) : (((index & 0xFFFFu) << 8) | kWordMovementOnly);
}

void CharacterActor::ForceNextMotion() {
    if (Bit(charFlags, kCharMotionQueueLocked) || motionQueue.empty()) {
        return;
    }
    uint32_t word = motionQueue.front();
    motionQueue.pop_front();
    if ((word & kWordPostureOnly) != 0) {
        word = MotionWord(WordLetter(word), movement);
    } else if ((word & kWordMovementOnly) != 0) {
        word = MotionWord(posture, WordIndex(word));
    }
    SendMotionWord(word);
    if (motionQueue.empty()) {
        HandleCommand(cmd::QueueEmptied, ParamBlock());
    }
}

void CharacterActor::Activate(std::string_view name) {
    Actor *group = activateTarget.target;
    if (group == nullptr) {
        return;
    }
    SendIfPresent(activatedChild.target, cmd::ActionStopPre, ParamBlock());
    Actor *found = FindChildByName(group, std::string(name).c_str());
    const size_t n = name.size();
    if (found == nullptr && n >= 3 && name[n - 3] == '_' && std::isdigit(name[n - 2]) != 0 &&
        std::isdigit(name[n - 1]) != 0) {
        found = FindChildByName(group, std::string(name.substr(0, n - 3)).c_str());
    }
    if (found == nullptr && movement < kMovementCount) {
        found = FindChildByName(group, MovementName(movement));
    }
    activatedChild.Assign(found);
    SendIfPresent(found, cmd::ActionStartPre, ParamBlock());
}

// Answers whether the command served a motion id.
bool CharacterActor::ServeMotion(uint32_t commandId, ParamBlock block) {
    const bool locked = Bit(charFlags, kCharInputLocked);
    const bool inAir = Bit(charFlags, kCharInAir);
    const std::string_view text = block.ReadString(0);
    switch (commandId) {
    case cmd::SetStateAndMovement:
        SetStateAndMovement(block.ReadU32(0));
        return true;
    case cmd::SetState:
        if (!locked && !inAir && !text.empty() && text[0] != posture) {
            SendMotionWord(MotionWord(text[0], movement));
        }
        return true;
    case cmd::SetCurrentState:
        SendText(this, cmd::SetState, std::string(text));
        if (!text.empty()) {
            returnPosture = text[0];
        }
        return true;
    case cmd::SetMovement: {
        if (locked) {
            return true;
        }
        const uint32_t index = FindMovement(text);
        if (index != movement || lastSetPosture != posture) {
            SendMotionWord(MotionWord(lastSetPosture, index));
        }
        return true;
    }
    case cmd::SetMotion: {
        if (locked || inAir || text.empty()) {
            return true;
        }
        const uint32_t index = FindMovement(text.size() > 2 ? text.substr(2) : std::string_view());
        if (index != movement || text[0] != posture) {
            SendMotionWord(MotionWord(text[0], index));
        }
        return true;
    }
    case cmd::SetNextMovement:
        if (!locked) {
            HandleCommand(cmd::QueueClear, ParamBlock());
            SendText(this, cmd::QueuePushBack, std::string(text));
        }
        return true;
    case cmd::QueuePushBack:
    case cmd::QueuePushFront:
        if (!locked && !Bit(charFlags, kCharMotionQueueLocked)) {
            if (commandId == cmd::QueuePushBack) {
                motionQueue.push_back(QueueWord(text, false));
            } else {
                motionQueue.push_front(QueueWord(text, true));
            }
        }
        return true;
    case cmd::QueueClear:
        if (!locked) {
            motionQueue.clear();
        }
        return true;
    case cmd::QueueForceNext:
        ForceNextMotion();
        return true;
    case cmd::SkinLooping:
        if (block.ReadU32(0) < 2 && HasFlag(kActorMaster) && !inAir) {
            HandleCommand(cmd::QueueForceNext, ParamBlock());
        }
        return true;
    case cmd::MotionSet: {
        const std::string name(text);
        SendText(this, cmd::CharacterActivate, name);
        stateText = name;
        return true;
    }
    case cmd::CharacterActivate:
        Activate(text);
        return true;
    default:
        return false;
    }
}

// --- hands and ammunition ------------------------------------------------------------

bool CharacterActor::ActionGateOpen() {
    Actor *front = GetActorById(kInventoryActorId);
    uint32_t answer = 0;
    if (front != nullptr) {
        front->HandleCommand(cmd::FrontEndGate, ParamBlock(&answer, sizeof(answer)));
    }
    return answer == 0;
}

void CharacterActor::PushInput(uint32_t commandId) {
    const bool locked = Bit(charFlags, kCharInputLocked);
    const bool handsLocked = Bit(charFlags2, kChar2HandsLocked);
    bool push = false;
    if (commandId == cmd::CcRAction1Stop || commandId == cmd::CcRAction2Stop ||
        commandId == cmd::CcLAction1Stop) {
        push = true;
    } else if (commandId >= cmd::CcRAction1Start && commandId <= cmd::CcKnock) {
        push = !handsLocked && !locked;
        if (push && (commandId == cmd::CcRAction1Start || commandId == cmd::CcRAction2Start ||
                     commandId == cmd::CcLAction1Start || commandId == cmd::CcLAction1)) {
            push = ActionGateOpen();
        }
    } else {
        push = !locked;
    }
    if (push) {
        inputQueue.push_back(commandId);
    }
}

void CharacterActor::ServeHands(uint32_t commandId, ParamBlock block) {
    const bool right = commandId % 2 == 0;
    ActorLink &hand = right ? rightHand : leftHand;
    const uint32_t move = right ? cmd::RightGrabMove : cmd::LeftGrabMove;
    const uint32_t pending = right ? kCharRightGrabPending : kCharLeftGrabPending;
    switch (commandId) {
    case cmd::RightEquip:
    case cmd::LeftEquip:
        if (itemsActor.target != nullptr) {
            CancelScheduledCommands(move);
            const std::string name(block.ReadString(0));
            if (Actor *item = FindChildByName(itemsActor.target, name.c_str())) {
                SendCommandArgs(this, move, item);
            }
        }
        break;
    case cmd::RightGrab:
    case cmd::LeftGrab:
        if (hand.target != nullptr) {
            charFlags |= pending;
            CancelScheduledCommands(move);
            ScheduleCommand(move, block, kOnceSavedFlags, kGrabDelay, 0.0f, 0.0f);
            SendIfPresent(FirstChild(hand.target), cmd::OnUnEquipPre, ParamBlock());
        }
        break;
    default: // the moves
        if (hand.target != nullptr) {
            charFlags &= ~pending;
            SendCommandArgs(FirstChild(hand.target), cmd::SetStateInventory,
                            static_cast<uint32_t>(actorId));
            if (Actor *item = block.ReadActor(0)) {
                uint32_t words[2] = {static_cast<uint32_t>(actorId), right ? 2u : 1u};
                item->HandleCommand(cmd::SetStateHandC, ParamBlock(words, sizeof(words)));
                item->HandleCommand(cmd::OnEquipped, ParamBlock());
            }
        }
        break;
    }
}

void CharacterActor::ServeAmmo(uint32_t commandId, ParamBlock block) {
    // Types count from 1 in the counts, from 0 in the request.
    const uint32_t type = block.ReadU32(0) + (commandId == cmd::RequestAmmo ? 1u : 0u);
    if (type < 1 || type > kAmmoTypeCount) {
        if (commandId == cmd::GetAmmo) {
            block.WriteU32(4, 0);
        } else if (commandId == cmd::RequestAmmo) {
            block.WriteU32(8, 0);
        }
        return;
    }
    const size_t k = type - 1;
    const uint32_t max = k < kMaxAmmoCount ? MaxAmmo[k] : kMaxAmmoValue;
    uint32_t &count = ammoCount[k];
    switch (commandId) {
    case cmd::SetAmmo:
        count = block.ReadU32(4);
        ammoPresent[k] = count != 0 ? 1u : 0u;
        break;
    case cmd::GetAmmo:
        block.WriteU32(4, count);
        break;
    case cmd::AddAmmo: {
        const int64_t sum = static_cast<int64_t>(count) + block.ReadI32(4);
        count = static_cast<uint32_t>(std::min<int64_t>(std::max<int64_t>(sum, 0), max));
        ammoPresent[k] = count != 0 ? 1u : 0u;
        break;
    }
    default: { // request
        const uint32_t wanted = block.ReadU32(4);
        const uint32_t given = std::min(count, wanted);
        count -= given;
        block.WriteU32(8, given);
        break;
    }
    }
}

// --- sleeping, contacts and the per-frame helpers ------------------------------------

void CharacterActor::Suspend(bool on) {
    if (Bit(charFlags, kCharSuspended) == on) {
        return;
    }
    CancelScheduledCommands(on ? cmd::WakeUp : cmd::SleepOrg);
    SetBit(charFlags, kCharSuspended, on);
    HandleCommand(on ? cmd::StopSimulate : cmd::StartSimulate, ParamBlock());
    SendCommandArgs(this, cmd::SetCollisionEnable, !on);
    RemoveActorFromDrawGroup(this, 0);
    AddActorToDrawGroup(this, 0);
    if (!on) {
        hasContacts = 0;
    }
}

int CharacterActor::ActionContact(ParamBlock block) {
    auto *other = static_cast<ColObj *>(block.ReadPointer(0));
    auto *own = static_cast<ColObj *>(block.ReadPointer(sizeof(void *)));
    ColObj *action = ActionColObj();
    if (own == nullptr || own != action) {
        return Actor::HandleCommand(cmd::CollisionEvent, block);
    }
    Actor *owner = other != nullptr ? other->owner : nullptr;
    if (owner == nullptr ||
        (owner->classId != kCharacterClassId && owner->classId != kContainerClassId &&
         owner->classId != kDoorClassId)) {
        return 0;
    }
    if (action->busy != 0) {
        return 0;
    }
    action->flags &= ~kColObjActive;
    charFlags &= ~kCharLeftActionPending;
    Actor *item = FirstChild(leftHand.target);
    uint32_t words[2] = {static_cast<uint32_t>(actorId),
                         item != nullptr ? static_cast<uint32_t>(item->actorId) : 0xFFFFFFFFu};
    owner->HandleCommand(cmd::Action, ParamBlock(words, sizeof(words)));
    SendText(this, cmd::SetMovement, "Action");
    return 1;
}

int CharacterActor::ContactStep(ParamBlock block) {
    syncFrame = FrameCounter;
    if (!Bit(charFlags, kCharJumpHeld) || syncCounter > 10) {
        return 1;
    }
    position.y += 12.0f;
    InvalidateTransform();
    ColObj *body = BodyColObj();
    ColObj *chest = ChestColObj();
    if (syncCounter == 0) {
        const float radii[2] = {body != nullptr ? body->boxMax.x : 1.0f,
                                chest != nullptr ? chest->boxMax.x : 1.0f};
        ScheduleCommand(cmd::RestoreRadii, ParamBlock(const_cast<float *>(radii), sizeof(radii)),
                        kOnceFlags, 0.5f, 0.0f, 0.0f);
    } else if (ScheduledCommand *entry = FindScheduledCommand(cmd::RestoreRadii)) {
        SetScheduledCommandTime(entry, 0.5f);
    }
    ++syncCounter;
    for (auto [object, scaleBy] : {std::pair{body, 1.04f}, std::pair{chest, 0.96f}}) {
        if (object != nullptr) {
            object->boxMax.x *= scaleBy;
            object->worldMax.x = object->boxMax.x;
        }
    }
    return Actor::HandleCommand(cmd::ContactStep, block);
}

void CharacterActor::RestoreRadii(ParamBlock block) {
    for (auto [object, offset] : {std::pair{BodyColObj(), 0}, std::pair{ChestColObj(), 4}}) {
        if (object != nullptr) {
            object->boxMax.x = object->worldMax.x = block.ReadF32(static_cast<size_t>(offset));
        }
    }
    syncCounter = 0;
}

void CharacterActor::Forceback(float force, float randomness) {
    UpdateWorldMatrix();
    const Matrix &world = GetWorldMatrix();
    Vector3 f = {world.m[2][0], world.m[2][1], world.m[2][2]};
    const float length = std::sqrt(f.x * f.x + f.y * f.y + f.z * f.z);
    if (length > 0.0f) {
        f = {f.x / length, f.y / length, f.z / length};
    }
    f.y += 0.1f;
    const float k = 1.0f - RandomUnit() * randomness;
    const float scaleBy = 10.0f * force * k;
    pendingImpulse = {f.x * scaleBy, f.y * scaleBy, f.z * scaleBy};
}

void CharacterActor::ApplySync(ParamBlock block) {
    position = block.Read<Vector3>(0);
    deltaPosition = block.Read<Vector3>(12);
    rotY = block.ReadF32(24);
    look.rotX = look.rotXSmooth = block.ReadF32(28);
    look.rotY = block.ReadF32(32);
    rotYSmooth = block.ReadF32(36);
    headYaw = block.ReadF32(40);
    speedFactor = block.ReadF32(52);
    health = block.ReadF32(56);
    QuaternionRotationYawPitchRoll(&rotation, rotYSmooth, 0.0f, 0.0f);
    lookRotYOffset = look.rotY - rotYSmooth;
    InvalidateTransform();
}

int CharacterActor::SetMatrixFrom(ParamBlock block) {
    Matrix matrix{};
    block.ReadBytes(0, &matrix, sizeof(matrix));
    position = lastSafePosition = {matrix.m[3][0], matrix.m[3][1], matrix.m[3][2]};
    const float yaw = Vec3YawFromForward({matrix.m[2][0], matrix.m[2][1], matrix.m[2][2]}) + kPi;
    rotY = rotYSmooth = yaw;
    if (directionBehaviour == 1) {
        look.rotY = look.rotYSmooth = yaw;
    }
    InvalidateTransform();
    return 1;
}

int CharacterActor::VisionPoint(ParamBlock block) {
    Vector3 point = GetWorldPosition();
    if (bones.size() > kHeadBone && bones[kHeadBone] != nullptr && skin.target != nullptr) {
        const Matrix &local = bones[kHeadBone]->local;
        const Vector3 t = {local.m[3][0], local.m[3][1], local.m[3][2]};
        const Actor &s = *skin.target;
        point.x += t.x * s.scale.x + s.position.x;
        point.y += t.y * s.scale.y + s.position.y;
        point.z += t.z * s.scale.z + s.position.z;
    }
    block.Write(0, point);
    return 1;
}

void CharacterActor::AnswerColor(ParamBlock block) {
    float t = 0.0f;
    if (ScheduledCommand *entry = FindScheduledCommand(cmd::UpdateSensor)) {
        t = ScheduledCommandTimeLeft(entry);
    }
    const float w = 1.0f - 2.0f * t;
    for (size_t i = 0; i < 4; ++i) {
        block.WriteF32(i * 4, sensorValuesSent[i] + (sensorValues[i] - sensorValuesSent[i]) * w);
    }
}

// --- the handler ---------------------------------------------------------------------

int CharacterActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    if (ServePlainProperty(commandId, block) || ServeParameter(commandId, block) ||
        ServeMotion(commandId, block)) {
        return Actor::HandleCommand(commandId, block);
    }
    const bool locked = Bit(charFlags, kCharInputLocked);
    switch (commandId) {
    // Properties with more to them.
    case cmd::SetCharacterType:
        SetCharacterType(block.ReadU32(0));
        break;
    case cmd::SetHoldTime:
        SetHoldTime(block.ReadF32(0));
        break;
    case cmd::SetDeadLock:
        SetBit(charFlags, kCharDeadLock, (block.ReadU32(0) & 1u) != 0);
        if (!Bit(charFlags, kCharDeadLock)) {
            SendReal(this, cmd::SetHoldTime, 0.0f);
        }
        break;
    case cmd::SetSuspend:
        HandleCommand(block.ReadU32(0) != 0 ? cmd::SleepOrg : cmd::WakeUp, ParamBlock());
        break;
    case cmd::GetSuspend:
        block.WriteF32(0, Bit(charFlags, kCharSuspended) ? 1.0f : 0.0f);
        break;
    case cmd::SetNotifyCamera:
        notifyCamera.Assign(block.ReadActor(0));
        lookCamera.Assign(block.ReadActor(0));
        break;
    case cmd::GetNotifyCamera:
        block.WriteActor(0, notifyCamera.target);
        break;
    case cmd::SetCharacterGroupBit: {
        const uint32_t n = block.ReadU32(0);
        if (n >= 1 && n <= 32) {
            SetBit(characterGroup, 1u << (n - 1), (block.ReadU32(4) & 1u) != 0);
        }
        break;
    }
    case cmd::SetRotY:
        if (!locked && !Bit(charFlags, kCharInAir)) {
            rotY = block.ReadF32(0);
        }
        break;
    case cmd::GetRotY:
        if (!locked) {
            block.WriteF32(0, rotY);
        }
        break;

    // Answers.
    case cmd::GetState:
        block.WriteString(0, std::string_view(&posture, 1));
        break;
    case cmd::GetMovement: {
        const char *name = MovementName(movement);
        block.WriteString(0, name != nullptr ? name : MovementName(kUnknownMovement));
        break;
    }
    case cmd::GetMotionVector:
        SendIfPresent(skin.target, commandId, block);
        break;
    case cmd::IsNeutral:
    case cmd::IsNeutral4:
        block.WriteU32(0, movement == (commandId == cmd::IsNeutral ? 0u : 4u) ? 1u : 0u);
        break;
    case cmd::HealthAbove:
        block.WriteU32(0, health > healthLimit ? 1u : 0u);
        break;
    case cmd::NoiseLevel: {
        const float scaleBy = movement == 0    ? 0.1f
                              : posture == 'C' ? 0.2f
                              : posture == 'N' ? 0.5f
                                               : 1.0f;
        block.WriteF32(0, paramValue[kParamNoiselevel] * scaleBy);
        break;
    }
    case cmd::Visibility:
        block.WriteF32(0, Visibility());
        break;
    case cmd::LookRotYOffset:
        block.WriteF32(0, lookRotYOffset);
        break;
    case cmd::GetCapacity:
        block.WriteF32(0, std::clamp(capacity, 0.0f, 1.0f));
        break;
    case cmd::IsInAir:
        block.WriteU32(0, posture == 'J' || posture == 'F' || posture == 'K' ? 1u : 0u);
        break;
    case cmd::IsOnGround:
        block.WriteU32(0, onGround);
        break;
    case cmd::IsOnWall:
    case cmd::IsInCrouch:
    case cmd::IsInRun:
    case cmd::IsInMelee: {
        static constexpr char kLetters[] = {'W', 'C', 'R', 'M'};
        block.WriteU32(0, posture == kLetters[commandId - cmd::IsOnWall] ? 1u : 0u);
        break;
    }

    // Look and aim.
    case cmd::RelativeLookRotY:
        look.rotY += block.ReadF32(0);
        break;
    case cmd::RelativeLookRotX:
        look.rotX = ClampPitch(characterType, look.rotX + block.ReadF32(0));
        break;
    case cmd::LookMatrix:
    case cmd::LookDirection:
    case cmd::LookMatrixSm:
    case cmd::LookDirectionSm:
    case cmd::AimMatrix:
    case cmd::AimDirection:
        AnswerLook(commandId, block);
        break;
    case cmd::AimRotYSet:
        aim.rotY = Wrap(block.ReadF32(0));
        break;
    case cmd::AimRotXSet:
        aim.rotX = Wrap(block.ReadF32(0));
        break;
    case cmd::AimRotYAdd:
        aim.rotY += block.ReadF32(0);
        break;
    case cmd::AimRotXAdd:
        aim.rotX = ClampPitch(characterType, aim.rotX + block.ReadF32(0));
        break;
    case cmd::DesiredMovement:
        DesiredMovement(block.Read<Vector3>(0));
        break;
    case cmd::Recoil:
        if (Bit(charFlags, kCharMotionDriven) && characterType == kCharacterFirstPerson) {
            const float amount = block.ReadF32(0);
            look.rotX -= recoilPitch;
            recoilPitch = 0.0f;
            recoilPitchVelocity += 0.4f * amount;
            recoilYawVelocity += RandomSigned() * amount * 0.1f;
        }
        break;

    // Condition.
    case cmd::ChangeAlertness:
        ChangeCapacity(block.ReadF32(0));
        break;
    case cmd::DropItems: {
        const size_t n = itemsActor.target != nullptr ? itemsActor.target->children.size() : 1;
        dropCount = 1u + static_cast<uint32_t>(static_cast<float>(n) * block.ReadF32(0) * 0.01f);
        dropTimer = -1.5f;
        break;
    }
    case cmd::ChangeHealth:
        ChangeHealth(block.ReadF32(0));
        break;
    case cmd::Degeneration: {
        const float r = block.ReadF32(0);
        if (health <= healthLimit) {
            CancelScheduledCommandsByTag(this, kHealthTag);
            break;
        }
        if (health + r < healthLimit) {
            CancelScheduledCommandsByTag(this, kHealthTag);
        }
        ChangeHealth(r);
        break;
    }
    case cmd::HurtArea:
        dieIndex = block.ReadU32(4);
        ChangeHealth(-block.ReadF32(0));
        break;
    case cmd::Hurt:
        ChangeHealth(-block.ReadF32(0));
        break;
    case cmd::Heal: {
        const float amount = block.ReadF32(0);
        const float cap = block.ReadF32(4);
        const float d = health >= cap ? 0.0f : health + amount <= cap ? amount : cap - health;
        ChangeHealth(d);
        break;
    }
    case cmd::InvalidDrawgroup:
        ChangeHealth(-90000000.0f);
        break;
    case cmd::OnDie:
        for (const auto &object : colObjs) {
            object->excludeGroups |= kDeadExcludeGroups;
        }
        break;

    // Input for the controller.
    case cmd::SetMovementWord:
        return 1;
    case cmd::CcJump:
    case 870:
    case 871:
    case 872:
    case 873:
    case cmd::CcForward:
    case cmd::CcRAction1Start:
    case cmd::CcRAction1Stop:
    case 880:
    case cmd::CcRAction2Start:
    case cmd::CcRAction2Stop:
    case 883:
    case cmd::CcLAction1Start:
    case cmd::CcLAction1Stop:
    case cmd::CcLAction1:
    case 887:
    case 888:
    case 889:
    case cmd::CcKnock:
        PushInput(commandId);
        break;

    // Hands and ammunition.
    case cmd::RightEquip:
    case cmd::LeftEquip:
    case cmd::RightGrab:
    case cmd::LeftGrab:
    case cmd::RightGrabMove:
    case cmd::LeftGrabMove:
        ServeHands(commandId, block);
        break;
    case cmd::HandsUse:
        SendReal(FirstChild(rightHand.target), cmd::GameObjectUse, 1.0f);
        SendReal(FirstChild(leftHand.target), cmd::GameObjectUse, 1.0f);
        break;
    case cmd::SetAmmo:
    case cmd::GetAmmo:
    case cmd::AddAmmo:
    case cmd::RequestAmmo:
        ServeAmmo(commandId, block);
        break;

    // Sleeping.
    case cmd::Sleep:
        ScheduleCommand(cmd::SleepOrg, ParamBlock(), kOnceSavedFlags, 3.0f, 0.0f, 0.0f);
        break;
    case cmd::SleepOrg:
    case cmd::WakeUp:
        Suspend(commandId == cmd::SleepOrg);
        break;

    // Sensors and contacts.
    case cmd::UpdateSensor:
        std::copy(std::begin(sensorValues), std::end(sensorValues), sensorValuesSent);
        SendIfPresent(sensorTarget.target, cmd::GetColor,
                      ParamBlock(sensorValues, sizeof(sensorValues)));
        break;
    case cmd::GetColor:
        AnswerColor(block);
        break;
    case cmd::ContactStep:
        return ContactStep(block);
    case cmd::RestoreRadii:
        RestoreRadii(block);
        break;
    case cmd::CharacterPush:
        if (Bit(charFlags, kCharPushEnabled) && HasFlag(kActorMaster)) {
            SendText(this, cmd::SetMovement, "Gethit0");
            SendText(this, cmd::SetNextMovement, "Damage0");
            SendReal(this, cmd::SetHoldTime, 4.0f);
            charFlags &= ~kCharPushEnabled;
            ScheduleCommand(cmd::PushRearm, ParamBlock(), kOnceFlags, 5.0f, 0.0f, 0.0f);
        }
        break;
    case cmd::PushRearm:
        charFlags |= kCharPushEnabled;
        break;
    case cmd::CollisionEvent:
        return ActionContact(block);
    case cmd::CharacterSync:
        ApplySync(block);
        break;
    case cmd::Forceback:
        Forceback(block.ReadF32(0), block.ReadF32(4));
        break;

    // Base commands.
    case cmd::InitLoad:
    case cmd::InitCopy:
        lastSafePosition = position;
        if (commandId == cmd::InitLoad) {
            look.rotX = look.rotXSmooth = 0.0f;
        }
        break;
    case cmd::SetPosition:
        Actor::HandleCommand(commandId, block);
        lastSafePosition = position;
        if (Bit(charFlags, kCharSuspended)) {
            UpdateActorDrawGroup(this);
        }
        return 1;
    case cmd::InvalidateOldPosition:
        look.rotXSmooth = look.rotX;
        look.rotYSmooth = look.rotY;
        rotYSmooth = rotY;
        break;
    case kCmdSetMatrix:
        return SetMatrixFrom(block);
    case cmd::OnEnterDrawGroup:
    case cmd::OnExitDrawGroup: {
        const int32_t group = block.ReadI32(0);
        if (Bit(charFlags, kCharMotionDriven) && group != -1) {
            SendIfPresent(DrawGroupAt(group),
                          commandId == cmd::OnEnterDrawGroup ? cmd::EnterDrawGroupNotice
                                                             : cmd::ExitDrawGroupNotice,
                          ParamBlock());
        }
        break;
    }
    case cmd::RelChildAdded:
    case cmd::RelChildRemoved: {
        Actor *child = block.ReadActor(0);
        Actor *parentActor = block.ReadActor(sizeof(void *));
        const bool rightHandParent = parentActor != nullptr && parentActor->name == "RightHand";
        if (commandId == cmd::RelChildAdded) {
            if (rightHandParent) {
                SetBit(charFlags, kCharRightHandArmed, IsArmingItem(child));
            }
            break;
        }
        if (child != nullptr && skin.target == child) {
            SetSkin(nullptr);
        }
        for (ActorLink &link : boneActors) {
            if (child != nullptr && link.target == child) {
                link.Assign(nullptr);
            }
        }
        if (child != nullptr && rightHand.target == child) {
            rightHand.Assign(nullptr);
        }
        if (rightHandParent) {
            charFlags &= ~kCharRightHandArmed;
        }
        break;
    }
    case cmd::ChildRemoved:
        if (block.ReadActor(0) != nullptr && block.ReadActor(0) == skin.target) {
            SetSkin(nullptr);
        }
        break;
    case cmd::Precalculate:
        return Bind(block);
    case cmd::Create:
        if (auto *source = dynamic_cast<CharacterActor *>(block.ReadActor(0));
            source != nullptr && source != this) {
            CopyCharacter(*source);
        }
        break;
    case cmd::LoadResources:
    case cmd::UnloadResources:
        return 1;
    case cmd::SetCurrentTime:
        SendIfPresent(skin.target, commandId, block);
        break;
    case cmd::GetCenterPoint: {
        ColObj *chest = ChestColObj();
        if (chest != nullptr && (chest->flags & kColObjActive) != 0) {
            Vector3 centre;
            Vec3TransformCoord(&centre, chest->boxMin, GetWorldMatrix());
            block.Write(0, centre);
            return 1;
        }
        break;
    }
    case cmd::GetVisionPoint:
        return VisionPoint(block);
    case cmd::ResyncSkin:
        skin.Assign(FindChildByName(this, "Skin"));
        bones.clear();
        for (ActorLink &link : boneActors) {
            link.Assign(nullptr);
        }
        break;
    case kCmdInvalidActorPointer:
        if (block.size() >= sizeof(ActorLink *) &&
            static_cast<const ActorLink *>(block.ReadPointer(0)) == &skin) {
            bones.clear();
        }
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

bool CharacterActor::IsArmingItem(Actor *child) {
    if (child == nullptr || child->classId != kGameObjectClassId) {
        return false;
    }
    uint32_t type = 0;
    child->HandleCommand(cmd::GetGameobjectType, ParamBlock(&type, sizeof(type)));
    return type == kWeaponType || type == kThrowObjectType;
}

// A copy takes the template's values member by member and links its
// relations to the template's targets (binding finds its own parts again);
// the bone records and the bone actors that go with them, and the indexes of
// its own collision objects, are found again when it binds.
void CharacterActor::CopyCharacter(CharacterActor &source) {
    static_cast<CharacterFields &>(*this) = source;
    for (auto [own, theirs] :
         {std::pair{&skin, &source.skin}, std::pair{&notifyCamera, &source.notifyCamera},
          std::pair{&lookCamera, &source.lookCamera},
          std::pair{&sensorTarget, &source.sensorTarget},
          std::pair{&itemsActor, &source.itemsActor}, std::pair{&leftHand, &source.leftHand},
          std::pair{&rightHand, &source.rightHand}, std::pair{&brain, &source.brain},
          std::pair{&activateTarget, &source.activateTarget},
          std::pair{&activatedChild, &source.activatedChild}}) {
        own->AssignCopy(*theirs);
    }
    bones.clear();
    for (ActorLink &link : boneActors) {
        link.Assign(nullptr);
    }
    actionColObj = chestColObj = bodyColObj = -1;
}
