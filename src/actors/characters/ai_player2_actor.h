// The AI Player 2 actor (class 50): the brain of a non-player character.
// It sits below a Character, binds to it on "Precalculate", hears every
// command the character and its "Vision" and "Hearing" sensors receive
// (as their command spy), and runs a state machine of fourteen states once
// a frame: it idles, walks to actors, follows, fights, hides and takes
// shelter behind AI Helper markers of the character's draw group, driving
// the character only through its commands. Scripts steer it through its
// commands and react to its "On AI Player2 ..." events.
//
// What it refers to across frames is held so that nothing dangles: its five
// links to other actors, and the actor ids of the character, the sensors,
// the markers and the current shelter, looked up again at each use (an id
// that no longer names an actor counts as none).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

struct Bone;

enum AIPlayer2State : uint32_t {
    kAI2Idle = 0,
    kAI2GoTo = 1,
    kAI2PreFight = 2,
    kAI2Fight = 3,
    kAI2Follow = 4,
    kAI2Scared = 5,
    kAI2Hide = 6,
    kAI2HostageVictim = 7,
    kAI2HostageTaker = 8,
    kAI2Inactive = 9,
    kAI2Dead = 10,
    kAI2GoToShelter = 11,
    kAI2Shelter = 12,
    kAI2Release = 13,
    kAI2StateCount = 14,
};

// One skin layer that the upper body's aim drives: the layer index and its
// normalised time (0..1).
struct AimLayer {
    uint32_t layer = 0;
    float time = 0.0f;
    uint32_t spare[2] = {0, 0};
};

class AIPlayer2Actor;

// Every live AI Player 2, in the order of construction.
extern std::vector<AIPlayer2Actor *> AIPlayer2Instances;
// The state names in state order (the last one empty); filled by
// RegisterClass.
extern std::vector<std::string> AIPlayer2StateNames;

// The brain's values that a copy takes member by member (its links are
// copied apart).
struct AIPlayer2Fields {
    uint32_t aiState = kAI2Idle;
    int32_t previousState = -1;
    int32_t characterId = -1;
    std::vector<AimLayer> aimLayers;
    Vector3 ownPosition = {0.0f, 0.0f, 0.0f};
    uint32_t characterNeutral = 0;
    Bone *headBone = nullptr;
    float headAngles[3] = {0.0f, 0.0f, 0.0f};
    int32_t visionSensorId = -1;
    int32_t hearingSensorId = -1;
    uint32_t fightGroup = 0;
    float aimPitch = 0.0f;
    float aimYaw = 0.0f;
    float stateTimer = 0.0f;
    float aimError = 0.0f;
    uint32_t findShelterEnable = 1;
    float findShelterRadius = 1200.0f;
    uint32_t goToGroup = 0;
    uint32_t run = 0;
    float targetDistance = 0.0f;
    float pendingDistance = 0.0f;
    Vector3 targetPosition = {0.0f, 0.0f, 0.0f};
    Vector3 pendingPosition = {0.0f, 0.0f, 0.0f};
    Vector3 targetVisionPoint = {0.0f, 0.0f, 0.0f};
    Vector3 targetCenterPoint = {0.0f, 0.0f, 0.0f};
    float visibleTime = 0.0f;
    float unseenTime = 0.0f;
    float sightCheckTimer = 0.0f;
    float pendingTimer = 0.0f;
    std::string motionName;
    std::deque<Vector3> trail;
    float trailTimer = 0.0f;
    float trailInterval = 2.0f;
    float trailStep = 10.0f;
    uint32_t trailOn = 0;
    float lookTimer = 0.0f;
    std::string idleMotion = "N_Neutral";
    uint32_t soundNotice = 0;
    Vector3 soundPosition = {0.0f, 0.0f, 0.0f};
    std::string soundSourceName;
    float soundValues[2] = {0.0f, 0.0f};
    float soundTimer = 0.0f;
    std::vector<int32_t> markerIds;
    uint32_t rayGroup = 0;
    uint32_t rayReceive = 0;
    uint32_t rayExclude = 0;
    int32_t currentShelterId = -1;
    Vector3 shelterPoint = {0.0f, 0.0f, 0.0f};
    Vector3 avoidDirection = {0.0f, 0.0f, 0.0f};
    uint32_t avoiding = 0;
    float avoidTimer = 0.0f;
    uint32_t attacking = 0;
    float preFightTime = 0.0f;
    // The shelter-search and motion-change timer.
    float generalTimer = 0.0f;
    // The id of the skin the head bone came from: the bone is used only
    // while the character's skinned body is still that actor.
    int32_t headBoneSkinId = -1;
    // That skin's skeleton count when the bone was taken: a skin that made
    // its skeleton anew (a new mesh) is asked for its head again.
    uint32_t headBoneGeneration = 0;
};

class AIPlayer2Actor : public Actor, public AIPlayer2Fields {
  public:
    AIPlayer2Actor();
    ~AIPlayer2Actor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    // The think, once a frame while bound.
    void Process() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // Changes the state with its leaving and entering actions; nothing
    // when the state is the current one.
    void SetState(uint32_t newState);
    void SetMotionName(std::string_view name) { motionName = name; }

    // Perception, aiming and shelter search.
    bool CanSee(Actor *actor);
    void AimBodyAt(const Vector3 &point, float speed);
    void AimHeadAt(const Vector3 &point, float speed);
    void FacePoint(const Vector3 &point, float turnSpeed);
    // On success the chosen marker becomes the current shelter and the
    // shelter point is set.
    bool FindShelter(const Vector3 &threat, float radius);
    // Refills the marker list with the AI Helpers below the Draw Group of
    // that id (depth first); an id without a Draw Group keeps the list.
    void CollectHelpers(int32_t drawGroup);

    // What the ids name now; null when nothing (or no actor of the
    // expected class) is there.
    Actor *Character() const;
    Actor *SkinnedBody() const;
    Actor *VisionSensor() const;
    Actor *HearingSensor() const;
    Actor *CurrentShelter() const;
    // The markers of the list that are still there, in list order.
    std::vector<Actor *> Markers() const;

    ActorLink seen{this};
    ActorLink heard{this};
    ActorLink goTo{this};
    ActorLink target{this};
    ActorLink pendingEnemy{this};

  private:
    // This frame's delta of the own time record.
    float delta_ = 0.0f;

    void Bind();
    void SpyOn(Actor *actor);
    void OnCharacterNotice(uint32_t commandId, ParamBlock block);
    void OnSensorNotice(uint32_t commandId, ParamBlock block, Actor *sensor);
    void WallContacts(ParamBlock block);
    void VoiceCommand(Actor *actor, uint32_t command);
    void GoToActor(Actor *actor, uint32_t group, uint32_t running);
    void SoundNotify(Actor *actor, ParamBlock block);
    void CopyFields(AIPlayer2Actor &source);
    void Raise(uint32_t eventId);
    void StopAttack();
    void LeaveState(uint32_t old);
    void EnterState(uint32_t now);
    void SwitchAimLayers(float blend);
    void SendMotion(const char *name);
    void SetLayerTimes(float pitchTime, float yawTime);

    // The think's parts.
    void TrackTarget(Actor *character);
    void TakeOverPendingEnemy();
    void ThinkState(Actor *character);
    void ThinkIdle(Actor *character);
    void ThinkGoTo();
    void ThinkFight();
    void ThinkFollow();
    void ThinkHide(Actor *character);
    void ThinkHostageVictim();
    void ThinkGoToShelter();
    void ThinkShelter();
    bool AimAtSoundNotice(float bodySpeed, float headSpeed);
    void PoseBodyAndHead(Actor *skin);
    void SampleTrail();
    void CountDownAvoid(Actor *character);
    Vector3 AvoidPoint() const;
    Bone *HeadBone();
};
