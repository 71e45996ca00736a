#include "actors/characters/player_actor.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "actors/characters/character_actor.h"
#include "actors/characters/character_seams.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_path.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "core/actors/process_entry.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/time_record.h"
#include "library/resource_library.h"
#include "platform/input.h"

PlayerInputSettings PlayerInput;

namespace {

// Input codes and action numbers.
constexpr InputCode kKeyF1 = 111;
constexpr InputCode kKeyF2 = 112;
constexpr InputCode kKeyF3 = 113;
constexpr InputCode kKeyF4 = 114;
constexpr InputCode kKeyF5 = 115;
constexpr InputCode kKeyF6 = 116;
constexpr InputCode kKeyF7 = 117;
constexpr InputCode kKeyReturn = 98;
constexpr InputCode kKeyPad0 = 135;
constexpr InputCode kMiddleMouse = 258;
enum Action : int {
    kLookX = 1,
    kLookY = 2,
    kMoveX = 3,
    kMoveZ = 4,
    kCameraYaw = 6,
    kCameraPitch = 7,
    kForward = 9,
    kBack = 10,
    kLeft = 11,
    kRight = 12,
    kJump = 15,
    kUse = 16,
    kCrouch = 17,
    kPow2 = 18,
    kQ = 19,
    kFireLeft = 25,
    kFireRight = 26,
    kE = 27,
    kTimeScale = 28,
    kRunWalk = 29,
    kEsc = 30,
    kTab = 32,
};

constexpr float kStartDelay = 0.4f;
constexpr float kEscDelay = 1.0f;
constexpr float kLookScale = 0.05f;

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Player Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Foo|0|Mirel|1|", PropertyKind::Enumeration, cmd::player::SetPlayerType, cmd::player::GetPlayerType},
    {"Control:|Control 1|0|Control 2|1|", PropertyKind::Enumeration, cmd::player::SetControllerset, cmd::player::GetControllerset},
    {"Master:", PropertyKind::CheckBox, cmd::base::SetMaster, cmd::base::GetMaster},
};
// clang-format on

void Send(Actor *actor, uint32_t commandId) {
    if (actor != nullptr) {
        actor->HandleCommand(commandId, ParamBlock());
    }
}

// The held, pressed and released commands of one action.
struct ActionTrio {
    uint32_t held;
    uint32_t pressed;
    uint32_t released;
};
constexpr ActionTrio kRAction1 = {cmd::character::CCRAction1, cmd::character::CCRAction1Start,
                                  cmd::character::CCRAction1Stop};
constexpr ActionTrio kRAction2 = {cmd::character::CCRAction2, cmd::character::CCRAction2Start,
                                  cmd::character::CCRAction2Stop};
constexpr ActionTrio kLAction1 = {cmd::character::CCLAction1, cmd::character::CCLAction1Start,
                                  cmd::character::CCLAction1Stop};

// Each send reads the link again: a script bound to a command may delete
// the character.
void SendTrio(const ActorLink &character, int action, int set, const ActionTrio &trio) {
    if (ActionDown(action, set) != 0) {
        Send(character.target, trio.held);
    }
    if (ActionPressed(action, set) != 0) {
        Send(character.target, trio.pressed);
    }
    if (ActionReleased(action, set) != 0) {
        Send(character.target, trio.released);
    }
}

// The game actor's "Get Visible": 0 when there is none.
uint32_t FrontEndVisible() {
    uint32_t visible = 0;
    if (Actor *front = GetActorById(kInventoryActorId)) {
        front->HandleCommand(cmd::mesh_object::GetVisible, ParamBlock(&visible, sizeof(visible)));
    }
    return visible;
}

// The camera's forward axis flattened onto the ground and normalised;
// (0, 0, 0) when it points straight up or down or there is no library.
Vector3 CameraHeading() {
    Vector3 forward = {0.0f, 0.0f, 0.0f};
    if (ResourceLibrary *library = GetLibrary()) {
        library->GetCameraForward(&forward);
    }
    forward.y = 0.0f;
    const float length = Vec3Length(forward);
    if (!(length > 0.0f)) {
        return {0.0f, 0.0f, 0.0f};
    }
    return {forward.x / length, 0.0f, forward.z / length};
}

// The heading of a flat direction: acos of its z share, negative to the -x
// side. 0 for a zero vector.
float HeadingOf(float x, float z) {
    const float length = std::sqrt(x * x + z * z);
    if (!(length > 0.0f)) {
        return 0.0f;
    }
    const float angle = std::acos(std::clamp(z / length, -1.0f, 1.0f));
    return x < 0.0f ? -angle : angle;
}

// The key actors and the inputs that start and stop them.
struct KeyActorRow {
    const char *path;
    InputCode code; // 0: the action below
    int action;
    bool sendsStop;
};
const KeyActorRow kKeyActors[] = {
    {"/Global/Inventory/QuickSave", kKeyF5, 0, false},
    {"/Global/Inventory/QuickLoad", kKeyF6, 0, false},
    {"/Global/Inventory/Tab", 0, kTab, true},
    {"/Global/Inventory/E", 0, kE, true},
    {"/Global/Inventory/Q", 0, kQ, true},
    {"/Global/Inventory/Return", kKeyReturn, 0, true},
};

// The press and release of an action as the Player sees them: the change
// of its held state since it last looked (`wasHeld`, brought up to date
// here), so that a key that went down while the Player was not looking and
// is still held counts as pressed. A key that went both ways within the
// frame answers as its flags do.
struct KeyChange {
    bool pressed;
    bool released;
};
KeyChange LookAtAction(int action, int set, bool &wasHeld) {
    const bool held = ActionDown(action, set) != 0;
    KeyChange change = {held && !wasHeld, !held && wasHeld};
    if (ActionPressed(action, set) != 0 && ActionReleased(action, set) != 0) {
        change = {true, true};
    }
    wasHeld = held;
    return change;
}

void StartStop(const char *path, bool pressed, bool released) {
    if (!pressed && !released) {
        return;
    }
    Actor *actor = FindActorByPath(path, nullptr);
    if (pressed) {
        Send(actor, cmd::base::ActionStartPre);
    }
    if (released) {
        Send(actor, cmd::base::ActionStopPre);
    }
}

} // namespace

void ResetPlayerTimeScale() {
    PlayerInput.timeScale = 1.0f;
    PlayerInput.blend = 0.5f;
    PlayerInput.sinceRelease = 10.0f;
    PlayerInput.freezeTimer = 0.0f;
    PlayerInput.freezing = 0;
    TimeRecord *root = RootTimeRecord();
    root->multiplier = 1.0f;
    root->simMultiplier = 1.0f;
}

void ResetPlayerInputSettings() { PlayerInput = PlayerInputSettings{}; }

void PlayerActor::RegisterClass() { RegisterBasicClassSheet(kPlayerClassId, kSheet); }

PlayerActor::PlayerActor() {
    classId = kPlayerClassId;
    ResetPlayerTimeScale();
}

PlayerActor::~PlayerActor() = default;

void PlayerActor::SetCharacter(Actor *character) {
    controlledCharacter.Assign(character);
    const auto *body = dynamic_cast<const CharacterActor *>(character);
    characterTypeCopy = body != nullptr ? body->characterType : 0;
}

int PlayerActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::player::SetPlayerType:
        playerType = block.ReadU32(0);
        break;
    case cmd::player::GetPlayerType:
        block.WriteU32(0, playerType);
        break;
    case cmd::player::SetControllerset:
        controllerSet = block.ReadU32(0);
        break;
    case cmd::player::GetControllerset:
        block.WriteU32(0, controllerSet);
        break;
    case cmd::player::SetCharacter:
        SetCharacter(block.ReadActor(0));
        break;
    case cmd::player::GetCharacter:
        block.WriteActor(0, controlledCharacter.target);
        break;
    case cmd::player::SetHost:
        playerHost = block.ReadU32(0);
        break;
    case cmd::player::GetHost:
        block.WriteU32(0, playerHost);
        break;
    case cmd::base::Precalculate:
        if (!characterPath.empty()) {
            controlledCharacter.Assign(FindActorByPath(characterPath, this));
        }
        EnsureProcessEntry(*this);
        break;
    case cmd::base::Create:
        if (auto *source = CreateSource(*this, block)) {
            playerType = source->playerType;
            characterTypeCopy = source->characterTypeCopy;
            playerHost = source->playerHost;
            controllerSet = source->controllerSet;
            controlledCharacter.Assign(source->controlledCharacter.target);
            characterPath = source->characterPath;
        }
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int PlayerActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.IsWriting()) {
        characterPath = controlledCharacter.target != nullptr
                            ? ActorRelativePath(controlledCharacter.target, this)
                            : std::string();
    } else {
        characterPath.clear();
    }
    archive.SerializeWordsSince(1, &playerType, 1);
    archive.SerializeWordsSince(1, &characterTypeCopy, 1);
    archive.SerializeWordsSince(1, &controllerSet, 1);
    if (archive.Version() >= 1 && !archive.Failed()) {
        archive.SerializeString(characterPath);
    }
    return archive.Failed() ? 0 : 1;
}

void PlayerActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("player type " + std::to_string(playerType) + " charactertype " +
                    std::to_string(characterTypeCopy) + " control " +
                    std::to_string(controllerSet) + " path " + DumpText(characterPath));
}

// --- per frame -------------------------------------------------------------------

void PlayerActor::Process() {
    if (!IsOperational()) {
        return;
    }
    GetCurrentTime();
    runTime += timeRecord->delta;
    if (runTime < kStartDelay) {
        return;
    }
    switch (characterTypeCopy) {
    case kCharacterFirstPerson:
    case kCharacterThirdPerson:
    case kCharacterThirdPersonShooter:
        MainScheme();
        break;
    case kCharacterConsole:
        ConsoleScheme();
        break;
    default:
        break;
    }
}

char PlayerActor::CharacterPosture() const {
    const auto *body = dynamic_cast<const CharacterActor *>(controlledCharacter.target);
    return body != nullptr ? body->posture : 'N';
}

void PlayerActor::MainScheme() {
    Actor *character = controlledCharacter.target;
    if (!HasFlag(kActorMaster) || character == nullptr) {
        return;
    }
    const int set = static_cast<int>(controllerSet);
    PlayerInputSettings &input = PlayerInput;

    // Tuning keys.
    if (InputPressed(kKeyF2) != 0) {
        input.mouseInverted = input.mouseInverted != 0 ? 0 : 1;
    }
    if (InputPressed(kKeyF3) != 0) {
        input.mouseSensitivity = std::max(input.mouseSensitivity - 0.04f, 0.07f);
    }
    if (InputPressed(kKeyF4) != 0) {
        input.mouseSensitivity = std::min(input.mouseSensitivity + 0.07f, 5.0f);
    }

    const ActorSystem *system = GetActorSystem();
    const bool normalMode = system == nullptr || system->runMode == 0;
    Vector3 keys = {0.0f, 0.0f, 0.0f};
    if (normalMode) {
        PostureKeys();
        if (ActionDown(kLeft, set) != 0) {
            keys.x -= 1.0f;
            keys.z += 0.05f;
        }
        if (ActionDown(kRight, set) != 0) {
            keys.x += 1.0f;
            keys.z += 0.05f;
        }
        if (ActionDown(kBack, set) != 0) {
            keys.z -= 1.0f;
        }
        if (ActionDown(kForward, set) != 0) {
            keys.z += 1.0f;
        }
    }
    keys.x += ActionValue(kMoveX, 0);
    keys.z += ActionValue(kMoveZ, 0);
    const float dx = ActionValue(kLookX, 0) * input.mouseSensitivity * kLookScale;
    float dy = -ActionValue(kLookY, 0) * input.mouseSensitivity * kLookScale;
    if (input.mouseInverted != 0) {
        dy = -dy;
    }
    const Vector3 f = CameraHeading();
    Vector3 travel = {-(f.x * keys.z + f.z * keys.x), 0.0f, f.x * keys.x - f.z * keys.z};
    SendReal(controlledCharacter.target, cmd::character::SetRelativeLookRotY, dx);
    SendReal(controlledCharacter.target, cmd::character::SetRelativeLookRotX, dy);
    SendReal(controlledCharacter.target, cmd::character::AimRotYAdd, dx);
    SendReal(controlledCharacter.target, cmd::character::AimRotXAdd, dy);
    // A script bound to one of these may have deleted the character.
    character = controlledCharacter.target;

    if (normalMode && character != nullptr) {
        if (std::fabs(keys.x) > 0.001f || std::fabs(keys.z) > 0.001f) {
            if (auto *body = dynamic_cast<CharacterActor *>(character)) {
                body->moveAngle = HeadingOf(keys.x, keys.z);
            }
        }
        character->HandleCommand(cmd::character::SetDesiredMovement,
                                 ParamBlock(&travel, sizeof(travel)));
        if (ActionPressed(kJump, set) != 0) {
            Send(controlledCharacter.target, cmd::character::CCJump);
        }
        if (ActionReleased(kJump, set) != 0) {
            Send(controlledCharacter.target, cmd::character::CCJumpStop);
        }
        FireKeys(FrontEndVisible() != 0);
        DebugChord();
        TimeScale();
    }
    KeyActors();
    EscKey();
}

void PlayerActor::PostureKeys() {
    const int set = static_cast<int>(controllerSet);
    const KeyChange run = LookAtAction(kRunWalk, set, runHeld_);
    const KeyChange crouch = LookAtAction(kCrouch, set, crouchHeld_);
    const bool released = run.released || crouch.released;
    if (characterTypeCopy == kCharacterThirdPersonShooter) {
        if (run.pressed) {
            Send(controlledCharacter.target, cmd::character::CCStateNeutral);
        }
        if (crouch.pressed) {
            Send(controlledCharacter.target, cmd::character::CCStateCrouch);
        }
        if (released) {
            Send(controlledCharacter.target, cmd::character::CCStateRun);
        }
        return;
    }
    if (crouch.pressed) {
        Send(controlledCharacter.target, cmd::character::CCStateCrouch);
    }
    if (run.pressed && CharacterPosture() != 'C') {
        Send(controlledCharacter.target, cmd::character::CCStateRun);
    }
    if (released) {
        Send(controlledCharacter.target, cmd::character::CCStateNeutral);
    }
}

void PlayerActor::FireKeys(bool frontEndVisible) {
    const int set = static_cast<int>(controllerSet);
    if (!frontEndVisible) {
        switch (characterTypeCopy) {
        case kCharacterThirdPersonShooter:
            SendTrio(controlledCharacter, kFireLeft, set, kLAction1);
            SendTrio(controlledCharacter, kFireRight, set, kRAction1);
            break;
        case kCharacterThirdPerson:
            if (ActionDown(kUse, set) != 0) {
                Send(controlledCharacter.target, cmd::character::CCRAction1);
                Send(controlledCharacter.target, cmd::character::CCLAction1);
            }
            if (ActionPressed(kUse, set) != 0) {
                Send(controlledCharacter.target, cmd::character::CCRAction1Start);
                Send(controlledCharacter.target, cmd::character::CCLAction1Start);
            }
            if (ActionReleased(kUse, set) != 0) {
                Send(controlledCharacter.target, cmd::character::CCRAction1Stop);
                Send(controlledCharacter.target, cmd::character::CCLAction1Stop);
            }
            break;
        case kCharacterFirstPerson:
            SendTrio(controlledCharacter, kFireLeft, set, kRAction1);
            SendTrio(controlledCharacter, kFireRight, set, kRAction2);
            break;
        default:
            break;
        }
    }
    if (characterTypeCopy == kCharacterFirstPerson) {
        SendTrio(controlledCharacter, kUse, set, kLAction1);
    }
}

// F7 to F10 held together show the debug text and put the time scale on the
// middle mouse button.
void PlayerActor::DebugChord() {
    bool allDown = true;
    for (InputCode code = kKeyF7; code < kKeyF7 + 4; ++code) {
        allDown = allDown && InputDown(code) != 0;
    }
    DebugTextFlag = allDown ? 1 : 0;
    if (allDown && GetActionBinding(kTimeScale, 0) != kMiddleMouse) {
        BindAction(kTimeScale, kMiddleMouse, 0);
    }
}

void PlayerActor::TimeScale() {
    PlayerInputSettings &input = PlayerInput;
    Actor *amountActor = FindActorByPath("/Global/ScriptSoul/Amount", this);
    float amount = Query(amountActor, cmd::base::GetCurrentTime, 999.0f);
    float consumeMul = 0.0f;
    if (amountActor != nullptr && amount > 0.0f) {
        consumeMul = Query(FindActorByPath("/Global/ScriptSoul/ConsumeMul", this),
                           cmd::base::GetCurrentTime, 0.0f);
    }
    auto takeFromAmount = [&](float taken) {
        amount = std::max(amount - taken, 0.0f);
        SendReal(amountActor, cmd::base::SetCurrentTime, amount);
    };
    const float g = FrameDelta;
    float &m = input.timeScale;
    if (input.freezing != 0) {
        input.freezeTimer -= g;
        m = 0.0f;
        if (input.freezeTimer <= 0.0f) {
            input.freezeTimer = 1.5f;
            input.freezing = 0;
            m = 0.005f;
        }
        input.blend = std::clamp(input.blend - g * 0.4f, 0.5f, 1.0f);
    } else {
        if (ActionDown(kTimeScale, 0) != 0) {
            m = std::clamp(m - g * m, 0.1f, 1.0f);
            takeFromAmount(g * consumeMul * 0.111f);
        } else {
            input.sinceRelease += g;
            m = std::clamp((1.0f + g) * m, 0.006f, 1.0f);
        }
        if (ActionReleased(kTimeScale, 0) != 0) {
            input.sinceRelease = 0.0f;
        }
        if (ActionPressed(kTimeScale, 0) != 0 && input.sinceRelease < 0.2f) {
            input.freezing = 1;
            input.freezeTimer = 0.5f;
            m = 0.0f;
            input.blend = 1.0f;
            takeFromAmount(consumeMul * 0.5f);
        }
    }
    RootTimeRecord()->multiplier = m;
    if (Actor *instance = FindActorByPath("/Global/ti_ga1", this)) {
        const float root = std::sqrt(m);
        SendReal(instance, cmd::time_instance::SetTimeinstanceSimmultiplier, root);
        SendReal(FindActorByPath("/Global/ti_ga1", this),
                 cmd::time_instance::SetTimeinstanceMultiplier, root);
    }
}

void PlayerActor::KeyActors() {
    for (const KeyActorRow &row : kKeyActors) {
        const bool pressed =
            row.code != 0 ? InputPressed(row.code) != 0 : ActionPressed(row.action, 0) != 0;
        const bool released = row.sendsStop && (row.code != 0 ? InputReleased(row.code) != 0
                                                              : ActionReleased(row.action, 0) != 0);
        StartStop(row.path, pressed, released);
    }
    PlayerInputSettings &input = PlayerInput;
    const bool pow2Pressed =
        ActionPressed(kPow2, 0) != 0 && ActionDown(kUse, static_cast<int>(controllerSet)) == 0;
    if (pow2Pressed) {
        input.pow2Started = 1;
    }
    StartStop("/Global/Inventory/pow2", pow2Pressed,
              input.pow2Started != 0 && ActionReleased(kPow2, 0) != 0);
    const bool mousePressed = ActionPressed(kFireRight, 0) != 0;
    const bool mouseReleased = ActionReleased(kFireRight, 0) != 0;
    if ((mousePressed || mouseReleased) && FrontEndVisible() == 0) {
        StartStop("/Global/Inventory/RMouseButton", mousePressed, mouseReleased);
    }
    for (InputCode i = 0; i < 10; ++i) {
        const std::string path = "/Global/Inventory/PAD" + std::to_string(i);
        StartStop(path.c_str(), InputPressed(kKeyPad0 + i) != 0,
                  InputReleased(kKeyPad0 + i) != 0);
    }
    for (InputCode i = 0; i < 4; ++i) {
        const std::string path = "/Global/Inventory/F" + std::to_string(i + 1);
        StartStop(path.c_str(), InputPressed(kKeyF1 + i) != 0, InputReleased(kKeyF1 + i) != 0);
    }
}

void PlayerActor::EscKey() {
    if (runTime <= kEscDelay) {
        return;
    }
    constexpr const char *kEscPath = "/Global/Inventory/Esc";
    if (ActionPressed(kEsc, 0) != 0) {
        if (FindActorByPath(kEscPath, nullptr) != nullptr) {
            // Each send may change the world: the actors are looked up again.
            for (uint32_t stop : {cmd::character::CCRAction1Stop, cmd::character::CCRAction2Stop,
                                  cmd::character::CCLAction1Stop}) {
                Send(GetGlobalActor(1), stop);
            }
            Send(FindActorByPath(kEscPath, nullptr), cmd::base::ActionStartPre);
        } else {
            Send(GetActorSystem(), cmd::actor_system::ExitEngine);
        }
    }
    if (ActionReleased(kEsc, 0) != 0) {
        Send(FindActorByPath(kEscPath, nullptr), cmd::base::ActionStopPre);
    }
}

// --- console scheme ----------------------------------------------------------------

void PlayerActor::ConsoleScheme() {
    // The body and its skin are read again for each send: a script bound to
    // a command may delete them.
    auto body = [this]() { return dynamic_cast<CharacterActor *>(controlledCharacter.target); };
    auto skin = [&body]() { return body() != nullptr ? body()->skin.target : nullptr; };
    if (body() == nullptr) {
        return;
    }
    const int set = static_cast<int>(controllerSet);
    PlayerInputSettings &input = PlayerInput;
    const float sx = ActionValue(kLookX, 0);
    const float sz = -ActionValue(kLookY, 0);
    const float length = std::sqrt(sx * sx + sz * sz);
    if (length > 0.5f) {
        SendText(body(), cmd::skin_object::SetMotion, "R_Forward");
        SendReal(body(), cmd::character::SetTurnSpeed, 15.0f);
        SendReal(skin(), cmd::skin_object::SetMotionSpeed, (length - 1.0f) * 0.8f + 1.0f);
    } else if (length > 0.1f) {
        SendText(body(), cmd::skin_object::SetMotion, "N_Forward");
        SendReal(body(), cmd::character::SetTurnSpeed, length > 0.25f ? 10.0f : 5.0f);
        SendReal(skin(), cmd::skin_object::SetMotionSpeed, length * 1.5f + 0.1f);
    } else {
        SendReal(skin(), cmd::skin_object::SetMotionSpeed, 1.0f);
        SendText(body(), cmd::skin_object::SetMotion, "N_Neutral");
    }
    if (ActionDown(kJump, set) != 0) {
        Send(body(), cmd::character::CCJump);
    } else if (ActionDown(kUse, set) != 0) {
        FrontEndVisible();
    }
    if (length > 0.1f) {
        const Vector3 f = CameraHeading();
        input.cameraHeading = HeadingOf(f.x, f.z);
        input.stickHeading = HeadingOf(sx, sz);
        input.consoleHeading = input.cameraHeading + input.stickHeading;
    }
    const float delta = timeRecord->delta;
    const float yaw = ActionValue(kCameraYaw, 0);
    if (std::fabs(yaw) > 0.2f && length < 0.14f && body() != nullptr) {
        SendReal(body()->notifyCamera.target, cmd::camera::CameraTurnHorizontal,
                 yaw * delta * 2.0f);
    }
    const float pitch = ActionValue(kCameraPitch, 0);
    if (std::fabs(pitch) > 0.2f && length < 0.14f && body() != nullptr) {
        SendReal(body()->notifyCamera.target, cmd::camera::SetRelativeRotX, pitch * delta * 2.0f);
    }
    SendReal(body(), cmd::character::SetRotY_976, input.consoleHeading);
}
