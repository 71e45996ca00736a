// The AutoAim's registration, property sheet, commands, gathering and
// choosing of the target, the aim of types 0 and 2, and its actor-file
// record. The lock-on mode of type 91 is in auto_aim_lock.cpp.
#include "actors/characters/auto_aim_actor.h"

#include <algorithm>
#include <cmath>

#include "actors/characters/character_actor.h"
#include "actors/characters/character_services.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "core/actors/enable_commands.h"
#include "core/actors/param_block.h"
#include "core/actors/time_record.h"

namespace {

constexpr uint32_t kOnceNextPump = 0x700;
constexpr uint32_t kOnceDelayed = 0x200;
constexpr uint32_t kOldEnableVersion = 64;
constexpr int kAnswerChanged = 2;
constexpr int kAnswerNotApplicable = 8;
constexpr float kFarAway = 1.0e12f;
constexpr float kHalfPi = 1.5707964f;

const PropertyItem kSheet[] = {
    PropertyItem::PropertyItemBasic("AutoAim Properties", PropertyKind::PageTitle, 0, 0),
    PropertyItem::PropertyItemBasic(
        "Type:|2Axis|0|Spherical|1|_test2|2|_test3|3|_test4|4|_test5|5|WrenZT|91|",
        PropertyKind::Enumeration, cmd::auto_aim::SetAutoaimType, cmd::auto_aim::GetAutoaimType),
    PropertyItem::PropertyItemBasic("affected by parent", PropertyKind::CheckBox,
                                    cmd::auto_aim::SetAutoaimAffectedbyparent_1726,
                                    cmd::auto_aim::SetAutoaimAffectedbyparent_1727),
    PropertyItem::PropertyItemBasic("SmoothStyle:|No Smooth|0|Linear|1|Accelerated|2|",
                                    PropertyKind::Enumeration,
                                    cmd::auto_aim::SetAutoaimSmoothstyle_1722,
                                    cmd::auto_aim::SetAutoaimSmoothstyle_1723),
    PropertyItem::PropertyItemBasic("", PropertyKind::Caption, 0, 0),
    PropertyItem::PropertyItemBasic("Use Limits,", PropertyKind::CheckBox,
                                    cmd::auto_aim::SetAutoaimUselimits,
                                    cmd::auto_aim::GetAutoaimUselimits),
    PropertyItem("LimitHorizontal", PropertyKind::Angle, cmd::auto_aim::SetAutoaimLimithorizontal,
                 cmd::auto_aim::GetAutoaimLimithorizontal, 1, 0.0f, kPi, 1.0f, nullptr),
    PropertyItem("LimitVerticalMin", PropertyKind::Angle, cmd::auto_aim::SetAutoaimLimitverticalmin,
                 cmd::auto_aim::GetAutoaimLimitverticalmin, 1, -kHalfPi, kHalfPi, 1.0f,
                 nullptr),
    PropertyItem("LimitVerticalMax", PropertyKind::Angle, cmd::auto_aim::SetAutoaimLimitverticalmax,
                 cmd::auto_aim::GetAutoaimLimitverticalmax, 1, -kHalfPi, kHalfPi, 1.0f,
                 nullptr),
    PropertyItem::PropertyItemBasic("Turnspeed|\xB0/s|", PropertyKind::Angle,
                                    cmd::auto_aim::SetAutoaimTurnspeed,
                                    cmd::auto_aim::GetAutoaimTurnspeed),
    PropertyItem::PropertyItemBasic("Damper", PropertyKind::Real, cmd::auto_aim::SetAutoaimDamper,
                                    cmd::auto_aim::GetAutoaimDamper),
    PropertyItem::PropertyItemBasic("Inside Event Treshold", PropertyKind::Angle,
                                    cmd::auto_aim::Jkhj, cmd::auto_aim::Ghgh),
    PropertyItem::PropertyItemBasic("", PropertyKind::Caption, 0, 0),
    PropertyItem::PropertyItemBasic("Auto Relase Target", PropertyKind::CheckBox,
                                    cmd::auto_aim::SetAutoaimAUTORELEASETARGET,
                                    cmd::auto_aim::GetAutoaimAUTORELEASETARGET),
    PropertyItem::PropertyItemBasic("Auto Relase Target Time", PropertyKind::Real,
                                    cmd::auto_aim::SetAutoaimAUTORELEASETARGETTIME,
                                    cmd::auto_aim::GetAutoaimAUTORELEASETARGETTIME),
    PropertyItem::PropertyItemBasic("Block TresholdExitEvent On RelaseTarget", PropertyKind::Real,
                                    cmd::auto_aim::SetAutoaimAUTORELEASETARGETTIME,
                                    cmd::auto_aim::GetAutoaimAUTORELEASETARGETTIME),
    PropertyItem::PropertyItemBasic("", PropertyKind::Caption, 0, 0),
    PropertyItem::PropertyItemBasic("Target Evaluation:", PropertyKind::Caption, 0, 0),
    PropertyItem::PropertyItemBasic("Dont use Collision (Manual Target)", PropertyKind::CheckBox,
                                    cmd::auto_aim::SetAutoaimManualtargetselect_1724,
                                    cmd::auto_aim::SetAutoaimManualtargetselect_1725),
    PropertyItem::PropertyItemBasic("Effect By Penetration", PropertyKind::Real,
                                    cmd::auto_aim::SetAutoaimEffectbypenetration,
                                    cmd::auto_aim::GetAutoaimEffectbypenetration),
    PropertyItem::PropertyItemBasic("Manual AimTarget", PropertyKind::ActorReference,
                                    cmd::auto_aim::SetAimTarget, cmd::auto_aim::GetAimTarget),
    PropertyItem::PropertyItemBasic("OutPutRotation", PropertyKind::ActorReference,
                                    cmd::auto_aim::SetAimOutput, cmd::auto_aim::GetAimOutput),
};

// A flag-word property: the bits it owns, their shift, and whether setting
// it answers 2.
struct BitsProperty {
    uint32_t set;
    uint32_t get;
    uint32_t mask;
    uint32_t shift;
    bool answersChanged;
};
const BitsProperty kBits[] = {
    {1720, 1721, kAimOutputMask, 0, false},
    {1722, 1723, kAimSmoothMask, kAimSmoothShift, true},
    {1724, 1725, kAimManualTarget, 6, true},
    {1726, 1727, kAimAffectedByParent, 7, false},
    {1728, 1729, kAimUseLimits, 8, true},
    {1730, 1731, kAimUsePrediction, 9, true},
    {1748, 1749, kAimAutoRelease, 10, true},
};

// A real property; its get answers 8 unless `applies` holds.
struct RealProperty {
    uint32_t set;
    uint32_t get;
    float AutoAimFields::*field;
    bool (*applies)(const AutoAimActor &aim);
};
bool Always(const AutoAimActor &) { return true; }
bool LimitsOn(const AutoAimActor &aim) { return (aim.aimFlags & kAimUseLimits) != 0; }
bool Smoothed(const AutoAimActor &aim) { return aim.SmoothStyle() != kAimNoSmooth; }
bool Accelerated(const AutoAimActor &aim) { return aim.SmoothStyle() == kAimAccelerated; }
bool ReleaseOn(const AutoAimActor &aim) { return (aim.aimFlags & kAimAutoRelease) != 0; }

const RealProperty kReals[] = {
    {1732, 1733, &AutoAimFields::limitHorizontal, &LimitsOn},
    {1734, 1735, &AutoAimFields::limitVerticalMin, &LimitsOn},
    {1736, 1737, &AutoAimFields::limitVerticalMax, &LimitsOn},
    {1738, 1739, &AutoAimFields::turnSpeed, &Smoothed},
    {1740, 1741, &AutoAimFields::damper, &Accelerated},
    {1742, 1743, &AutoAimFields::penetrationEffect, &Always},
    {1744, 1745, &AutoAimFields::predictionTimeOffset, &Always},
    {1746, 1747, &AutoAimFields::predictionDistanceTime, &Always},
    {1750, 1751, &AutoAimFields::autoReleaseTime, &ReleaseOn},
    {1752, 1753, &AutoAimFields::insideThreshold, &Always},
};

Vector3 CenterPoint(Actor *actor) {
    Vector3 point = {0.0f, 0.0f, 0.0f};
    SendIfPresent(actor, cmd::base::GetCenterPoint, ParamBlock(&point, sizeof(point)));
    return point;
}

} // namespace

AutoAimActor::AutoAimActor() {
    classId = kAutoAimClassId;
    state |= kActorEnabled;
    for (LockSlot &slot : lockSlots) {
        slot.link.origin = this;
    }
}

AutoAimActor::~AutoAimActor() = default;

void AutoAimActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kAutoAimClassId);
    descriptor.lineage = {0, kAutoAimClassId};
    descriptor.items.assign(std::begin(kSheet), std::end(kSheet));
}

// --- commands ----------------------------------------------------------------------

bool AutoAimActor::ServeSetting(uint32_t commandId, ParamBlock block, int *answer) {
    for (const BitsProperty &p : kBits) {
        if (commandId == p.set) {
            aimFlags = (aimFlags & ~p.mask) | ((block.ReadU32(0) << p.shift) & p.mask);
            if (commandId == cmd::auto_aim::SetAutoaimSmoothstyle_1722) {
                pitchVelocity = 0.0f;
                yawVelocity = 0.0f;
            }
            *answer = p.answersChanged ? kAnswerChanged : 0;
            return true;
        }
        if (commandId == p.get) {
            block.WriteU32(0, (aimFlags & p.mask) >> p.shift);
            return true;
        }
    }
    for (const RealProperty &p : kReals) {
        if (commandId == p.set) {
            this->*p.field = block.ReadF32(0);
            return true;
        }
        if (commandId == p.get) {
            if (!p.applies(*this)) {
                *answer = kAnswerNotApplicable;
                return true;
            }
            block.WriteF32(0, this->*p.field);
            return true;
        }
    }
    return false;
}

int AutoAimActor::SetLink(ActorLink &link, uint32_t commandId, ParamBlock block) {
    ParamReader reader(commandId, block);
    const ParamReader::ActorExt value = reader.ActorPointerExt();
    if (value.actor != nullptr) {
        link.Release();
        link.Assign(value.actor);
        return 1;
    }
    if (!value.text.empty()) {
        link.Release();
        link.path = std::string(value.text);
        link.Resolve();
        return 1;
    }
    link.Release();
    return 0;
}

int AutoAimActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    int answer = 0;
    if (ServeSetting(commandId, block, &answer)) {
        return answer != 0 ? answer : Actor::HandleCommand(commandId, block);
    }
    if (ServeEnableCommands(*this, commandId)) {
        return Actor::HandleCommand(commandId, block);
    }
    switch (commandId) {
    case cmd::auto_aim::SetAutoaimType:
        SetType(block.ReadU32(0));
        return kAnswerChanged;
    case cmd::auto_aim::GetAutoaimType:
        block.WriteU32(0, aimType);
        break;
    case cmd::auto_aim::SetAimTarget:
    case cmd::auto_aim::SetAimOutput:
        if (SetLink(commandId == cmd::auto_aim::SetAimTarget ? aimTarget : aimOutput, commandId,
                    block)) {
            return 1;
        }
        break;
    case cmd::auto_aim::GetAimTarget:
    case cmd::auto_aim::GetAimOutput: {
        const ActorLink &link = commandId == cmd::auto_aim::GetAimTarget ? aimTarget : aimOutput;
        block.WriteActor(0, link.target);
        block.WriteString(sizeof(Actor *), link.path);
        break;
    }
    case cmd::auto_aim::AutoAimPostCollision:
        if (aimType == kAimTypeLockOn) {
            LockPostCollision();
        } else {
            ChooseTarget();
        }
        break;
    case cmd::auto_aim::AutoAimReleaseTarget:
        ReleaseTarget();
        break;
    case cmd::auto_aim::AutoAimManualAimNotify:
        ManualAimNotify();
        break;
    case cmd::auto_aim::AutoAimUnhook:
        Unhook();
        break;
    case cmd::auto_aim::AutoAimUpdate:
        LockUpdate();
        break;
    case cmd::auto_aim::ToggleLockSwitch:
        ToggleLockSwitch();
        break;
    case cmd::base::ZT_338:
        SetParentFlag(kCharManualAimHold, false);
        break;
    case cmd::base::InitLoad:
        if (GetActorSystem() != nullptr && GetActorSystem()->GetFileVersion() < kOldEnableVersion) {
            const bool on = aimType == kAimType2Axis || aimType == kAimTypeSpherical;
            state = on ? (state | kActorEnabled) : (state & ~kActorEnabled);
        }
        break;
    case cmd::base::Precalculate:
        flags &= ~kActorFlag11;
        aimTarget.origin = this;
        aimOutput.origin = this;
        for (LockSlot &slot : lockSlots) {
            slot.link.origin = this;
        }
        aimTarget.Resolve();
        aimOutput.Resolve();
        break;
    case cmd::base::Create:
        if (auto *source = CreateSource(*this, block)) {
            static_cast<AutoAimFields &>(*this) = *source;
            aimTarget.AssignCopy(source->aimTarget);
            aimOutput.AssignCopy(source->aimOutput);
            // The aim as it stands: the locks and the smoothed angles. The
            // candidates wait for the template's own "PostCollision".
            for (size_t i = 0; i < lockSlots.size(); ++i) {
                const LockSlot &from = source->lockSlots[i];
                LockSlot &to = lockSlots[i];
                to.link.AssignCopy(from.link);
                to.changed = from.changed;
                to.marker = from.marker;
                to.brightness = from.brightness;
                to.fade = from.fade;
                to.misses = from.misses;
            }
            lastNotifyTime = source->lastNotifyTime;
            isInside = source->isInside;
            currentPitch = source->currentPitch;
            currentYaw = source->currentYaw;
            pitchVelocity = source->pitchVelocity;
            yawVelocity = source->yawVelocity;
        }
        break;
    case cmd::base::CollisionEvent:
        if (candidates.size() >= kAimMaxCandidates) {
            return 1;
        }
        Gather(block);
        break;
    case cmd::base::InvalidActorPointer:
        SlotGone(static_cast<const ActorLink *>(block.ReadPointer(0)));
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void AutoAimActor::SetType(uint32_t type) {
    aimType = type;
    if (type != kAimTypeLockOn) {
        return;
    }
    if ((aimFlags & kAimManualTarget) == 0 && colObjs.empty()) {
        ColObj sphere(this);
        sphere.type = 1;
        sphere.boxMin = {0.0f, 0.0f, 0.0f};
        sphere.boxMax = {2000.0f, 2000.0f, 2000.0f};
        sphere.fill = 9;
        sphere.material = 0;
        sphere.name = "_";
        sphere.groups = 0x40000;
        sphere.receiveGroups = 0x4000001;
        sphere.excludeGroups = 0xC0010;
        sphere.flags = kColObjActive | kColObjTakesEvents | kColObjTakesAllEvents;
        AddColObj(sphere);
        sphere.name = "DynamicHACK";
        sphere.groups = 0;
        sphere.receiveGroups = 0;
        sphere.excludeGroups = 0;
        sphere.flags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents | kColObjDynamic |
                       kColObjSolid;
        AddColObj(sphere);
    }
    if (!colObjs.empty()) {
        colObjs[0]->receiveGroups |= 0x100;
    }
}

// --- the target ---------------------------------------------------------------------

void AutoAimActor::Gather(ParamBlock block) {
    const bool lockOn = aimType == kAimTypeLockOn;
    if ((aimType != kAimType2Axis && aimType != kAimTypeTest2 && !lockOn) ||
        candidates.size() >= kAimMaxCandidates) {
        return;
    }
    const auto *other = static_cast<const ColObj *>(block.ReadPointer(0));
    Actor *owner = other != nullptr ? other->owner : nullptr;
    if (owner == nullptr) {
        return;
    }
    for (const Candidate &c : candidates) {
        if (c.id == owner->actorId) {
            return;
        }
    }
    if (const auto *character = dynamic_cast<const CharacterActor *>(owner);
        character != nullptr && character->health <= 0.0f) {
        return;
    }
    const Vector3 point = CenterPoint(owner);
    if (lockOn && !MayLock(owner, point)) {
        return;
    }
    candidates.push_back({owner->actorId, point});
    if (FindScheduledCommand(cmd::auto_aim::AutoAimPostCollision) == nullptr) {
        ScheduleCommand(cmd::auto_aim::AutoAimPostCollision, ParamBlock(), kOnceNextPump, 0.0f,
                        0.0f, 0.0f);
    }
}

void AutoAimActor::ChooseTarget() {
    const Vector3 at = GetWorldPosition();
    float best = kFarAway;
    Actor *winner = nullptr;
    for (const Candidate &c : candidates) {
        Actor *actor = GetActorById(static_cast<uint32_t>(c.id));
        const float d = Vec3LengthSquared(Vec3Sub(c.point, at));
        if (actor != nullptr && d < best) {
            best = d;
            winner = actor;
        }
    }
    candidates.clear();
    if (winner == nullptr) {
        return;
    }
    const bool autoRelease = (aimFlags & kAimAutoRelease) != 0;
    ScheduledCommand *waiting = FindScheduledCommand(cmd::auto_aim::AutoAimReleaseTarget);
    if (winner == aimTarget.target && autoRelease) {
        if (waiting != nullptr) {
            SetScheduledCommandTime(waiting, autoReleaseTime);
        }
        return;
    }
    aimTarget.Release();
    aimTarget.Assign(winner);
    if (autoRelease && waiting == nullptr) {
        ScheduleCommand(cmd::auto_aim::AutoAimReleaseTarget, ParamBlock(), kOnceDelayed,
                        autoReleaseTime, 0.0f,
                        0.0f);
    }
}

void AutoAimActor::SetThreshold(bool inside) {
    if (inside == (isInside != 0)) {
        return;
    }
    isInside = inside ? 1 : 0;
    HandleCommand(inside ? cmd::auto_aim::OnAutoAimTresholdEnter
                         : cmd::auto_aim::OnAutoAimTresholdExit,
                  ParamBlock());
}

void AutoAimActor::ReleaseTarget() {
    SetThreshold(false);
    aimTarget.Release();
}

// --- per frame ---------------------------------------------------------------------

void AutoAimActor::Update() {
    if (!IsOperational()) {
        return;
    }
    if ((state & kActorEnabled) != 0) {
        if (aimType == kAimTypeLockOn) {
            LockDraw();
        } else if (aimType == kAimType2Axis || aimType == kAimTypeTest2) {
            AimUpdate();
        }
    }
    Actor::Update();
}

void AutoAimActor::AimUpdate() {
    Actor *target = aimTarget.target;
    Actor *output = aimOutput.target;
    if (target == nullptr || output == nullptr) {
        return;
    }
    const bool byParent = (aimFlags & kAimAffectedByParent) != 0;
    const Vector3 from = GetWorldPosition();
    const Vector3 to = CenterPoint(target);
    Vector3 d = {to.x - from.x, to.y - from.y, to.z - from.z};
    if (byParent) {
        UpdateInverseWorldMatrix();
        Vec3TransformNormal(&d, d, inverseWorldMatrix);
    }
    const float yaw = Vec3Yaw(d);
    const float pitch = -Vec3Pitch(d);
    const float dt = timeRecord != nullptr ? timeRecord->delta : 0.0f;

    switch (SmoothStyle()) {
    case kAimNoSmooth:
        currentPitch = pitch;
        currentYaw = yaw;
        break;
    case kAimLinear:
        currentPitch = TurnToward(currentPitch, pitch, dt * turnSpeed);
        currentYaw = TurnToward(currentYaw, yaw, dt * turnSpeed);
        break;
    case kAimAccelerated:
        pitchVelocity += dt * Wrap(pitch - currentPitch) * turnSpeed;
        yawVelocity += dt * Wrap(yaw - currentYaw) * turnSpeed;
        // A damper of 0 would spread infinities into the angles: it damps
        // nothing then.
        if (damper != 0.0f) {
            pitchVelocity /= damper;
            yawVelocity /= damper;
        }
        currentPitch += pitchVelocity;
        currentYaw += yawVelocity;
        break;
    default:
        break;
    }

    if ((aimFlags & kAimUseLimits) != 0) {
        float restPitch = 0.0f, restYaw = 0.0f;
        if (!byParent) {
            const Matrix &world = GetWorldMatrix();
            const Vector3 rest = {world.m[2][0], world.m[2][1], world.m[2][2]};
            restPitch = -Vec3Pitch(rest);
            restYaw = Vec3Yaw(rest);
            currentPitch = Wrap(currentPitch - restPitch);
            currentYaw = Wrap(currentYaw - restYaw);
        }
        // A limit stored negative bounds the yaw by its size.
        const float yawLimit = std::fabs(limitHorizontal);
        currentYaw = std::clamp(currentYaw, -yawLimit, yawLimit);
        currentPitch = std::max(limitVerticalMin, std::min(currentPitch, limitVerticalMax));
        if (!byParent) {
            currentPitch = Wrap(currentPitch + restPitch);
            currentYaw = Wrap(currentYaw + restYaw);
        }
    }

    SetThreshold(std::fabs(Wrap(currentPitch - pitch)) < insideThreshold &&
                 std::fabs(Wrap(currentYaw - yaw)) < insideThreshold);

    Quaternion aroundX, aroundY, rotation;
    QuaternionRotationAxis(&aroundX, Vector3{1.0f, 0.0f, 0.0f}, currentPitch);
    QuaternionRotationAxis(&aroundY, Vector3{0.0f, 1.0f, 0.0f}, currentYaw);
    QuaternionMultiply(&rotation, aroundX, aroundY);
    // The output may have gone with a script the threshold event ran.
    output = aimOutput.target;
    if (output == nullptr) {
        return;
    }
    if (byParent) {
        output->rotation = rotation;
        output->InvalidateTransform();
    } else {
        output->SetWorldRotation(rotation);
    }
}

// --- actor file ---------------------------------------------------------------------

int AutoAimActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() >= 1) {
        archive.SerializeWord(&aimType);
        archive.SerializeWord(&aimFlags);
        float *reals[] = {&limitHorizontal,   &limitVerticalMin,     &limitVerticalMax,
                          &turnSpeed,         &damper,               &penetrationEffect,
                          &predictionTimeOffset, &autoReleaseTime,   &insideThreshold};
        for (float *real : reals) {
            archive.SerializeWords(real, 1);
        }
        if (aimTarget.Serialize(archive) == 0 || aimOutput.Serialize(archive) == 0) {
            return 0;
        }
    }
    return archive.Failed() ? 0 : 1;
}

void AutoAimActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("autoaim type " + std::to_string(aimType) + " flags " +
                    std::to_string(aimFlags) + " limith " + DumpNumber(limitHorizontal) +
                    " limitvmin " + DumpNumber(limitVerticalMin) + " limitvmax " +
                    DumpNumber(limitVerticalMax) + " turnspeed " + DumpNumber(turnSpeed) +
                    " damper " + DumpNumber(damper) + " penetration " +
                    DumpNumber(penetrationEffect) + " prediction " +
                    DumpNumber(predictionTimeOffset) + " release " + DumpNumber(autoReleaseTime) +
                    " threshold " + DumpNumber(insideThreshold) + " target " +
                    DumpText(aimTarget.path) + " output " + DumpText(aimOutput.path));
}
