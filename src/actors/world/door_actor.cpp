#include "actors/world/door_actor.h"

#include <cmath>

#include "actors/characters/character_seams.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/sound_actor.h"
#include "actors/world/collision.h"
#include "actors/world/draw_group_connector_actor.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "core/actors/field_commands.h"
#include "core/actors/process_entry.h"

namespace {

constexpr uint32_t kItemTypeKey = 2;
constexpr uint32_t kColObjQualifies = 0x40;
constexpr float kMinTime = 0.01f;
constexpr float kMinLength = 1.0f;
constexpr float kDegrees = 57.29578f;
constexpr float kRadians = 0.017453292f;

const char *const kSoundNames[kDoorSoundCount] = {"Open",   "Close", "Opening", "Closing",
                                                  "Locked", "Lock",  "Unlock"};

// The nine axis presets: Door, Chest, Drawer, X, Y, Z, -X, -Y, -Z.
const Vector3 kAxisPresets[] = {{0, 1, 0}, {1, 0, 0},  {0, 0, -1}, {1, 0, 0}, {0, 1, 0},
                                {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Door Properties", PropertyKind::PageTitle, 0, 0},
    {"Create:|Single|0|Single Side|1|Double|2|Double Side|3|", PropertyKind::Enumeration, cmd::door::SetDoorType, cmd::door::GetDoorType},
    {"Axis:|Door|0|Chest|1|Drawer|2|X|3|Y|4|Z|5|-X|6|-Y|7|-Z|8|", PropertyKind::Enumeration, cmd::door::SetDoorAxis_758, cmd::door::GetDoorAxis_759},
    {"Auto Close:", PropertyKind::CheckBox, cmd::door::SetDoorAutoclose, cmd::door::GetDoorAutoclose},
    {"Never Auto Close On Collision:", PropertyKind::CheckBox, cmd::door::SetDoorNeverAutocloseOnCollision, cmd::door::GetDoorNeverAutocloseOnCollision},
    {"Auto Open:", PropertyKind::CheckBox, cmd::door::SetDoorAutoopen, cmd::door::GetDoorAutoopen},
    {"Open Away From Opener:", PropertyKind::CheckBox, cmd::door::SetDoorOpenAwayFromOpener, cmd::door::GetDoorOpenAwayFromOpener},
    {"Use Connector:", PropertyKind::CheckBox, cmd::door::SetUseConnector, cmd::door::GetUseConnector},
    {"Set Open, Close, Auto Close Timers", PropertyKind::Caption, 0, 0},
    {"Open:", PropertyKind::Time, cmd::door::SetDoorOpenTime, cmd::door::GetDoorOpenTime},
    {"Close:", PropertyKind::Time, cmd::door::SetDoorCloseTime, cmd::door::GetDoorCloseTime},
    {"Auto Close:", PropertyKind::Time, cmd::door::SetDoorAutocloseTime, cmd::door::GetDoorAutocloseTime},
    {"Angle:", PropertyKind::Real, cmd::door::SetOpenAngle, cmd::door::GetOpenAngle},
    {"Length:", PropertyKind::Real, cmd::door::SetOpenLength, cmd::door::GetOpenLength},
    {"Axis:", PropertyKind::Vector, cmd::door::SetDoorAxis_783, cmd::door::GetDoorAxis_784},
    {"Open Door:|Open|", PropertyKind::Button, cmd::door::OpenDoor_768, 0},
    {"Close Door:|Close|", PropertyKind::Button, cmd::door::CloseDoor, 0},
    {"Door Sound Properties", PropertyKind::PageTitle, 0, 0},
    {"Sound Style Switch:", PropertyKind::CheckBox, cmd::door::SetSoundSwitch, cmd::door::GetSoundSwitch},
    {"Door Lock Properties", PropertyKind::PageTitle, 0, 0},
    {"Set Lockgroups", PropertyKind::GroupMask, cmd::door::SetLockgroup, cmd::door::GetLockgroup},
    {"Locked:", PropertyKind::CheckBox, cmd::door::SetLockLocked, cmd::door::GetLockLocked},
    {"Lock Time:", PropertyKind::Time, cmd::door::SetLockTime, cmd::door::GetLockTime},
};
// clang-format on

float AtLeastMinTime(float time) { return AtLeast(time, kMinTime); }
float AtLeastMinLength(float length) { return AtLeast(length, kMinLength); }

// The property commands that only store a field.
const FieldCommand<DoorActor, uint32_t> kWords[] = {
    {cmd::door::SetDoorAnimationType, cmd::door::GetDoorAnimationType, &DoorActor::animationType},
    {cmd::door::SetDoorAutoclose, cmd::door::GetDoorAutoclose, &DoorActor::autoClose, &AsFlag},
    {cmd::door::SetDoorNeverAutocloseOnCollision, cmd::door::GetDoorNeverAutocloseOnCollision,
     &DoorActor::neverAutoCloseOnCollision, &AsFlag},
    {cmd::door::SetDoorAutoopen, cmd::door::GetDoorAutoopen, &DoorActor::autoOpen, &AsFlag},
    {cmd::door::SetDoorOpenAwayFromOpener, cmd::door::GetDoorOpenAwayFromOpener,
     &DoorActor::openAwayFromOpener, &AsFlag},
    {cmd::door::SetLockgroup, cmd::door::GetLockgroup, &DoorActor::lockGroups},
    {cmd::door::SetSoundSwitch, cmd::door::GetSoundSwitch, &DoorActor::soundSwitch, &AsFlag},
};
const FieldCommand<DoorActor, float> kReals[] = {
    {cmd::door::SetDoorOpenTime, cmd::door::GetDoorOpenTime, &DoorActor::openTime, &AtLeastMinTime},
    {cmd::door::SetDoorCloseTime, cmd::door::GetDoorCloseTime, &DoorActor::closeTime,
     &AtLeastMinTime},
    {cmd::door::SetDoorAutocloseTime, cmd::door::GetDoorAutocloseTime, &DoorActor::autoCloseTime,
     &AtLeastMinTime},
    {cmd::door::SetOpenLength, cmd::door::GetOpenLength, &DoorActor::openLength, &AtLeastMinLength},
    {cmd::door::SetLockTime, cmd::door::GetLockTime, &DoorActor::lockTime},
};

void Point(ActorLink &link, Actor *actor) {
    link.Release();
    link.Assign(actor);
}

} // namespace

DoorActor::DoorActor() : leaf1(this), leaf2(this) {
    classId = kDoorClassId;
    for (ActorLink &link : sounds) {
        link.origin = this;
    }
}

void DoorActor::RegisterClass() { RegisterBasicClassSheet(kDoorClassId, kSheet); }

// --- children ------------------------------------------------------------------------

void DoorActor::BuildChildren() {
    for (ActorLink &link : sounds) {
        link.Release();
    }
    leaf1.Release();
    leaf2.Release();
    const std::vector<ChildRef> old = SnapshotChildren(this);
    for (auto ref = old.rbegin(); ref != old.rend(); ++ref) {
        if (Actor *child = ResolveChild(this, *ref)) {
            DeleteActor(child);
        }
    }
    if (doorType > kDoorDoubleSide) {
        return;
    }
    const auto mesh = static_cast<int32_t>(kMeshObjectClassId);
    CreateActor(mesh, "Door_Frame", nullptr, this, -1, true);
    Point(leaf1, CreateActor(mesh, "Door_1", nullptr, this, -1, true));
    if (doorType == kDoorDouble || doorType == kDoorDoubleSide) {
        Point(leaf2, CreateActor(mesh, "Door_2", nullptr, this, -1, true));
    }
    const auto sound = static_cast<int32_t>(kSoundClassId);
    Point(sounds[kSoundOpen], CreateActor(sound, "Open", nullptr, this, -1, true));
    Point(sounds[kSoundClose], CreateActor(sound, "Close", nullptr, this, -1, true));
    for (const auto &ref : SnapshotChildren(this)) {
        if (Actor *child = ResolveChild(this, ref)) {
            SendCommandArgs(child, cmd::base::LockTransform, 1u);
        }
    }
}

void DoorActor::FindChildren() {
    for (size_t i = 0; i < kDoorSoundCount; ++i) {
        Point(sounds[i], FindDescendantByName(this, kSoundNames[i]));
    }
    Actor *first = FindDescendantByName(this, "Door 1");
    Point(leaf1, first != nullptr ? first : FindDescendantByName(this, "Door_1"));
    Actor *second = FindDescendantByName(this, "Door 2");
    Point(leaf2, second != nullptr ? second : FindDescendantByName(this, "Door_2"));
    for (DoorSound looped : {kSoundOpening, kSoundClosing}) {
        if (Actor *child = Sound(looped)) {
            SendCommandArgs(child, cmd::sound::SetSoundPlayStyle, 1u);
        }
    }
    if (doorState != kDoorClosed) {
        Subscribe();
    }
}

void DoorActor::SetUseConnector(bool on) {
    useConnector = on ? 1 : 0;
    if (on) {
        Actor *connector = CreateActor(static_cast<int32_t>(kDrawGroupConnectorClassId),
                                       "Door Connector", nullptr, this, -1, true);
        SendCommandArgs(connector, cmd::draw_group_connector::SetConnactorType, kConnectorDoor);
        return;
    }
    ActorSystem *system = GetActorSystem();
    for (Actor *child : children) {
        if (child != nullptr && child->classId == kDrawGroupConnectorClassId) {
            if (system != nullptr) {
                system->SelectActor(child);
            }
            return;
        }
    }
}

// --- commands ------------------------------------------------------------------------

void DoorActor::Raise(uint32_t eventId) { HandleCommand(eventId, ParamBlock()); }

void DoorActor::Echo(uint32_t commandId, ParamBlock block) {
    if (ActorSystem *system = GetActorSystem()) {
        system->NetSendCommand(static_cast<uint32_t>(actorId), commandId, block);
    }
}

void DoorActor::SetLocked(uint32_t value) {
    locked = lockGroups == 0 ? 0 : value;
    Raise(locked != 0 ? cmd::door::OnDoorLock : cmd::door::OnDoorUnlock);
}

void DoorActor::OpenBy(uint32_t userId) {
    SendCommandArgs(this, cmd::door::OpenDoor_770, userId);
    uint32_t id = userId;
    Echo(cmd::door::OpenDoor_770, ParamBlock(&id, sizeof(id)));
}

void DoorActor::StartTimedUnlock(uint32_t userId, float duration) {
    unlockActive = 1;
    unlockHeld = 1;
    unlockElapsed = 0.0f;
    unlockDuration = duration;
    unlockUser = userId;
    Raise(cmd::door::OnDoorLocked);
    Subscribe();
}

void DoorActor::Act(uint32_t userId, uint32_t itemId) {
    if (lockChangeTimer < 1.0f) {
        return;
    }
    if (unlockActive != 0) {
        unlockHeld = 1;
        return;
    }
    if (doorState != kDoorClosed) {
        return;
    }
    Actor *item = GetActorById(itemId);
    if (item == nullptr || item->classId != kGameObjectClassId ||
        Query<uint32_t>(item, cmd::game_object::GetGameobjectType_603) != kItemTypeKey) {
        if (locked == 0) {
            OpenBy(userId);
        } else {
            StartTimedUnlock(userId, lockTime);
        }
        return;
    }
    const uint32_t keyGroups = Query<uint32_t>(item, cmd::game_object::GetKeygroup);
    const float keyTime = Query<float>(item, cmd::game_object::GetKeyTime);
    const bool match = (keyGroups & lockGroups) != 0 && keyTime == 0.0f;
    if (locked == 0 && match) {
        lockChangeTimer = 0.0f;
        SendCommandArgs(this, cmd::door::SetLockLocked, true);
        float time = lockTime;
        Echo(cmd::door::SetLockTime, ParamBlock(&time, sizeof(time)));
        uint32_t on = 1;
        Echo(cmd::door::SetLockLocked, ParamBlock(&on, sizeof(on)));
    } else if (locked == 0) {
        OpenBy(userId);
    } else if (match) {
        locked = 0;
        Raise(cmd::door::OnDoorUnlock);
        SendCommandArgs(this, cmd::door::OpenDoor_770, userId);
        uint32_t off = 0;
        Echo(cmd::door::SetLockLocked, ParamBlock(&off, sizeof(off)));
        uint32_t id = userId;
        Echo(cmd::door::OpenDoor_770, ParamBlock(&id, sizeof(id)));
    } else {
        StartTimedUnlock(userId, keyTime != 0.0f ? lockTime * keyTime : lockTime);
    }
}

void DoorActor::CollisionEvent(ParamBlock block) {
    const auto *other = static_cast<const ColObj *>(block.ReadPointer(0));
    if (other == nullptr || (other->flags & kColObjQualifies) == 0) {
        return;
    }
    Actor *character = other->owner;
    if (character == nullptr || character->classId != kCharacterClassId ||
        !character->HasFlag(kActorMaster)) {
        return;
    }
    if (locked == 0 && autoOpen != 0 && doorState == kDoorClosed) {
        OpenBy(static_cast<uint32_t>(character->actorId));
    }
    if (CharacterCollisionHold(character) != 0) {
        collisionHold = 1;
    }
}

void DoorActor::CopyDoor(const DoorActor &source) {
    // The source's children are not this door's: "Precalculate" finds its
    // own.
    static_cast<DoorFields &>(*this) = source;
}

int DoorActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    if (ServeFieldCommand(kWords, *this, commandId, block) ||
        ServeFieldCommand(kReals, *this, commandId, block)) {
        return Actor::HandleCommand(commandId, block);
    }
    switch (commandId) {
    case cmd::door::SetDoorType:
        doorType = block.ReadU32(0);
        BuildChildren();
        break;
    case cmd::door::GetDoorType:
        block.WriteU32(0, doorType);
        break;
    case cmd::door::SetDoorAxis_758:
        axisPreset = block.ReadU32(0);
        if (axisPreset < std::size(kAxisPresets)) {
            axis = kAxisPresets[axisPreset];
        }
        break;
    case cmd::door::GetDoorAxis_759:
        block.WriteU32(0, axisPreset);
        break;
    case cmd::door::OpenDoor_768:
        BeginOpen(0.0f, 0.0f, 0.0f);
        break;
    case cmd::door::CloseDoor:
        BeginClose();
        break;
    case cmd::door::OpenDoor_770:
        if (Actor *opener = GetActorById(block.ReadU32(0))) {
            Vector3 at = {0.0f, 0.0f, 0.0f};
            opener->HandleCommand(cmd::base::GetWSPosition, ParamBlock(&at, sizeof(at)));
            BeginOpen(at.x, at.y, at.z);
        }
        break;
    case cmd::door::SetUseConnector:
        SetUseConnector(block.ReadU32(0) != 0);
        break;
    case cmd::door::GetUseConnector:
        block.WriteU32(0, useConnector);
        break;
    case cmd::door::SetOpenAngle:
        openAngle = block.ReadF32(0) * kRadians;
        break;
    case cmd::door::GetOpenAngle:
        block.WriteF32(0, openAngle * kDegrees);
        break;
    case cmd::door::SetDoorAxis_783:
        axis = block.Read<Vector3>(0);
        break;
    case cmd::door::GetDoorAxis_784:
        block.Write(0, axis);
        break;
    case cmd::door::SetLockGroup: {
        // Groups are numbered 1 to 32; other numbers name no bit.
        const uint32_t n = block.ReadU32(0);
        if (n >= 1 && n <= 32) {
            const uint32_t bit = 1u << (n - 1);
            lockGroups = block.ReadU32(4) != 0 ? (lockGroups | bit) : (lockGroups & ~bit);
        }
        break;
    }
    case cmd::door::SetLockLocked:
        SetLocked(block.ReadU32(0) != 0 ? 1 : 0);
        break;
    case cmd::door::GetLockLocked:
        block.WriteU32(0, locked);
        break;
    case cmd::character::Action:
        if (block.Fits(0, 8)) {
            Act(block.ReadU32(0), block.ReadU32(4));
        }
        break;
    case cmd::base::CollisionEvent:
        CollisionEvent(block);
        break;
    case cmd::base::Precalculate:
        FindChildren();
        break;
    case cmd::base::Create: {
        if (auto *source = CreateSource(*this, block)) {
            CopyDoor(*source);
        }
        break;
    }
    case cmd::base::InvalidActorPointer:
        // A deleted child: its link is already clear.
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

// --- motion --------------------------------------------------------------------------

void DoorActor::Subscribe() { EnsureProcessEntry(*this); }

// Cancelled and forgotten at once, so that a command later in the frame
// subscribes again.
void DoorActor::EndSubscription() {
    if (processEntry != nullptr) {
        ActorSystem::CancelScheduledCommand(processEntry);
        processEntry = nullptr;
    }
}

void DoorActor::PlaySound(DoorSound which) {
    if (Actor *sound = Sound(which)) {
        sound->HandleCommand(cmd::sound::PlaySound, ParamBlock());
    }
}

void DoorActor::StopSound(DoorSound which) {
    if (Actor *sound = Sound(which)) {
        sound->HandleCommand(cmd::sound::StopSound, ParamBlock());
    }
}

void DoorActor::BeginOpen(float x, float y, float z) {
    if (doorState != kDoorClosed) {
        return;
    }
    if (useConnector != 0) {
        SendCommandToChildren(this, cmd::draw_group_connector::OpenConnactor, ParamBlock());
    }
    Subscribe();
    doorState = kDoorOpening;
    angularSpeed = openAngle / openTime;
    if (x != 0.0f && openAwayFromOpener != 0 && Leaf1() != nullptr) {
        Actor *leaf = Leaf1();
        const Matrix &world = leaf->GetWorldMatrix();
        Vector3 facing;
        Vec3TransformNormal(&facing, {0.0f, 0.0f, 1.0f}, world);
        const Vector3 at = leaf->GetWorldPosition();
        if (Vec3Dot(facing, {x, y, z}) - Vec3Dot(facing, at) <= 0.0f) {
            angularSpeed = -openAngle / openTime;
        }
    }
    linearVelocity = Vec3Scale(axis, openLength / openTime);
    motionClock = 0.0f;
    if (Actor *leaf = Leaf1()) {
        leaf->HandleCommand(cmd::base::GetPosition, ParamBlock(&closedPosition1, sizeof(Vector3)));
        leaf->HandleCommand(cmd::base::GetQuaternion,
                            ParamBlock(&closedRotation1, sizeof(Quaternion)));
    }
    if (Actor *leaf = Leaf2()) {
        leaf->HandleCommand(cmd::base::GetPosition, ParamBlock(&closedPosition2, sizeof(Vector3)));
        leaf->HandleCommand(cmd::base::GetQuaternion,
                            ParamBlock(&closedRotation2, sizeof(Quaternion)));
    }
    openEventPending = 1;
}

void DoorActor::FireOpenEvent() {
    PlaySound(kSoundOpen);
    PlaySound(kSoundOpening);
    Raise(cmd::door::OnDoorOpen);
}

void DoorActor::FinishOpen() {
    doorState = kDoorOpened;
    motionClock = 0.0f;
    StopSound(kSoundOpening);
    if (soundSwitch != 0) {
        PlaySound(kSoundClose);
    }
    Raise(cmd::door::OnDoorOpened);
}

void DoorActor::BeginClose() {
    if (doorState != kDoorOpened) {
        return;
    }
    const float speed = openAngle / closeTime;
    angularSpeed = angularSpeed > 0.0f ? -speed : speed;
    doorState = kDoorClosing;
    linearVelocity = Vec3Scale(axis, -openLength / closeTime);
    if (soundSwitch != 0) {
        PlaySound(kSoundOpen);
    }
    if (Sound(kSoundClosing) != nullptr) {
        PlaySound(kSoundClosing);
    } else if (soundSwitch != 0) {
        PlaySound(kSoundOpening);
    }
    motionClock = 0.0f;
    Raise(cmd::door::OnDoorClose);
}

void DoorActor::CloseConnectors() {
    if (useConnector != 0) {
        SendCommandToChildren(this, cmd::draw_group_connector::CloseConnactor, ParamBlock());
    }
    closeFinishPending = 1;
}

void DoorActor::FinishClose() {
    if (Actor *leaf = Leaf1()) {
        SendCommandArgs(leaf, cmd::base::SetPosition, closedPosition1);
        SendCommandArgs(leaf, cmd::base::SetQuaternion, closedRotation1);
    }
    if (Actor *leaf = Leaf2()) {
        SendCommandArgs(leaf, cmd::base::SetPosition, closedPosition2);
        SendCommandArgs(leaf, cmd::base::SetQuaternion, closedRotation2);
    }
    PlaySound(kSoundClose);
    StopSound(kSoundOpening);
    StopSound(kSoundClosing);
    doorState = kDoorClosed;
    motionClock = 0.0f;
    Raise(cmd::door::OnDoorClosed);
    EndSubscription();
}

void DoorActor::MoveLeaves(float dt) {
    const bool turning = doorType == kDoorSingle || doorType == kDoorDouble;
    const bool two = doorType == kDoorDouble || doorType == kDoorDoubleSide;
    if (doorType > kDoorDoubleSide) {
        return;
    }
    const float sense[2] = {1.0f, -1.0f};
    Actor *leaves[2] = {Leaf1(), two ? Leaf2() : nullptr};
    for (size_t i = 0; i < 2; ++i) {
        if (leaves[i] == nullptr) {
            continue;
        }
        if (turning) {
            Quaternion turn;
            QuaternionRotationAxis(&turn, axis, sense[i] * dt * angularSpeed);
            SendCommandArgs(leaves[i], cmd::base::QuaternionMultiply, turn);
        } else {
            SendCommandArgs(leaves[i], cmd::base::PositionAdd,
                            Vec3Scale(linearVelocity, sense[i] * dt));
        }
    }
}

void DoorActor::RunTimedUnlock(float dt) {
    unlockElapsed += dt;
    if (unlockHeld == 0) {
        unlockActive = 0;
        // Only a door at rest gives up its processing: one that another
        // command set moving meanwhile goes on.
        if (doorState == kDoorClosed && openEventPending == 0 && closeFinishPending == 0) {
            EndSubscription();
        }
    }
    if (unlockElapsed > 0.1f) {
        SendCommandArgs(GetActorById(static_cast<uint32_t>(kInventoryActorId)),
                        cmd::door::UnlockProgress,
                        unlockElapsed, unlockDuration);
    }
    if (unlockElapsed > unlockDuration) {
        unlockActive = 0;
        SendCommandArgs(this, cmd::door::SetLockLocked, false);
        SendCommandArgs(this, cmd::door::OpenDoor_770, unlockUser);
        lockChangeTimer = 0.0f;
        uint32_t off = 0;
        Echo(cmd::door::SetLockLocked, ParamBlock(&off, sizeof(off)));
        uint32_t user = unlockUser;
        Echo(cmd::door::OpenDoor_770, ParamBlock(&user, sizeof(user)));
    }
    unlockHeld = 0;
}

void DoorActor::Process() {
    if (!IsOperational()) {
        return;
    }
    RefreshTimeRecord(timeRecord);
    const float dt = timeRecord != nullptr ? timeRecord->delta : 0.0f;
    if (openEventPending != 0) {
        FireOpenEvent();
        openEventPending = 0;
    }
    if (closeFinishPending != 0) {
        FinishClose();
        closeFinishPending = 0;
    }
    if (unlockActive != 0) {
        RunTimedUnlock(dt);
    }
    switch (doorState) {
    case kDoorOpened:
        if (autoClose != 0) {
            motionClock += dt;
            if (motionClock > autoCloseTime) {
                if (neverAutoCloseOnCollision == 0 || collisionHold == 0) {
                    BeginClose();
                }
                collisionHold = 0;
            }
        }
        break;
    case kDoorOpening:
        motionClock += dt;
        if (motionClock > openTime) {
            FinishOpen();
        } else {
            MoveLeaves(dt);
        }
        break;
    case kDoorClosing:
        motionClock += dt;
        if (motionClock > closeTime) {
            CloseConnectors();
        } else {
            MoveLeaves(dt);
        }
        break;
    default:
        break;
    }
}

void DoorActor::CountLockTimer() {
    RefreshTimeRecord(timeRecord);
    if (timeRecord != nullptr && lockTimerFrame != FrameCounter) {
        lockTimerFrame = FrameCounter;
        lockChangeTimer += timeRecord->delta;
    }
}

void DoorActor::Update() {
    if (!IsOperational()) {
        return;
    }
    CountLockTimer();
    if (useConnector == 0) {
        Actor::Update();
    }
}

void DoorActor::Draw(float) {
    if (!IsOperational()) {
        return;
    }
    CountLockTimer();
    Actor::Update();
}

// --- file ----------------------------------------------------------------------------

int DoorActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const uint32_t version = archive.Version();
    if (version != 0) {
        archive.SerializeWord(&doorType);
        archive.SerializeWord(&animationType);
        archive.SerializeFloat(&openTime);
        archive.SerializeFloat(&closeTime);
        archive.SerializeFloat(&autoCloseTime);
        archive.SerializeWord(&autoClose);
        archive.SerializeWord(&axisPreset);
        archive.SerializeWord(&useConnector);
        archive.SerializeFloat(&openLength);
        archive.SerializeWords(&axis, 3);
    }
    if (version >= 3) {
        archive.SerializeWord(&lockGroups);
        archive.SerializeWord(&locked);
        archive.SerializeFloat(&lockTime);
        archive.SerializeWord(&autoOpen);
        archive.SerializeWord(&openAwayFromOpener);
    }
    // Kept as the file format has it: this changes the live door on writing
    // too.
    if (lockTime < 1.0f) {
        lockTime = 20.0f;
    }
    if (lockGroups == 0) {
        lockGroups = 1;
    }
    if (version >= 9) {
        archive.SerializeWord(&soundSwitch);
        archive.SerializeWord(&neverAutoCloseOnCollision);
        uint32_t reserved[4] = {0, 0, 0, 0};
        archive.SerializeWords(reserved, 4);
    }
    if (version >= 25) {
        archive.SerializeFloat(&openAngle);
    }
    if (version >= 28) {
        archive.SerializeWord(&doorState);
        archive.SerializeFloat(&angularSpeed);
        archive.SerializeWords(&linearVelocity, 3);
        archive.SerializeWords(&closedPosition1, 3);
        archive.SerializeWords(&closedPosition2, 3);
        archive.SerializeWords(&closedRotation1, 4);
        archive.SerializeWords(&closedRotation2, 4);
    }
    if (!archive.IsWriting()) {
        // A file does not get past the floors the setters keep.
        openTime = AtLeast(openTime, kMinTime);
        closeTime = AtLeast(closeTime, kMinTime);
        autoCloseTime = AtLeast(autoCloseTime, kMinTime);
        openLength = AtLeast(openLength, kMinLength);
    }
    return archive.Failed() ? 0 : 1;
}

void DoorActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back(
        "door type " + std::to_string(doorType) + " state " + std::to_string(doorState) +
        " anim " + std::to_string(animationType) + " times " + DumpNumber(openTime) + ' ' +
        DumpNumber(closeTime) + ' ' + DumpNumber(autoCloseTime) + " autoclose " +
        std::to_string(autoClose) + " never " + std::to_string(neverAutoCloseOnCollision) +
        " autoopen " + std::to_string(autoOpen) + " away " + std::to_string(openAwayFromOpener) +
        " axis " + std::to_string(axisPreset) + ' ' + DumpNumber(axis.x) + ' ' +
        DumpNumber(axis.y) + ' ' + DumpNumber(axis.z) + " connector " +
        std::to_string(useConnector) + " length " + DumpNumber(openLength) + " angle " +
        DumpNumber(openAngle) + " lockgroups " + std::to_string(lockGroups) + " locked " +
        std::to_string(locked) + " locktime " + DumpNumber(lockTime) + " sound " +
        std::to_string(soundSwitch));
}
