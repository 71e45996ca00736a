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
#include "actors/presentation/skin_object_actor.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_groups.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/process_entry.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/time_record.h"
#include "library/bone.h"
#include "library/render/render_front_end.h"

namespace {

constexpr uint32_t kWeaponType = 4;
constexpr uint32_t kThrowObjectType = 5;

constexpr uint32_t kWordMovementOnly = 1u << 30;
constexpr uint32_t kWordPostureOnly = 1u << 31;
constexpr uint32_t kHealthTag = 252;
constexpr uint32_t kDegenerationFlags = 7164; // tag 252, repeating, saved
constexpr uint32_t kOnceSavedFlags = 0x1200;
constexpr uint32_t kOnceFlags = 0x200;
constexpr uint32_t kRepeatFlags = 0x300;
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
    {cmd::character::SetWallClimbEnable, cmd::character::GetWallClimbEnable, 0, false,
     kCharWallClimbEnable},
    {cmd::player::SetHost, cmd::player::GetHost, 0, false, kCharHost},
    {0, cmd::character::GetDeadLock, 0, false, kCharDeadLock},
    {cmd::character::MotionQueueLock, 0, cmd::character::MotionQueueUnLock, false,
     kCharMotionQueueLocked},
    {cmd::character::CCLockHands, 0, cmd::character::CCUnlockHands, true, kChar2HandsLocked},
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
    if (commandId >= cmd::character::GetCPSpeed && commandId <= cmd::character::GetCpLast) {
        block.WriteF32(0, paramBase[commandId - cmd::character::GetCPSpeed] * 100.0f);
        return true;
    }
    if (commandId >= cmd::character::SetCPSpeed && commandId <= cmd::character::SetCpLast) {
        paramBase[commandId - cmd::character::SetCPSpeed] = block.ReadF32(0) * 0.01f;
        return true;
    }
    const bool relative =
        commandId >= cmd::character::ChangeCPSpeed && commandId < cmd::character::ChangeCPGammaRAdd;
    const bool absolute = (commandId >= cmd::character::ChangeCPGammaRAdd &&
                           commandId <= cmd::character::ChangeCPGammaBAdd) ||
                          (commandId >= cmd::character::ChangeCpJumpForce &&
                           commandId <= cmd::character::ChangeCpLast);
    if (!relative && !absolute) {
        return false;
    }
    const size_t i = commandId - (commandId >= cmd::character::ChangeCpJumpForce ? 942u : 940u);
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
    const bool aimMatrix =
        commandId == cmd::character::AimMatrix || commandId == cmd::character::AimDirection;
    const bool smooth = commandId == cmd::character::GetLookMatrixSM ||
                        commandId == cmd::character::GetLookDirectionSM;
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
    if (commandId == cmd::character::GetLookMatrix ||
        commandId == cmd::character::GetLookMatrixSM || commandId == cmd::character::AimMatrix) {
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
        sensor->HandleCommand(cmd::base::GetColor, ParamBlock(color, sizeof(color)));
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
    HandleCommand(cmd::character::CCForward, ParamBlock());
}

// --- set-ups -------------------------------------------------------------------------

void CharacterActor::SetCharacterType(uint32_t type) {
    characterType = type;
    switch (type) {
    case kCharacterFirstPerson:
        SendWord(this, cmd::character::SetDirectionBehaviour, 1);
        charFlags |= kCharStrafe | kCharMotionDriven | kCharHeadTracking | kCharExhaustionSlows;
        turnSpeed = look.rotXSpeed = look.rotYSpeed = kInstantTurn;
        break;
    case kCharacterThirdPerson:
        SendWord(this, cmd::character::SetDirectionBehaviour, 1);
        charFlags |= kCharMotionDriven | kCharHeadTracking;
        break;
    case kCharacterThirdPersonShooter:
        SendWord(this, cmd::character::SetDirectionBehaviour, 1);
        charFlags = (charFlags & ~kCharHeadTracking) | kCharMotionDriven;
        turnSpeed = 10.0f;
        headTurningSpeed = aimTurningSpeed = 20.0f;
        SendText(this, cmd::character::SetCurrentState, "R");
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
            HandleCommand(cmd::character::OnUnlockInput, ParamBlock());
        }
        if (Bit(charFlags, kCharIdleAfterHold)) {
            charFlags |= kCharIdleMotionsEnabled;
        }
    } else {
        if (!Bit(charFlags, kCharInputLocked)) {
            charFlags |= kCharInputLocked;
            HandleCommand(cmd::character::OnLockInput, ParamBlock());
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
            object->ChangeShape([](ColObj &o) { o.boxMin.x = o.boxMin.z = 0.0f; });
        }
    }
    const int result = Actor::HandleCommand(cmd::base::Precalculate, block);

    SetSkin(FindChildByName(this, "Skin"));
    lookCamera.Assign(FindDescendantByClass(this, kCameraClassId));
    sensorTarget.Assign(FindChildByName(this, "LightSensor"));
    activateTarget.Assign(FindChildByName(this, "Activate"));
    itemsActor.Assign(FindChildByName(this, "Items"));
    leftHand.Assign(FindDescendantByName(this, "LeftHand"));
    rightHand.Assign(FindDescendantByName(this, "RightHand"));
    if (skin.target == nullptr) {
        SetSkin(CreateActor(kSimulationClassId, "Skin", nullptr, this, -1, true));
    }
    if (sensorTarget.target != nullptr &&
        FindScheduledCommand(cmd::character::Charupdatesensor) == nullptr) {
        ScheduleCommand(cmd::character::Charupdatesensor, ParamBlock(), kRepeatFlags, 0.5f, 0.0f,
                        0.5f);
    }
    SendWord(this, cmd::character::SetCharacterType, characterType);

    charFlags &= ~(kCharWallClimbEnable | kCharKickAllowed);
    std::vector<std::string> names;
    void *list = &names;
    SendIfPresent(skin.target, cmd::skin_object::SetMotionStringList_1096,
                  ParamBlock(&list, sizeof(list)));
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
        SendCommandArgs(skin.target, cmd::skin_object::SetCurrentLayer, uint32_t{2});
        SendCommandArgs(skin.target, cmd::skin_object::SetLayerMask, uint32_t{1});
        SendCommandArgs(skin.target, cmd::skin_object::SetCurrentLayer, uint32_t{0});
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
        HandleCommand(cmd::base::StartSimulate, ParamBlock());
    }
    EnsureProcessEntry(*this);
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
            ScheduleCommand(cmd::character::CPHealthDegeneration,
                            ParamBlock(const_cast<float *>(&step), sizeof(step)),
                            kDegenerationFlags, 0.5f, 0.0f, 0.5f);
        }
    }
    if (h0 <= healthLimit && health > healthLimit) {
        HandleCommand(cmd::character::OnCharacterHealthAbove100Start, ParamBlock());
    } else if (h0 > healthLimit && health <= healthLimit) {
        HandleCommand(cmd::character::OnCharacterHealthAbove100Stop, ParamBlock());
    }
    if (HasFlag(kActorMaster) && health < 1.0f) {
        Die();
    }
}

void CharacterActor::Die() {
    CancelScheduledCommandsByTag(this, kHealthTag);
    health = 0.0f;
    SendReal(this, cmd::character::SetHoldTime, 0.0f);
    HandleCommand(cmd::character::OnDie, ParamBlock());
    charFlags &= ~(kCharInputLocked | kCharInAir);
    HandleCommand(cmd::character::MotionQueueClear, ParamBlock());
    const std::string digit(1, static_cast<char>('0' + dieIndex));
    SendText(this, cmd::skin_object::SetMotion, "N_Die" + digit);
    SendText(this, cmd::character::MotionQueuePushBack, "N_Dead" + digit);
    SendReal(this, cmd::character::SetHoldTime, 100000000.0f);
    charFlags |= kCharDeadLock;
    for (uint32_t stop : {cmd::character::CCRAction1Stop, cmd::character::CCRAction2Stop,
                          cmd::character::CCLAction1Stop}) {
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
    if (SendText(skin.target, cmd::skin_object::SetMotion,
                 std::string(1, posture) + "_" + name) != 0) {
        return;
    }
    if (skin.target != nullptr && SendText(skin.target, cmd::skin_object::SetMotion,
                                           "N_" + name) != 0) {
        posture = 'N';
        return;
    }
    posture = oldPosture;
    movement = oldMovement;
}

void CharacterActor::SendMotionWord(uint32_t word) {
    SendWord(this, cmd::character::SetStateAndMovement, word);
    if (HasFlag(kActorMaster)) {
        if (ActorSystem *system = GetActorSystem()) {
            system->NetSendCommandAlt(static_cast<uint32_t>(actorId),
                                      cmd::character::SetStateAndMovement,
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
        HandleCommand(cmd::character::MotionQueueEmptied, ParamBlock());
    }
}

void CharacterActor::Activate(std::string_view name) {
    Actor *group = activateTarget.target;
    if (group == nullptr) {
        return;
    }
    SendIfPresent(activatedChild.target, cmd::base::ActionStopPre, ParamBlock());
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
    SendIfPresent(found, cmd::base::ActionStartPre, ParamBlock());
}

// Answers whether the command served a motion id.
bool CharacterActor::ServeMotion(uint32_t commandId, ParamBlock block) {
    const bool locked = Bit(charFlags, kCharInputLocked);
    const bool inAir = Bit(charFlags, kCharInAir);
    const std::string_view text = block.ReadString(0);
    switch (commandId) {
    case cmd::character::SetStateAndMovement:
        SetStateAndMovement(block.ReadU32(0));
        return true;
    case cmd::character::SetState:
        if (!locked && !inAir && !text.empty() && text[0] != posture) {
            SendMotionWord(MotionWord(text[0], movement));
        }
        return true;
    case cmd::character::SetCurrentState:
        SendText(this, cmd::character::SetState, std::string(text));
        if (!text.empty()) {
            returnPosture = text[0];
        }
        return true;
    case cmd::character::SetMovement_845: {
        if (locked) {
            return true;
        }
        const uint32_t index = FindMovement(text);
        if (index != movement || lastSetPosture != posture) {
            SendMotionWord(MotionWord(lastSetPosture, index));
        }
        return true;
    }
    case cmd::skin_object::SetMotion: {
        if (locked || inAir || text.empty()) {
            return true;
        }
        const uint32_t index = FindMovement(text.size() > 2 ? text.substr(2) : std::string_view());
        if (index != movement || text[0] != posture) {
            SendMotionWord(MotionWord(text[0], index));
        }
        return true;
    }
    case cmd::character::SetNextMovement:
        if (!locked) {
            HandleCommand(cmd::character::MotionQueueClear, ParamBlock());
            SendText(this, cmd::character::MotionQueuePushBack, std::string(text));
        }
        return true;
    case cmd::character::MotionQueuePushBack:
    case cmd::character::MotionQueuePushFront:
        if (!locked && !Bit(charFlags, kCharMotionQueueLocked)) {
            if (commandId == cmd::character::MotionQueuePushBack) {
                motionQueue.push_back(QueueWord(text, false));
            } else {
                motionQueue.push_front(QueueWord(text, true));
            }
        }
        return true;
    case cmd::character::MotionQueueClear:
        if (!locked) {
            motionQueue.clear();
        }
        return true;
    case cmd::character::MotionQueueForceNext:
        ForceNextMotion();
        return true;
    case cmd::skin_object::CallbackSkinLooping:
        if (block.ReadU32(0) < 2 && HasFlag(kActorMaster) && !inAir) {
            HandleCommand(cmd::character::MotionQueueForceNext, ParamBlock());
        }
        return true;
    case cmd::skin_object::CallbackMotionSet: {
        const std::string name(text);
        SendText(this, cmd::character::CharacterActivate, name);
        stateText = name;
        return true;
    }
    case cmd::character::CharacterActivate:
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
        front->HandleCommand(cmd::inventory::GetVisible, ParamBlock(&answer, sizeof(answer)));
    }
    return answer == 0;
}

void CharacterActor::PushInput(uint32_t commandId) {
    const bool locked = Bit(charFlags, kCharInputLocked);
    const bool handsLocked = Bit(charFlags2, kChar2HandsLocked);
    bool push = false;
    if (commandId == cmd::character::CCRAction1Stop ||
        commandId == cmd::character::CCRAction2Stop ||
        commandId == cmd::character::CCLAction1Stop) {
        push = true;
    } else if (commandId >= cmd::character::CCRAction1Start &&
               commandId <= cmd::character::CCKnock) {
        push = !handsLocked && !locked;
        if (push && (commandId == cmd::character::CCRAction1Start ||
                     commandId == cmd::character::CCRAction2Start ||
                     commandId == cmd::character::CCLAction1Start ||
                     commandId == cmd::character::CCLAction1)) {
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
    const uint32_t move =
        right ? cmd::character::RightHandGrabItemMove : cmd::character::LeftHandGrabItemMove;
    const uint32_t pending = right ? kCharRightGrabPending : kCharLeftGrabPending;
    switch (commandId) {
    case cmd::character::RightHandEquip:
    case cmd::character::LeftHandEquip:
        if (itemsActor.target != nullptr) {
            CancelScheduledCommands(move);
            const std::string name(block.ReadString(0));
            if (Actor *item = FindChildByName(itemsActor.target, name.c_str())) {
                SendCommandArgs(this, move, item);
            }
        }
        break;
    case cmd::character::RightHandGrabItem:
    case cmd::character::LeftHandGrabItem:
        if (hand.target != nullptr) {
            charFlags |= pending;
            CancelScheduledCommands(move);
            ScheduleCommand(move, block, kOnceSavedFlags, kGrabDelay, 0.0f, 0.0f);
            SendIfPresent(FirstChild(hand.target), cmd::game_object::OnUnEquipPre, ParamBlock());
        }
        break;
    default: // the moves
        if (hand.target != nullptr) {
            charFlags &= ~pending;
            SendCommandArgs(FirstChild(hand.target), cmd::game_object::SetStateInventory,
                            static_cast<uint32_t>(actorId));
            if (Actor *item = block.ReadActor(0)) {
                uint32_t words[2] = {static_cast<uint32_t>(actorId), right ? 2u : 1u};
                item->HandleCommand(cmd::game_object::SetStateHandC,
                                    ParamBlock(words, sizeof(words)));
                item->HandleCommand(cmd::game_object::OnEquipped, ParamBlock());
            }
        }
        break;
    }
}

void CharacterActor::ServeAmmo(uint32_t commandId, ParamBlock block) {
    // Types count from 1 in the counts, from 0 in the request.
    const uint32_t type = block.ReadU32(0) + (commandId == cmd::character::RequestAmmo ? 1u : 0u);
    if (type < 1 || type > kAmmoTypeCount) {
        if (commandId == cmd::character::GetAmmoCount) {
            block.WriteU32(4, 0);
        } else if (commandId == cmd::character::RequestAmmo) {
            block.WriteU32(8, 0);
        }
        return;
    }
    const size_t k = type - 1;
    const uint32_t max = k < kMaxAmmoCount ? MaxAmmo[k] : kMaxAmmoValue;
    uint32_t &count = ammoCount[k];
    switch (commandId) {
    case cmd::character::SetAmmoCount:
        count = block.ReadU32(4);
        ammoPresent[k] = count != 0 ? 1u : 0u;
        break;
    case cmd::character::GetAmmoCount:
        block.WriteU32(4, count);
        break;
    case cmd::character::AddAmmo: {
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
    CancelScheduledCommands(on ? cmd::character::WakeUp : cmd::character::SleepOrg);
    SetBit(charFlags, kCharSuspended, on);
    HandleCommand(on ? cmd::base::StopSimulate : cmd::base::StartSimulate, ParamBlock());
    SendCommandArgs(this, cmd::base::SetCollisionEnable, !on);
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
        return Actor::HandleCommand(cmd::base::CollisionEvent, block);
    }
    Actor *owner = other != nullptr ? other->owner : nullptr;
    if (owner == nullptr ||
        (owner->classId != kCharacterClassId && owner->classId != kGameContainerClassId &&
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
    owner->HandleCommand(cmd::character::Action, ParamBlock(words, sizeof(words)));
    SendText(this, cmd::character::SetMovement_845, "Action");
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
        ScheduleCommand(cmd::character::Hjfhhdt,
                        ParamBlock(const_cast<float *>(radii), sizeof(radii)),
                        kOnceFlags, 0.5f, 0.0f, 0.0f);
    } else if (ScheduledCommand *entry = FindScheduledCommand(cmd::character::Hjfhhdt)) {
        SetScheduledCommandTime(entry, 0.5f);
    }
    ++syncCounter;
    for (auto [object, scaleBy] : {std::pair{body, 1.04f}, std::pair{chest, 0.96f}}) {
        if (object != nullptr) {
            const float scale = scaleBy;
            object->ChangeShape([scale](ColObj &o) {
                o.boxMax.x *= scale;
                o.worldMax.x = o.boxMax.x;
            });
        }
    }
    return Actor::HandleCommand(cmd::base::PoseRestored, block);
}

void CharacterActor::RestoreRadii(ParamBlock block) {
    for (auto [object, offset] : {std::pair{BodyColObj(), 0}, std::pair{ChestColObj(), 4}}) {
        if (object != nullptr) {
            const float radius = block.ReadF32(static_cast<size_t>(offset));
            object->ChangeShape([radius](ColObj &o) { o.boxMax.x = o.worldMax.x = radius; });
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
    DropStaleBones();
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
    if (ScheduledCommand *entry = FindScheduledCommand(cmd::character::Charupdatesensor)) {
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
    case cmd::character::SetCharacterType:
        SetCharacterType(block.ReadU32(0));
        break;
    case cmd::character::SetHoldTime:
        SetHoldTime(block.ReadF32(0));
        break;
    case cmd::character::SetDeadLock:
        SetBit(charFlags, kCharDeadLock, (block.ReadU32(0) & 1u) != 0);
        if (!Bit(charFlags, kCharDeadLock)) {
            SendReal(this, cmd::character::SetHoldTime, 0.0f);
        }
        break;
    case cmd::character::SetSuspendMode:
        HandleCommand(block.ReadU32(0) != 0 ? cmd::character::SleepOrg : cmd::character::WakeUp,
                      ParamBlock());
        break;
    case cmd::character::GetSuspendMode:
        block.WriteF32(0, Bit(charFlags, kCharSuspended) ? 1.0f : 0.0f);
        break;
    case cmd::character::SetNotifyCamera:
        notifyCamera.Assign(block.ReadActor(0));
        lookCamera.Assign(block.ReadActor(0));
        break;
    case cmd::character::GetNotifyCamera:
        block.WriteActor(0, notifyCamera.target);
        break;
    case cmd::character::SetCharacterGroup: {
        const uint32_t n = block.ReadU32(0);
        if (n >= 1 && n <= 32) {
            SetBit(characterGroup, 1u << (n - 1), (block.ReadU32(4) & 1u) != 0);
        }
        break;
    }
    case cmd::character::SetRotY_976:
        if (!locked && !Bit(charFlags, kCharInAir)) {
            rotY = block.ReadF32(0);
        }
        break;
    case cmd::character::SetRotY_977:
        if (!locked) {
            block.WriteF32(0, rotY);
        }
        break;

    // Answers.
    case cmd::character::GetState:
        block.WriteString(0, std::string_view(&posture, 1));
        break;
    case cmd::character::GetMovement: {
        const char *name = MovementName(movement);
        block.WriteString(0, name != nullptr ? name : MovementName(kUnknownMovement));
        break;
    }
    case cmd::character::GetMotionVector:
        SendIfPresent(skin.target, commandId, block);
        break;
    case cmd::character::CharacterIsNeutral_863:
    case cmd::character::CharacterIsNeutral_864:
        block.WriteU32(
            0,
            movement == (commandId == cmd::character::CharacterIsNeutral_863 ? 0u : 4u) ? 1u : 0u);
        break;
    case cmd::character::CharacterHealthIsAbove100:
        block.WriteU32(0, health > healthLimit ? 1u : 0u);
        break;
    case cmd::character::GetNoiseLevel: {
        const float scaleBy = movement == 0    ? 0.1f
                              : posture == 'C' ? 0.2f
                              : posture == 'N' ? 0.5f
                                               : 1.0f;
        block.WriteF32(0, paramValue[kParamNoiselevel] * scaleBy);
        break;
    }
    case cmd::character::Visibility:
        block.WriteF32(0, Visibility());
        break;
    case cmd::character::GetLookRotYOffset:
        block.WriteF32(0, lookRotYOffset);
        break;
    case cmd::character::GetCapacity:
        block.WriteF32(0, std::clamp(capacity, 0.0f, 1.0f));
        break;
    case cmd::character::IsInAir:
        block.WriteU32(0, posture == 'J' || posture == 'F' || posture == 'K' ? 1u : 0u);
        break;
    case cmd::character::IsOnGround:
        block.WriteU32(0, onGround);
        break;
    case cmd::character::IsOnWall:
    case cmd::character::IsInCrouch:
    case cmd::character::IsInRun:
    case cmd::character::IsInMelee: {
        static constexpr char kLetters[] = {'W', 'C', 'R', 'M'};
        block.WriteU32(0, posture == kLetters[commandId - cmd::character::IsOnWall] ? 1u : 0u);
        break;
    }

    // Look and aim.
    case cmd::character::SetRelativeLookRotY:
        look.rotY += block.ReadF32(0);
        break;
    case cmd::character::SetRelativeLookRotX:
        look.rotX = ClampPitch(characterType, look.rotX + block.ReadF32(0));
        break;
    case cmd::character::GetLookMatrix:
    case cmd::character::GetLookDirection:
    case cmd::character::GetLookMatrixSM:
    case cmd::character::GetLookDirectionSM:
    case cmd::character::AimMatrix:
    case cmd::character::AimDirection:
        AnswerLook(commandId, block);
        break;
    case cmd::character::SetAimRotY:
        aim.rotY = Wrap(block.ReadF32(0));
        break;
    case cmd::character::SetAimRotX:
        aim.rotX = Wrap(block.ReadF32(0));
        break;
    case cmd::character::AimRotYAdd:
        aim.rotY += block.ReadF32(0);
        break;
    case cmd::character::AimRotXAdd:
        aim.rotX = ClampPitch(characterType, aim.rotX + block.ReadF32(0));
        break;
    case cmd::character::SetDesiredMovement:
        DesiredMovement(block.Read<Vector3>(0));
        break;
    case cmd::character::Recoil:
        if (Bit(charFlags, kCharMotionDriven) && characterType == kCharacterFirstPerson) {
            const float amount = block.ReadF32(0);
            look.rotX -= recoilPitch;
            recoilPitch = 0.0f;
            recoilPitchVelocity += 0.4f * amount;
            recoilYawVelocity += RandomSigned() * amount * 0.1f;
        }
        break;

    // Condition.
    case cmd::character::ChangeCPAlertness:
        ChangeCapacity(block.ReadF32(0));
        break;
    case cmd::character::DropItems: {
        const size_t n = itemsActor.target != nullptr ? itemsActor.target->children.size() : 1;
        dropCount = 1u + static_cast<uint32_t>(static_cast<float>(n) * block.ReadF32(0) * 0.01f);
        dropTimer = -1.5f;
        break;
    }
    case cmd::character::ChangeCPHealth:
        // A change that is no number, or an infinite one, is none (a
        // Constitution of 0 may still make a finite loss a fatal one).
        if (std::isfinite(block.ReadF32(0))) {
            ChangeHealth(block.ReadF32(0));
        }
        break;
    case cmd::character::CPHealthDegeneration: {
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
    case cmd::character::HurtArea:
        dieIndex = block.ReadU32(4);
        ChangeHealth(-block.ReadF32(0));
        break;
    case cmd::character::Hurt:
        ChangeHealth(-block.ReadF32(0));
        break;
    case cmd::character::Heal: {
        const float amount = block.ReadF32(0);
        const float cap = block.ReadF32(4);
        const float d = health >= cap ? 0.0f : health + amount <= cap ? amount : cap - health;
        ChangeHealth(d);
        break;
    }
    case cmd::base::OnInvalidDrawgroup:
        ChangeHealth(-90000000.0f);
        break;
    case cmd::character::OnDie:
        for (const auto &object : colObjs) {
            object->excludeGroups |= kDeadExcludeGroups;
        }
        break;

    // Input for the controller.
    case cmd::character::SetMovement_866:
        return 1;
    case cmd::character::CCJump:
    case cmd::character::CCJumpStop:
    case cmd::character::CCStateCrouch:
    case cmd::character::CCStateNeutral:
    case cmd::character::CCStateRun:
    case cmd::character::CCForward:
    case cmd::character::CCRAction1Start:
    case cmd::character::CCRAction1Stop:
    case cmd::character::CCRAction1:
    case cmd::character::CCRAction2Start:
    case cmd::character::CCRAction2Stop:
    case cmd::character::CCRAction2:
    case cmd::character::CCLAction1Start:
    case cmd::character::CCLAction1Stop:
    case cmd::character::CCLAction1:
    case cmd::character::CCReload:
    case cmd::character::CCRDrop:
    case cmd::character::CCLDrop:
    case cmd::character::CCKnock:
        PushInput(commandId);
        break;

    // Hands and ammunition.
    case cmd::character::RightHandEquip:
    case cmd::character::LeftHandEquip:
    case cmd::character::RightHandGrabItem:
    case cmd::character::LeftHandGrabItem:
    case cmd::character::RightHandGrabItemMove:
    case cmd::character::LeftHandGrabItemMove:
        ServeHands(commandId, block);
        break;
    case cmd::character::Unnamed_1049:
        SendReal(FirstChild(rightHand.target), cmd::game_object::Unnamed_750, 1.0f);
        SendReal(FirstChild(leftHand.target), cmd::game_object::Unnamed_750, 1.0f);
        break;
    case cmd::character::SetAmmoCount:
    case cmd::character::GetAmmoCount:
    case cmd::character::AddAmmo:
    case cmd::character::RequestAmmo:
        ServeAmmo(commandId, block);
        break;

    // Sleeping.
    case cmd::character::Sleep:
        ScheduleCommand(cmd::character::SleepOrg, ParamBlock(), kOnceSavedFlags, 3.0f, 0.0f, 0.0f);
        break;
    case cmd::character::SleepOrg:
    case cmd::character::WakeUp:
        Suspend(commandId == cmd::character::SleepOrg);
        break;

    // Sensors and contacts.
    case cmd::character::Charupdatesensor:
        std::copy(std::begin(sensorValues), std::end(sensorValues), sensorValuesSent);
        SendIfPresent(sensorTarget.target, cmd::base::GetColor,
                      ParamBlock(sensorValues, sizeof(sensorValues)));
        break;
    case cmd::base::GetColor:
        AnswerColor(block);
        break;
    case cmd::base::PoseRestored:
        return ContactStep(block);
    case cmd::character::Hjfhhdt:
        RestoreRadii(block);
        break;
    case cmd::character::CharacterPush:
        if (Bit(charFlags, kCharPushEnabled) && HasFlag(kActorMaster)) {
            SendText(this, cmd::character::SetMovement_845, "Gethit0");
            SendText(this, cmd::character::SetNextMovement, "Damage0");
            SendReal(this, cmd::character::SetHoldTime, 4.0f);
            charFlags &= ~kCharPushEnabled;
            ScheduleCommand(cmd::character::Drtyr, ParamBlock(), kOnceFlags, 5.0f, 0.0f, 0.0f);
        }
        break;
    case cmd::character::Drtyr:
        charFlags |= kCharPushEnabled;
        break;
    case cmd::base::CollisionEvent:
        return ActionContact(block);
    case cmd::character::CharacterSync:
        ApplySync(block);
        break;
    case cmd::character::CharacterForceback:
        Forceback(block.ReadF32(0), block.ReadF32(4));
        break;

    // Base commands.
    case cmd::base::InitLoad:
    case cmd::base::InitCopy:
        lastSafePosition = position;
        if (commandId == cmd::base::InitLoad) {
            look.rotX = look.rotXSmooth = 0.0f;
        }
        break;
    case cmd::base::SetPosition:
        Actor::HandleCommand(commandId, block);
        lastSafePosition = position;
        if (Bit(charFlags, kCharSuspended)) {
            UpdateActorDrawGroup(this);
        }
        return 1;
    case cmd::base::InvalidateOldPosition:
        look.rotXSmooth = look.rotX;
        look.rotYSmooth = look.rotY;
        rotYSmooth = rotY;
        break;
    case cmd::base::SetMatrix:
        return SetMatrixFrom(block);
    case cmd::base::OnEnterDrawGroup:
    case cmd::base::OnExitDrawGroup: {
        const int32_t group = block.ReadI32(0);
        if (Bit(charFlags, kCharMotionDriven) && group != -1) {
            SendIfPresent(DrawGroupAt(group),
                          commandId == cmd::base::OnEnterDrawGroup
                              ? cmd::draw_group::LocalPlayerEnterDrawGroup
                              : cmd::draw_group::LocalPlayerExitDrawGroup,
                          ParamBlock());
        }
        break;
    }
    case cmd::base::CallbackRelChildAdded:
    case cmd::base::CallbackRelChildRemoved: {
        Actor *child = block.ReadActor(0);
        Actor *parentActor = block.ReadActor(sizeof(void *));
        const bool rightHandParent = parentActor != nullptr && parentActor->name == "RightHand";
        if (commandId == cmd::base::CallbackRelChildAdded) {
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
    case cmd::base::CallbackChildRemoved:
        if (block.ReadActor(0) != nullptr && block.ReadActor(0) == skin.target) {
            SetSkin(nullptr);
        }
        break;
    case cmd::base::Precalculate:
        return Bind(block);
    case cmd::base::Create:
        if (auto *source = CreateSource(*this, block)) {
            CopyCharacter(*source);
        }
        break;
    case cmd::base::LoadResources:
    case cmd::base::UnloadResources:
        return 1;
    case cmd::base::SetCurrentTime:
        SendIfPresent(skin.target, commandId, block);
        break;
    case cmd::base::GetCenterPoint: {
        ColObj *chest = ChestColObj();
        if (chest != nullptr && (chest->flags & kColObjActive) != 0) {
            Vector3 centre;
            Vec3TransformCoord(&centre, chest->boxMin, GetWorldMatrix());
            block.Write(0, centre);
            return 1;
        }
        break;
    }
    case cmd::base::GetVisionPoint:
        return VisionPoint(block);
    case cmd::character::ResyncSkin:
        skin.Assign(FindChildByName(this, "Skin"));
        bones.clear();
        for (ActorLink &link : boneActors) {
            link.Assign(nullptr);
        }
        break;
    case cmd::base::InvalidActorPointer:
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
    child->HandleCommand(cmd::game_object::GetGameobjectType_603, ParamBlock(&type, sizeof(type)));
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
