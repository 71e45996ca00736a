// The State actor (class 53): a plain node of level logic, with scripts and
// children and no behaviour of its own.
#pragma once

#include <cstdint>

#include "core/actors/actor.h"

inline constexpr uint32_t kStateClassId = 53;

class StateActor : public Actor {
  public:
    StateActor() { classId = kStateClassId; }

    static void RegisterClass();

    int Serialize(Archive &archive, uint32_t mode) override {
        return SerializeWithFourSpareWords(*this, archive, mode);
    }
};
