// The UVAnimation actor (class 41): no fields of its own; the action
// commands switch its collision on and off, re-entering its draw group
// around each switch.
#pragma once

#include <cstdint>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class UVAnimationActor : public Actor {
  public:
    UVAnimationActor() { classId = kUVAnimationClassId; }

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    // The base record only, so that the actor and its children survive a
    // save.
    int Serialize(Archive &archive, uint32_t mode) override;

  private:
    void SwitchCollision(bool on);
};
