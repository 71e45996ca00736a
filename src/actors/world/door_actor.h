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

inline constexpr uint32_t kDoorClassId = 13;

inline constexpr uint32_t kCmdSetDoorType = 754;
inline constexpr uint32_t kCmdGetDoorType = 755;
inline constexpr uint32_t kCmdSetDoorAnimationType = 756;
inline constexpr uint32_t kCmdGetDoorAnimationType = 757;
inline constexpr uint32_t kCmdSetDoorAxisPreset = 758;
inline constexpr uint32_t kCmdGetDoorAxisPreset = 759;
inline constexpr uint32_t kCmdSetDoorAutoClose = 760;
inline constexpr uint32_t kCmdGetDoorAutoClose = 761;
inline constexpr uint32_t kCmdSetDoorNeverAutoCloseOnCollision = 762;
inline constexpr uint32_t kCmdGetDoorNeverAutoCloseOnCollision = 763;
inline constexpr uint32_t kCmdSetDoorAutoOpen = 764;
inline constexpr uint32_t kCmdGetDoorAutoOpen = 765;
inline constexpr uint32_t kCmdSetDoorOpenAway = 766;
inline constexpr uint32_t kCmdGetDoorOpenAway = 767;
inline constexpr uint32_t kCmdOpenDoorButton = 768;
inline constexpr uint32_t kCmdCloseDoor = 769;
inline constexpr uint32_t kCmdOpenDoor = 770;
inline constexpr uint32_t kCmdSetDoorOpenTime = 771;
inline constexpr uint32_t kCmdGetDoorOpenTime = 772;
inline constexpr uint32_t kCmdSetDoorCloseTime = 773;
inline constexpr uint32_t kCmdGetDoorCloseTime = 774;
inline constexpr uint32_t kCmdSetDoorAutoCloseTime = 775;
inline constexpr uint32_t kCmdGetDoorAutoCloseTime = 776;
inline constexpr uint32_t kCmdSetUseConnector = 777;
inline constexpr uint32_t kCmdGetUseConnector = 778;
inline constexpr uint32_t kCmdSetOpenLength = 779;
inline constexpr uint32_t kCmdGetOpenLength = 780;
inline constexpr uint32_t kCmdSetOpenAngle = 781;
inline constexpr uint32_t kCmdGetOpenAngle = 782;
inline constexpr uint32_t kCmdSetDoorAxis = 783;
inline constexpr uint32_t kCmdGetDoorAxis = 784;
inline constexpr uint32_t kCmdSetLockGroups = 785;
inline constexpr uint32_t kCmdGetLockGroups = 786;
inline constexpr uint32_t kCmdSetLockGroupBit = 787;
inline constexpr uint32_t kCmdSetLockLocked = 788;
inline constexpr uint32_t kCmdGetLockLocked = 789;
inline constexpr uint32_t kCmdSetLockTime = 790;
inline constexpr uint32_t kCmdGetLockTime = 791;
inline constexpr uint32_t kCmdSetDoorSoundSwitch = 792;
inline constexpr uint32_t kCmdGetDoorSoundSwitch = 793;
inline constexpr uint32_t kCmdOnDoorOpen = 794;
inline constexpr uint32_t kCmdOnDoorOpened = 795;
inline constexpr uint32_t kCmdOnDoorClose = 796;
inline constexpr uint32_t kCmdOnDoorClosed = 797;
inline constexpr uint32_t kCmdOnDoorLock = 798;
inline constexpr uint32_t kCmdOnDoorUnlock = 799;
inline constexpr uint32_t kCmdOnDoorLocked = 800;
inline constexpr uint32_t kCmdAction = 971;
// Not registered: the progress of a timed unlock to the game actor
// {f32 elapsed, f32 duration}, and the word the door sends its new children.
inline constexpr uint32_t kCmdUnlockProgress = 553;
inline constexpr uint32_t kCmdNewDoorChild = 179;

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

class DoorActor : public Actor {
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
    // Links with the door as origin: a deleted child clears its link.
    std::array<ActorLink, kDoorSoundCount> sounds;
    ActorLink leaf1;
    ActorLink leaf2;
    uint32_t unlockActive = 0;
    uint32_t unlockHeld = 0;
    float unlockElapsed = 0.0f;
    float unlockDuration = 0.0f;
    uint32_t unlockUser = 0;
    uint32_t openEventPending = 0;
    uint32_t closeFinishPending = 0;
    uint32_t collisionHold = 0;
    float motionClock = 0.0f;
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
