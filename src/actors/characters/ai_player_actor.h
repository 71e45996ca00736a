// The AI Player actor (class 29): the simpler brain of a non-player
// character. It hangs below a Character, binds to it on "Precalculate" and
// from then on hears every command the character receives (as its only
// command spy): the contacts of its "Hearing" and "Vision" objects, another
// character's "Action", draw-group entry and exit, hurts and motion
// callbacks. Once a frame it runs a small state machine: it stands idle,
// follows a leader along the leader's trail, fights a target with attacks
// drawn by weight, is scared for a moment, walks to points, dies and is
// removed or revived. Scripts react to its "On AI Player ..." events.
//
// Nothing it keeps across frames dangles: the target is one link, the
// character, the trail's leader, the exit it explores towards and the
// markers are actor ids looked up again at each use.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "actors/characters/record_lists.h"
#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

enum AIPlayerState : int32_t {
    kAIPGone = -1,
    kAIPIdle = 0,
    kAIPDormant = 1,
    kAIPExplore = 2,
    kAIPFight = 3,
    kAIPFollow = 4,
    kAIPDead = 5,
    kAIPGoTo = 6,
    kAIPScared = 7,
    kAIPInactive = 8,
};

// The motions the AI asks of its character, by id.
enum AIMotionId : uint32_t {
    kAIMotionRun = 0,
    kAIMotionRun1 = 1,
    kAIMotionStand = 2,
    kAIMotionWalk = 3,
    kAIMotionGuarding = 4,
    kAIMotionExhausted = 5,
    kAIMotionDead = 6,
    kAIMotionFightStand = 7,
    kAIMotionFightForward = 8,
    kAIMotionAttack0 = 9,
    kAIMotionCount = 10,
};

inline constexpr float kAINoEvaluation = 1.0e38f;

// How often each connector of a draw group was passed.
struct DrawGroupMemory {
    uint32_t groupId = 0;
    std::vector<uint32_t> exits;
};

// The brain's values that a copy takes member by member (its link apart).
struct AIPlayerFields {
    // Configuration.
    uint32_t aiType = 0;
    uint32_t useMemory = 0;
    uint32_t neverRunInFight = 0;
    uint32_t canFightInGoTo = 0;
    float followDistance = 300.0f;
    float followMinTime = 0.0f;
    float followMaxTime = 0.0f;
    float turnSpeed = 1.0f;
    uint32_t followGroup = 1;
    uint32_t startFollow = 0;
    float fightDistance = 600.0f;
    float fightHitDistance = 200.0f;
    uint32_t fightGroup = 1;
    uint32_t hitGethitId = 0;
    uint32_t hitDamageId = 0;
    float hitHoldTime = 0.0f;
    std::vector<HitEffect> hitEffects;
    int32_t selectedHitEffect = -1;
    std::vector<AttackParam> attacks;
    int32_t selectedAttack = -1;
    uint32_t canOpenDoor = 1;
    uint32_t deathType = 0;
    float deathDelay = 60.0f;
    uint32_t deleteIfNotDrawn = 0;
    float deleteIfNotDrawnTime = 0.0f;
    float notDrawnEventTime = 0.0f;

    // Run time.
    int32_t aiState = kAIPIdle;
    int32_t previousState = -1;
    float stateTimer = 0.0f;
    int32_t characterId = -1;
    float startHealth = 0.0f;
    uint32_t drawn = 0;
    float notDrawnTimer = 0.0f;
    float actionCountdown = 0.0f;
    float evalCountdown = kAINoEvaluation;
    uint32_t wantedMotion = kAIMotionStand;
    uint32_t standingMotion = 1;
    float steerYaw = 0.0f;
    std::deque<Vector3> trail;
    int32_t trailLeaderId = -1;
    float trailInterval = 0.0f;
    float trailSampleAcc = 0.0f;
    uint32_t trailCap = 8;
    uint32_t followTrail = 0;
    // Unset until the first stuck check stores the position.
    uint32_t stuckPosSet = 0;
    Vector3 stuckPos = {0.0f, 0.0f, 0.0f};
    float stuckTime = 0.0f;
    uint32_t hasJumpMotion = 0;
    std::vector<Vector3> goToPoints;
    uint32_t goToMotion = kAIMotionWalk;
    std::vector<int32_t> markerIds;
    int32_t markerIndex = -1;
    int32_t markerStep = -1;
    int32_t exploreExitId = -1;
    std::vector<DrawGroupMemory> memory;
    int32_t currentMemory = -1;
    // The attack weights taken at "Precalculate", one per attack.
    std::vector<uint32_t> attackPool;
    float halfSecondAcc = 0.0f;
    float sinceSightLost = 0.0f;
    float sinceSightRegained = 0.0f;
    float replanTimer = 0.0f;
    float scaredAcc = 0.0f;
    float retargetTimer = 0.0f;
    uint32_t targetVisible = 0;
};

class AIPlayerActor : public Actor, public AIPlayerFields {
  public:
    AIPlayerActor();
    ~AIPlayerActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    // The think, once a frame.
    void Process() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // Changes the state with the old state's leave actions and the new
    // one's enter actions; nothing when it is the current state.
    void SetState(int32_t newState);
    void SetMotion(uint32_t motion) { wantedMotion = motion; }
    void ApplyMotion(uint32_t motion);
    void SteerTo(const Vector3 &point, float factor);
    void SteerToActor(Actor *actor, float factor);

    // ai_player_fight.cpp: following, fighting, perception, memory.
    void FollowTick();
    void FightTick();
    void StartTrail(Actor *leader, float interval);
    void StopTrail();
    float StuckTime(float radius);
    uint32_t PlanLevel(Actor *targetActor);
    void ChooseAttackMotion();
    void EvaluateHit();
    void HitReaction(Actor *victim, float mul);
    void Perceive(Actor *other, bool hearing, bool vision);
    uint32_t LineOfSight(Actor *other);
    void EnterDrawGroup(int32_t group);
    void ExitDrawGroup(int32_t group);
    void SearchAndGoTo(const std::string &name);

    // What the ids name now; null when nothing (of the class) is there.
    Actor *Character() const;
    Actor *Target() const { return targetLink.target; }
    Actor *TrailLeader() const;
    Actor *ExploreExit() const;
    std::vector<Actor *> Markers() const;

    ActorLink targetLink{this};

  private:
    // This frame's delta of the own time record.
    float delta_ = 0.0f;

    // ai_player_actor.cpp: commands, binding, copy.
    bool ServeProperty(uint32_t commandId, ParamBlock block);
    bool ServeLists(uint32_t commandId, ParamBlock block);
    void Bind();
    void CopyFields(AIPlayerActor &source);
    void GoToPoint(const Vector3 &point, uint32_t motion);
    void Obstacle();

    // ai_player_think.cpp: the think, states and spy reactions.
    void Raise(uint32_t eventId) { HandleCommand(eventId, ParamBlock()); }
    void Take(Actor *actor);
    void ReleaseTarget();
    void LeaveState(int32_t old, int32_t now);
    void EnterState(int32_t now);
    void CountNotDrawn();
    void SampleTrail();
    void RunState();
    void IdleTick();
    void DeadTick();
    void GoToTick();
    void SpyNotice(ParamBlock block);
    void CollisionNotice(ParamBlock block);
    void ActionNotice(ParamBlock block);
    void HurtNotice();
    void MotionSetNotice(ParamBlock block);
    void FightStep(float dt);
    float AttackDistance() const;
};

