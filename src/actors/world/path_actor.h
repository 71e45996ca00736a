// The Path actor (class 27): moves its moving object, a child that is not a
// Path Node, from node to node down its tree of Path Node children at a
// fixed speed, drawing each next node by weight; at a leaf the leaf's end
// type decides how the route goes on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

inline constexpr uint32_t kPathPresetCircular = 0;
inline constexpr uint32_t kPathPresetTree = 2;

class PathActor : public Actor {
  public:
    PathActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // Picks toNode from fromNode and starts the segment between them.
    virtual void NextNode();

    // The actors below are held by id and looked up at each use (-1 none).
    int32_t movingObject = -1;
    int32_t fromNode = -1;
    int32_t toNode = -1;
    Vector3 segmentStart = {0.0f, 0.0f, 0.0f};
    Vector3 segmentEnd = {0.0f, 0.0f, 0.0f};
    float segmentDuration = 0.0f;
    float speed = 100.0f;
    float rootTime = 0.0f;
    uint32_t useNodeTimePause = 0;
    float pauseLeft = 0.0f;
    uint32_t forward = 1;
    uint32_t predefined = 0;
    // Seconds into the current segment; not saved.
    float segmentClock = 0.0f;

    // The node (or this Path) an id stands for, or null when it is gone.
    Actor *NodeById(int32_t id) const;
    // The moving object when it is still a child of this Path.
    Actor *Mover() const;

  private:
    Actor *StepForward(Actor *node);
    Actor *StepBackward(Actor *node);
    void Restart();
    void Preset(uint32_t value);
};
