// The AutoAim actor (class 42): turns an output actor towards a target. It
// gathers candidates from the collision events of its own volumes, keeps the
// nearest as its target, and every visible frame turns the output by the
// pitch and yaw towards the target's center point (smoothed, limited), with
// "On AutoAim Treshold Enter" / "Exit" when the aim settles or leaves.
//
// Candidates are kept as actor ids until "AutoAim PostCollision" looks them
// up again, so one deleted in between is skipped. Type 91 is the player's
// lock-on aim with two lock slots and a marker drawn over each lock.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// Aim types ("Type:" labels).
inline constexpr uint32_t kAimType2Axis = 0;
inline constexpr uint32_t kAimTypeSpherical = 1;
inline constexpr uint32_t kAimTypeTest2 = 2;
inline constexpr uint32_t kAimTypeLockOn = 91;

// aimFlags bits.
inline constexpr uint32_t kAimOutputMask = 0xF;
inline constexpr uint32_t kAimSmoothShift = 4;
inline constexpr uint32_t kAimSmoothMask = 0x30;
inline constexpr uint32_t kAimManualTarget = 1u << 6;
inline constexpr uint32_t kAimAffectedByParent = 1u << 7;
inline constexpr uint32_t kAimUseLimits = 1u << 8;
inline constexpr uint32_t kAimUsePrediction = 1u << 9;
inline constexpr uint32_t kAimAutoRelease = 1u << 10;
inline constexpr uint32_t kAimLockSwitch = 1u << 12;

// Smoothing styles (bits 4-5).
inline constexpr uint32_t kAimNoSmooth = 0;
inline constexpr uint32_t kAimLinear = 1;
inline constexpr uint32_t kAimAccelerated = 2;

// Commands of the class.

inline constexpr uint32_t kAimMaxCandidates = 32;

// Every stored setting, by value: "Create" copies it whole.
struct AutoAimFields {
    uint32_t aimType = kAimType2Axis;
    uint32_t aimFlags = 0;
    float limitHorizontal = 6.2831855f;
    float limitVerticalMin = 1.5707964f;
    float limitVerticalMax = 1.5707964f;
    float turnSpeed = 0.5f;
    float damper = 1.0f;
    float penetrationEffect = 0.0f;
    float predictionTimeOffset = 0.0f;
    float predictionDistanceTime = 10.0f;
    float autoReleaseTime = 1.0f;
    float insideThreshold = 0.1f;
};

// The lock marker's half size in pixels and its alpha.
float MarkerHalfSize(float brightness, float screenWidth, float distance);
float MarkerAlpha(float brightness, float fade, uint32_t aimFlags, float now);

// Forgets the time of the last "RelaxReset" that every AutoAim shares, as a
// new actor world starts.
void ResetAutoAimModuleForTests();

class AutoAimActor : public Actor, public AutoAimFields {
  public:
    AutoAimActor();
    ~AutoAimActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    uint32_t SmoothStyle() const { return (aimFlags & kAimSmoothMask) >> kAimSmoothShift; }

    // A candidate of this frame: its actor id and center point.
    struct Candidate {
        int32_t id;
        Vector3 point;
    };
    std::vector<Candidate> candidates;

    // A lock slot of type 91.
    struct LockSlot {
        ActorLink link;
        float changed = 0.0f;
        Vector3 marker = {0.0f, 0.0f, 0.0f};
        float brightness = 0.0f;
        float fade = 0.0f;
        uint32_t misses = 0;
    };
    std::array<LockSlot, 2> lockSlots;

    float lastNotifyTime = 0.0f;
    uint32_t isInside = 0;
    ActorLink aimTarget{this};
    ActorLink aimOutput{this};
    float currentPitch = 0.0f;
    float currentYaw = 0.0f;
    float pitchVelocity = 0.0f;
    float yawVelocity = 0.0f;

  private:
    bool ServeSetting(uint32_t commandId, ParamBlock block, int *answer);
    int SetLink(ActorLink &link, uint32_t commandId, ParamBlock block);
    void SetType(uint32_t type);
    void Gather(ParamBlock block);
    void ChooseTarget();
    void ReleaseTarget();
    void AimUpdate();
    void SetThreshold(bool inside);

    // Type 91 (auto_aim_lock.cpp).
    bool MayLock(Actor *candidate, const Vector3 &point);
    void LockPostCollision();
    void LockUpdate();
    void LockDraw();
    void DrawMarker(size_t index, float now);
    void Unhook();
    void ManualAimNotify();
    void ToggleLockSwitch();
    void ReleaseSlot(LockSlot &slot);
    void SetParentFlag(uint32_t bit, bool on);
    void SlotGone(const ActorLink *link);
};
