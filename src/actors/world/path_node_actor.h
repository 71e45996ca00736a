// The Path Node actor (class 26): one stop on a Path's route. A node's Path
// Node children are the stops that may follow it, drawn by their weights;
// a node without weighted children ends the route by its end type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

inline constexpr uint32_t kPathEndReverse = 0;
inline constexpr uint32_t kPathEndLoop = 1;
inline constexpr uint32_t kPathEndJumpBackToRoot = 2;

class PathNodeActor : public Actor {
  public:
    PathNodeActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    float nodeTime = 0.0f;
    uint32_t randWeight = 1;
    uint32_t endType = kPathEndReverse;
    // Set with a Loop end type: the id of the nearest ancestor that is not
    // a Path Node (-1 none). Not saved.
    int32_t loopTarget = -1;

  private:
    void SetEndType(uint32_t value);
    void NearestNode(ParamBlock block);
};
