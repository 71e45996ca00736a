// The Animation actor (class 40, "Animation"): plays a library motion on its
// own children. Each key track of the motion drives the child of the same
// name (its rotation, position and scale at the animation's time); the
// actor keeps its own clock with six play styles and raises "On Animation
// Loop", "On Animation End" and "On Animation Reverse" at the ends. It can
// make its children from the track names ("AutoCreate").
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class MotionItem;

// One bound child and the index of its track in the motion. The track
// itself is looked up on every pose: the motion's tracks go when the motion
// is released and come back, elsewhere, when it loads again.
struct AnimationTarget {
    ActorLink link;
    uint32_t trackIndex = 0;
};

class AnimationTargetList {
  public:
    virtual ~AnimationTargetList() = default;
    // Drops its own nodes, then appends a copy of each of the other's (the
    // copies registered with the same children, origin `origin`).
    virtual void Assign(const AnimationTargetList &other, Actor *origin);

    void Append(Actor *origin, Actor *child, uint32_t trackIndex);
    // Removes the node holding that link; false when none does.
    bool Remove(const ActorLink *link);
    void Clear() { nodes.clear(); }

    std::list<AnimationTarget> nodes; // stable addresses: the children hold the links
};

class AnimationActor : public Actor {
  public:
    AnimationActor();
    ~AnimationActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    AnimationTargetList targets;
    std::string motionName;
    MotionItem *motion = nullptr;
    float totalTime = 0.0f;
    float currentTime = 0.0f;
    float speedFactor = 1.0f;
    uint32_t style = 3;
    uint32_t direction = 0;
    float speed = 1.0f;
    uint32_t animFlags = 0; // bit 0 resources loaded, bit 1 play on start game

  private:
    void Bind();
    void ApplyPose();
    int AutoCreate();
    void Reset();
    void SetTime(float value);
    void Raise(uint32_t event);
    void Create(ParamBlock block);
};
