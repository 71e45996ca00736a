// The Door actor (class 13): a door, chest lid or drawer with one or two
// leaves that turn or slide, a frame, up to seven sound children, an
// optional Door-type connector child that it opens and closes, and a lock
// opened by keys or by holding the action for a while. Scripts, triggers, a
// character's "Action" and collisions of the master character open it; once
// it moves it runs its state machine in Process until it is closed again.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// Not registered: the progress of a timed unlock to the game actor
// {f32 elapsed, f32 duration}, and the word the door sends its new children.
// Ids: cmd::door::UnlockProgress, cmd::base::LockTransform.

// Door types.
inline constexpr uint32_t kDoorSingle = 0;
inline constexpr uint32_t kDoorSingleSide = 1;
inline constexpr uint32_t kDoorDouble = 2;
inline constexpr uint32_t kDoorDoubleSide = 3;

// Door states.
inline constexpr uint32_t kDoorClosed = 0;
inline constexpr uint32_t kDoorOpened = 1;
inline constexpr uint32_t kDoorClosing = 2;
inline constexpr uint32_t kDoorOpening = 3;

// The sound children, in the order of their names.
enum DoorSound : size_t {
    kSoundOpen,
    kSoundClose,
    kSoundOpening,
    kSoundClosing,
    kSoundLocked,
    kSoundLock,
    kSoundUnlock,
    kDoorSoundCount,
};

// A door's settings, lock and motion: what a "Create" copies from a source
// door (the links to its children are its own).
struct DoorFields {
    uint32_t doorType = kDoorSingle;
    uint32_t doorState = kDoorClosed;
    uint32_t animationType = 0;
    float openTime = 1.0f;
    float closeTime = 1.0f;
    float autoCloseTime = 1.0f;
    uint32_t autoClose = 1;
    uint32_t neverAutoCloseOnCollision = 1;
    uint32_t autoOpen = 0;
    uint32_t openAwayFromOpener = 0;
    uint32_t axisPreset = 0;
    Vector3 axis = {0.0f, 1.0f, 0.0f};
    uint32_t useConnector = 0;
    float openLength = 20.0f;
    float openAngle = 1.5707964f; // radians
    Vector3 linearVelocity = {0.0f, 0.0f, 0.0f};
    Vector3 closedPosition1 = {0.0f, 0.0f, 0.0f};
    Vector3 closedPosition2 = {0.0f, 0.0f, 0.0f};
    float angularSpeed = 0.0f;
    Quaternion closedRotation1 = {0.0f, 0.0f, 0.0f, 1.0f};
    Quaternion closedRotation2 = {0.0f, 0.0f, 0.0f, 1.0f};
    uint32_t lockGroups = 0;
    uint32_t locked = 0;
    float lockTime = 0.0f;
    float lockChangeTimer = 1.0f;
    uint32_t soundSwitch = 0;
    uint32_t unlockActive = 0;
    uint32_t unlockHeld = 0;
    float unlockElapsed = 0.0f;
    float unlockDuration = 0.0f;
    uint32_t unlockUser = 0;
    uint32_t openEventPending = 0;
    uint32_t closeFinishPending = 0;
    uint32_t collisionHold = 0;
    float motionClock = 0.0f;
};

class DoorActor : public Actor, public DoorFields {
  public:
    DoorActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Process() override;
    void Update() override;
    void Draw(float step) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    virtual void BeginOpen(float x, float y, float z);
    virtual void BeginClose();
    virtual void CloseConnectors();
    virtual void FinishOpen();
    virtual void FireOpenEvent();
    virtual void FinishClose();

    Actor *Leaf1() const { return leaf1.target; }
    Actor *Leaf2() const { return leaf2.target; }
    Actor *Sound(DoorSound which) const { return sounds[which].target; }

    // Links with the door as origin: a deleted child clears its link.
    std::array<ActorLink, kDoorSoundCount> sounds;
    ActorLink leaf1;
    ActorLink leaf2;
    // The frame whose delta the lock timer last took: it counts each frame
    // once, however often the door is updated or drawn in it.
    uint32_t lockTimerFrame = 0xFFFFFFFFu;

  private:
    void BuildChildren();
    void FindChildren();
    void SetUseConnector(bool on);
    void SetLocked(uint32_t value);
    void OpenBy(uint32_t userId);
    void Act(uint32_t userId, uint32_t itemId);
    void StartTimedUnlock(uint32_t userId, float duration);
    void CollisionEvent(ParamBlock block);
    void RunTimedUnlock(float dt);
    void Subscribe();
    void EndSubscription();
    void MoveLeaves(float dt);
    void PlaySound(DoorSound which);
    void StopSound(DoorSound which);
    void Raise(uint32_t eventId);
    void Echo(uint32_t commandId, ParamBlock block);
    // Refreshes the time record and adds its delta to the lock timer, once
    // per frame.
    void CountLockTimer();
    void CopyDoor(const DoorActor &source);
};
