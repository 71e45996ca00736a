// The AI Helper actor (class 32): an invisible marker that scenes place for
// the AI brains (a stair's bottom, plane or top, a door node, a plain node
// or a shelter). It does nothing by itself; the brains find the markers of
// a draw group by class and read their type, position, radius and box.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

enum AIHelperType : uint32_t {
    kAIHelperStairBottom = 0,
    kAIHelperStairPlane = 1,
    kAIHelperStairTop = 2,
    kAIHelperDoorNode = 3,
    kAIHelperNode = 4,
    kAIHelperShelter = 5,
};

class AIHelperActor : public Actor {
  public:
    AIHelperActor() { classId = kAIHelperClassId; }

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    uint32_t type = kAIHelperShelter;
    // For a shelter, half of it is taken off the height of the point the AI
    // runs to.
    float radius = 0.0f;
    Vector3 box = {100.0f, 100.0f, 100.0f};
};
