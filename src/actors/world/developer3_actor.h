// The Developer 3 actor (class 24), a test actor that only keeps itself
// subscribed to "Process".
#pragma once

#include <cstdint>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class Developer3Actor : public Actor {
  public:
    Developer3Actor() { classId = kDeveloper3ClassId; }

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override {
        return SerializeWithEightSpareWords(*this, archive, mode);
    }
};
