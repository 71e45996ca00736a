// The State actor (class 53): a plain node of level logic, with scripts and
// children and no behaviour of its own.
#pragma once

#include <cstdint>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class StateActor : public Actor {
  public:
    StateActor() { classId = kStateClassId; }

    static void RegisterClass();

    int Serialize(Archive &archive, uint32_t mode) override {
        return SerializeWithFourSpareWords(*this, archive, mode);
    }
};
