// The Class Manager (class 8, "Class"): an actor that only carries the
// editor's class pages. It has no state beyond the base actor, and its file
// record has two reserved words after the base record.
#pragma once

#include <cstdint>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class ClassManagerActor : public Actor {
  public:
    ClassManagerActor() { classId = kClassManagerClassId; }

    static void RegisterClass();

    // "Create" answers 1 at once: a template is never copied.
    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
};
