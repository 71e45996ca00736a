// The Guard actor (class 25): the brain of a guard. On "Precalculate" it
// copies a template character into the scene and from then on drives that
// character through its commands: it walks it along the tree of Path Nodes
// below the guard, listens and looks through the character's sensor objects,
// hunts, strikes, fights, dies and respawns, and raises "On Guard Start ..."
// and "On Guard Stop ..." for scripts. Everything it learns about its
// character comes from the spy notifications of the character.
//
// The actors it keeps across frames are links (the character, the target
// and the trail's target) or ids checked at each use (the path nodes), so
// nothing dangles when they go away.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "actors/characters/record_lists.h"
#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// Guard types.
inline constexpr uint32_t kGuardBox = 0;
inline constexpr uint32_t kGuardPath = 1;
inline constexpr uint32_t kGuardFighter = 2;
inline constexpr uint32_t kGuardHunted = 3;

enum GuardState : uint32_t {
    kGuardSleep = 0,
    kGuardPatrol = 1,
    kGuardHunt = 2,
    kGuardReturnToPatrol = 3,
    kGuardHit = 4,
    kGuardPauseInHunt = 5,
    kGuardFight = 6,
    kGuardHuntedState = 7,
    kGuardIdle = 8,
    kGuardDead = 9,
    kGuardPauseInPatrol = 10,
};

// Dead types.
inline constexpr uint32_t kGuardDeadNone = 0;
inline constexpr uint32_t kGuardDeadDelete = 1;
inline constexpr uint32_t kGuardDeadSpawnOnRoot = 2;
inline constexpr uint32_t kGuardDeadSpawnRandom = 3;
inline constexpr uint32_t kGuardDeadSpawnOnPlace = 4;

// Hit effect types 0-14 are sent as 940 + type; the highest is "Unused".
inline constexpr uint32_t kGuardHitEffectTypeCount = 15;

// A guard's configuration (saved): what a "Create" copies from a source
// guard.
struct GuardConfiguration {
    int32_t characterTemplateId = -1;
    uint32_t guardType = kGuardBox;
    // The GuardState (the base's `state` holds the actor's state bits).
    uint32_t guardState = kGuardPatrol;
    float turnDistance = 40.0f;
    uint32_t useNodeTime = 0;
    float pathnodeTime = 0.0f;
    float hitDistance = 60.0f;
    float jumpInterval = 3.0f;
    float fightDistance = 500.0f;
    uint32_t deadType = kGuardDeadNone;
    float deadDelay = 0.0f;
    uint32_t gethitId = 0;
    uint32_t damageId = 0;
    float hitHoldTime = 0.0f;
    std::vector<AttackParam> attackParams;
    std::vector<HitEffect> hitEffects;
    int32_t attackIndex = -1;
    int32_t effectIndex = -1;
};

class GuardActor : public Actor, public GuardConfiguration {
  public:
    GuardActor();
    ~GuardActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Process() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // Own slots: the per-state work of a frame, the step to the next path
    // node, and the search for a node to walk back to (1 when one is in
    // clear view; it becomes the current node).
    virtual void StateTick(float dt);
    virtual void NextPathNode();
    virtual int FindRestartNode();

    // Changes the state: the old state's stop event, the new state's entry
    // actions and its start event. The same state again does nothing.
    void SetState(uint32_t newState);

    // Run-time relations, all with the guard as origin.
    ActorLink character{this};
    ActorLink target{this};
    ActorLink trailTarget{this};
    // Path nodes by actor id (-1 none): the guard itself or a Path Node
    // below it, checked at each use.
    int32_t currentNode = -1;
    int32_t previousNode = -1;

    // Run-time state.
    uint32_t hasPath = 0;
    uint32_t walkForward = 1;
    int32_t previousState = -1;
    float stateTime = 0.0f;
    float catchTimer = 0.0f;
    float pauseTime = 0.0f;
    float sinceStrike = 0.0f;
    float sightTimer = 0.0f;
    float unseenTime = 0.0f;
    float jumpTimer = 0.0f;
    float faceYaw = 0.0f;
    int32_t motionId = -1;
    float farTime = 0.0f;
    float evalTimer = 1.0e38f;
    uint32_t comboPattern = 0xFFFFFFFFu;
    uint32_t fightReady = 1;
    float startHealth = 0.0f;
    // The attack weights taken at "Precalculate", one per entry.
    std::vector<uint32_t> attackPool;
    std::deque<Vector3> huntTrail;
    float trailTimer = 0.0f;
    float trailInterval = 0.0f;
    uint32_t trailMax = 0;
    uint32_t followTrail = 0;
    std::vector<Vector3> returnTrail;
    float returnTimer = 0.0f;

    // A landed hit: the victim's hit movements and hold time, then the hit
    // effects times mul.
    void ApplyHit(Actor *victim, float mul);

  private:
    // guard_actor.cpp: commands and records.
    void SetGuardType(uint32_t type);
    void AddAreaBoxes();
    void CopyConfiguration(const GuardActor &source);
    bool ServeProperty(uint32_t commandId, ParamBlock block);
    bool ServeLists(uint32_t commandId, ParamBlock block);
    void Networkhunt(uint32_t actorId);
    AttackParam *SelectedAttack();
    HitEffect *SelectedEffect();

    // guard_brain.cpp: binding, states and the walk.
    int Bind();
    void EnterState(uint32_t newState, uint32_t oldState);
    void SetMotion(int32_t id);
    void FaceActor(Actor *actor, float turnSpeed);
    void FacePoint(const Vector3 &point, float turnSpeed);
    void TickHunt(float dt);
    void TickReturnToPatrol(float dt);
    void RunJumpClock(float dt);
    Actor *Node(int32_t id);
    Actor *NodeOrRestart(int32_t &id);
    Actor *StepForward(Actor *node);
    Actor *StepBack(Actor *node);
    void Respawn(const Vector3 &at, const Quaternion &rotation);

    // guard_senses.cpp: spies, trail, catch, fighting and death.
    int SpyNotice(ParamBlock block);
    void CollisionNotice(ParamBlock block);
    void HealthChanged();
    void MotionSet(ParamBlock block);
    bool CanSee(Actor *actor);
    bool IsPathClear(Actor *actor);
    void StartTrail(Actor *actor, float interval);
    void StopTrail();
    void SampleTrail(float dt);
    void DeathAndCatch(float dt);
    void Catch();
    void EvaluateAttack();
    void TickFight();
    void FightStep(float d);
    int32_t DrawAttack();
    void TickDead();
    float CharacterHoldTime();
    bool AttackIndexValid() const;
};
