// The AutoAim's lock-on mode (type 91): it hangs under the player's
// character, takes candidates in view of the character's camera into two
// lock slots, steers the character's look records at them and draws a
// turning, fading marker over each lock.
#include <algorithm>
#include <cmath>
#include <limits>

#include "actors/characters/auto_aim_actor.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/character_services.h"
#include "actors/world/draw_groups.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/time_record.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"

namespace {

constexpr uint32_t kEveryFrame = 0x100;
constexpr uint32_t kEveryFrameLayer = 2;
constexpr uint32_t kOnceDelayed = 0x200;
constexpr uint32_t kQueryExclude = 0xC0810;
constexpr float kOccluderDistanceSquared = 8100.0f;
constexpr float kConeDot = 0.88f;
constexpr float kUnhookAge = 1.75f;
constexpr float kManualHoldTime = 2.0f;
constexpr float kRelaxInterval = 1.0f;
constexpr float kGatherPause = 0.7f;
constexpr float kFillPause = 0.05f;
constexpr float kMarkerSpeed = 6000.0f;

constexpr float kNoRelaxYet = -1.0e30f;

// Shared by every AutoAim: the time of the last "RelaxReset".
float g_lastRelaxTime = kNoRelaxYet;

Vector3 PointOf(Actor *actor, uint32_t query) {
    Vector3 point = {0.0f, 0.0f, 0.0f};
    SendIfPresent(actor, query, ParamBlock(&point, sizeof(point)));
    return point;
}

// What a query from the AutoAim to the point meets: nothing, the target or
// the AutoAim itself, or another actor's object near the point; false for
// another actor's object farther than 90 from it. `nothing` tells whether it
// met nothing at all.
bool InSight(Actor *self, Actor *target, const Vector3 &point, bool *nothing) {
    ActorSystem *system = GetActorSystem();
    *nothing = true;
    if (system == nullptr) {
        return false;
    }
    const uint32_t masks[3] = {0xFFFFFFFFu, 0xFFFFFFFFu, kQueryExclude};
    Vector3 hit = point;
    const ColObj *object =
        system->CollisionQuery(self->GetWorldPosition(), point, masks, &hit, nullptr);
    *nothing = object == nullptr;
    if (object == nullptr || object->owner == target || object->owner == self) {
        return true;
    }
    const Vector3 d = Vec3Sub(hit, point);
    return d.x * d.x + d.y * d.y + d.z * d.z < kOccluderDistanceSquared;
}

float Clamp01(float v) { return std::max(0.0f, std::min(v, 1.0f)); }

} // namespace

void ResetAutoAimModuleForTests() { g_lastRelaxTime = kNoRelaxYet; }

void AutoAimActor::SetParentFlag(uint32_t bit, bool on) {
    // The flag word is the Character's; any other parent has none.
    if (auto *character = dynamic_cast<CharacterActor *>(parent)) {
        character->charFlags = on ? (character->charFlags | bit) : (character->charFlags & ~bit);
    }
}

bool AutoAimActor::MayLock(Actor *candidate, const Vector3 &point) {
    const float now = GetCurrentTime();
    if ((aimFlags & kAimLockSwitch) != 0 && now - lastNotifyTime < kGatherPause) {
        return false;
    }
    if (AreDrawGroupsConnected(candidate->drawGroupId, drawGroupId) == 0 ||
        (candidate->state & kActorKilled) != 0) {
        return false;
    }
    const auto *character = dynamic_cast<const CharacterActor *>(candidate);
    if ((character == nullptr || character->health <= 0.0f) &&
        candidate->classId != kAimTargetClassId) {
        return false;
    }
    bool nothing = false;
    return InSight(this, candidate, point, &nothing);
}

void AutoAimActor::LockPostCollision() {
    auto *character = dynamic_cast<CharacterActor *>(parent);
    Actor *camera = character != nullptr ? character->lookCamera.target : nullptr;
    Vector3 forward = {0.0f, 0.0f, 0.0f};
    SendIfPresent(camera, cmd::base::GetDirection, ParamBlock(&forward, sizeof(forward)));
    const Vector3 eye = camera != nullptr ? camera->GetWorldPosition() : GetWorldPosition();

    // At most two in the cone, nearest first.
    struct Pick {
        Actor *actor;
        float distance;
    };
    std::vector<Pick> picks;
    for (const Candidate &c : candidates) {
        Actor *actor = GetActorById(static_cast<uint32_t>(c.id));
        if (actor == nullptr) {
            continue;
        }
        const Vector3 d = Vec3Sub(c.point, eye);
        const float length = Vec3Length(d);
        if (length <= 0.0f ||
            (d.x * forward.x + d.y * forward.y + d.z * forward.z) / length < kConeDot) {
            continue;
        }
        picks.push_back({actor, length});
    }
    candidates.clear();
    std::stable_sort(picks.begin(), picks.end(),
                     [](const Pick &a, const Pick &b) { return a.distance < b.distance; });
    if (picks.size() > 2) {
        picks.resize(2);
    }
    const float now = GetCurrentTime();
    if (now - lastNotifyTime >= kFillPause) {
        for (const Pick &pick : picks) {
            if (lockSlots[0].link.target == pick.actor || lockSlots[1].link.target == pick.actor) {
                continue;
            }
            for (LockSlot &slot : lockSlots) {
                if (slot.link.target == nullptr) {
                    slot.link.Assign(pick.actor);
                    slot.changed = now;
                    slot.misses = 0;
                    SetParentFlag(kCharLockSteering, true);
                    CancelScheduledCommands(cmd::auto_aim::AutoAimUnhook);
                    break;
                }
            }
        }
    } else {
        for (size_t i = 0; i < picks.size(); ++i) {
            lockSlots[i].link.Assign(picks[i].actor);
            lockSlots[i].changed = now;
        }
    }
    if (lockSlots[0].link.target != nullptr &&
        FindScheduledCommand(cmd::auto_aim::AutoAimUpdate) == nullptr) {
        ::ScheduleCommand(this, cmd::auto_aim::AutoAimUpdate, ParamBlock(), kEveryFrame, 0.0f, 0.0f,
                          0.0f,
                          nullptr, kEveryFrameLayer);
    }
}

void AutoAimActor::ReleaseSlot(LockSlot &slot) {
    slot.link.Release();
    slot.changed = GetCurrentTime();
    slot.misses = 0;
}

void AutoAimActor::Unhook() {
    const float now = GetCurrentTime();
    if (now - lockSlots[0].changed > kUnhookAge && now - lockSlots[1].changed > kUnhookAge) {
        for (LockSlot &slot : lockSlots) {
            ReleaseSlot(slot);
        }
        SetParentFlag(kCharLockSteering, false);
        CancelScheduledCommands(cmd::auto_aim::AutoAimUpdate);
    }
}

void AutoAimActor::ManualAimNotify() {
    SetParentFlag(kCharManualAimHold, true);
    if (FindScheduledCommand(cmd::base::ZT_338) == nullptr) {
        ScheduleCommand(cmd::base::ZT_338, ParamBlock(), kOnceDelayed, kManualHoldTime, 0.0f,
                        0.0f);
    }
    const float now = GetCurrentTime();
    // A stamp ahead of now was taken on a clock that has started again since
    // (a level load sets the global time back to 0): it holds nothing back.
    if (now < g_lastRelaxTime || now - g_lastRelaxTime > kRelaxInterval) {
        if (auto *character = dynamic_cast<CharacterActor *>(parent)) {
            char text[] = "RelaxReset";
            SendIfPresent(character->leftHand.target, cmd::base::SafeScriptExecute,
                          ParamBlock(text, sizeof(text)));
            SendIfPresent(character->rightHand.target, cmd::base::SafeScriptExecute,
                          ParamBlock(text, sizeof(text)));
        }
        g_lastRelaxTime = now;
    }
    lastNotifyTime = now;
}

void AutoAimActor::ToggleLockSwitch() {
    if (lockSlots[0].link.target != nullptr || lockSlots[1].link.target != nullptr) {
        aimFlags ^= kAimLockSwitch;
        return;
    }
    auto *character = dynamic_cast<CharacterActor *>(parent);
    if (character == nullptr) {
        return;
    }
    const Matrix &world = character->GetWorldMatrix();
    Vector3 back = {-world.m[2][0], -world.m[2][1], -world.m[2][2]};
    SendIfPresent(character->lookCamera.target, cmd::base::SetDirection,
                  ParamBlock(&back, sizeof(back)));
}

void AutoAimActor::SlotGone(const ActorLink *link) {
    for (LockSlot &slot : lockSlots) {
        if (&slot.link == link) {
            slot.link.target = nullptr;
            slot.changed = GetCurrentTime();
            SetParentFlag(kCharLockSteering, false);
        }
    }
}

void AutoAimActor::LockUpdate() {
    const float now = GetCurrentTime();
    float speed = 999.0f;
    SendIfPresent(parent, cmd::character::SetLookRotYSpeed, ParamBlock(&speed, sizeof(speed)));
    SendIfPresent(parent, cmd::character::SetLookRotXSpeed, ParamBlock(&speed, sizeof(speed)));
    const float blend = Clamp01((now - lastNotifyTime) * 3.0f - 1.0f);
    if (blend <= 0.0f) {
        SetParentFlag(kCharLockSteering, false);
    } else {
        const Vector3 eye = PointOf(parent, cmd::base::GetVisionPoint);
        const uint32_t commands[2][2] = {{cmd::character::SetLookRotY, cmd::character::SetLookRotX},
                                         {cmd::character::SetAimRotY, cmd::character::SetAimRotX}};
        for (size_t i = 0; i < 2; ++i) {
            if (lockSlots[i].link.target == nullptr) {
                continue;
            }
            const Vector3 d = Vec3Sub(PointOf(lockSlots[i].link.target, cmd::base::GetCenterPoint),
                                      eye);
            float yaw = Vec3Yaw(d);
            float pitch = -Vec3Pitch(d);
            SendIfPresent(parent, commands[i][0], ParamBlock(&yaw, sizeof(yaw)));
            SendIfPresent(parent, commands[i][1], ParamBlock(&pitch, sizeof(pitch)));
        }
        SetParentFlag(kCharLockSteering, true);
    }

    const bool recheck = FrameCounter % 64 == 0;
    const float radius = colObjs.empty() ? 0.0f : colObjs[0]->boxMax.x;
    for (LockSlot &slot : lockSlots) {
        Actor *target = slot.link.target;
        if (target == nullptr) {
            continue;
        }
        const Vector3 point = PointOf(target, cmd::base::GetCenterPoint);
        if (recheck) {
            bool nothing = false;
            const bool seen = InSight(this, target, point, &nothing);
            slot.misses = nothing || !seen ? slot.misses + 1 : 0;
            if (slot.misses >= 2) {
                ReleaseSlot(slot);
                continue;
            }
        }
        const auto *character = dynamic_cast<const CharacterActor *>(target);
        bool drop = character != nullptr && character->health == 0.0f;
        if (!drop && (aimFlags & kAimLockSwitch) == 0 && parent != nullptr) {
            drop = AreDrawGroupsConnected(target->drawGroupId, parent->drawGroupId) == 0 ||
                   Vec3Length(Vec3Sub(point, parent->GetWorldPosition())) > radius;
        }
        if (drop) {
            ReleaseSlot(slot);
        }
    }
    if (lockSlots[0].link.target == nullptr && lockSlots[1].link.target != nullptr) {
        lockSlots[0].link.Assign(lockSlots[1].link.target);
        std::swap(lockSlots[0].changed, lockSlots[1].changed);
        lockSlots[1].link.Release();
    }
    if (lockSlots[0].link.target != nullptr && lockSlots[1].link.target != nullptr) {
        Vector3 a = PointOf(lockSlots[0].link.target, cmd::base::GetCenterPoint);
        Vector3 b = PointOf(lockSlots[1].link.target, cmd::base::GetCenterPoint);
        ProjectToScreen(&a);
        ProjectToScreen(&b);
        if (b.y < a.y) {
            Actor *first = lockSlots[0].link.target;
            lockSlots[0].link.Assign(lockSlots[1].link.target);
            lockSlots[1].link.Assign(first);
        }
    }
    if (lockSlots[0].link.target == nullptr) {
        CancelScheduledCommands(cmd::auto_aim::AutoAimUpdate);
        SetParentFlag(kCharLockSteering, false);
        aimFlags &= ~kAimLockSwitch;
    }
}

void AutoAimActor::LockDraw() {
    const float dt = timeRecord != nullptr ? timeRecord->delta : 0.0f;
    const float now = GetCurrentTime();
    for (size_t i = 0; i < lockSlots.size(); ++i) {
        LockSlot &slot = lockSlots[i];
        Actor *target = slot.link.target;
        if (target == nullptr) {
            slot.brightness = std::max(0.0f, slot.brightness - dt);
            ApproachValue(slot.fade, 1.0f, 5.0f * dt);
        } else {
            const Vector3 d = Vec3Sub(PointOf(target, cmd::base::GetCenterPoint), slot.marker);
            const float length = Vec3Length(d);
            const float step = kMarkerSpeed * dt;
            const float k = length > step && length > 0.0f ? step / length : 1.0f;
            slot.marker = {slot.marker.x + d.x * k, slot.marker.y + d.y * k,
                           slot.marker.z + d.z * k};
            if (Clamp01((now - lastNotifyTime) * 3.0f - 1.0f) > 0.0f) {
                slot.brightness = std::min(1.0f, slot.brightness + dt);
                ApproachValue(slot.fade, 1.0f, 5.0f * dt);
            } else {
                ApproachValue(slot.brightness, 0.7f, dt);
                ApproachValue(slot.fade, 0.166f, 5.0f * dt);
            }
        }
        DrawMarker(i, now);
    }
}

void AutoAimActor::DrawMarker(size_t index, float now) {
    ResourceLibrary *library = GetLibrary();
    const LockSlot &slot = lockSlots[index];
    if (library == nullptr || slot.brightness <= 0.0f) {
        return;
    }
    const float *eyeWords = library->GetCameraPosition();
    const Vector3 eye = {eyeWords[0], eyeWords[1], eyeWords[2]};
    Vector3 forward = {0.0f, 0.0f, 1.0f};
    library->GetCameraForward(&forward);
    const Vector3 d = Vec3Sub(slot.marker, eye);
    const float distance = Vec3Length(d);
    if (d.x * forward.x + d.y * forward.y + d.z * forward.z <= 0.0f || distance <= 0.0f) {
        return;
    }
    Vector3 p = slot.marker;
    ProjectToScreen(&p);
    if (p.z <= 0.0f) {
        return;
    }
    // Looked up by name each time: a library reload renumbers its items.
    auto *material = static_cast<MaterialItem *>(
        library->FindItemByName("AimEffect01", ItemClass::Material));
    if (material == nullptr) {
        return;
    }
    const float x = 1.0f - slot.brightness;
    const float half = MarkerHalfSize(slot.brightness, static_cast<float>(GetScreenWidth()),
                                      distance);
    const float angle = static_cast<float>(index) * 3.1415f + now * 0.6f - x * x * 6.0f;
    const float c = std::cos(angle) * half, s = std::sin(angle) * half;
    // Strip order: top-left, top-right, bottom-left, bottom-right.
    const float corners[8] = {p.x - c + s, p.y - s - c, p.x + c + s, p.y + s - c,
                              p.x - c - s, p.y - s + c, p.x + c - s, p.y + s + c};
    library->QueueQuad(corners, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
                       MarkerAlpha(slot.brightness, slot.fade, aimFlags, now), material);
}

float MarkerHalfSize(float brightness, float screenWidth, float distance) {
    const float x = 1.0f - brightness;
    return (x * x * 1.5f + 0.1f) * screenWidth * 1000.0f / distance * 0.5f;
}

float MarkerAlpha(float brightness, float fade, uint32_t aimFlags, float now) {
    float base = 0.37f;
    if ((aimFlags & kAimLockSwitch) == 0) {
        // Blinks six times a second, at any clock.
        const int64_t tick = TruncateInRange(now * 6.0f, std::numeric_limits<int64_t>::min(),
                                             std::numeric_limits<int64_t>::max());
        base = (tick & 1) != 0 ? 0.259f : 0.333f;
    }
    return brightness * base * fade * 0.8f;
}
