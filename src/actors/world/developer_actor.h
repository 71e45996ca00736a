// The Developer actor (class 22), a test actor: a master Character that
// touches it gets a copy of the actor named "Dart" thrown at it, at most
// once per cooldown.
#pragma once

#include <cstdint>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// Served by number: {u32 target actor id}.
inline constexpr float kDartSpeed = 400.0f;

class DeveloperActor : public Actor {
  public:
    DeveloperActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override {
        return SerializeWithFourSpareWords(*this, archive, mode);
    }
    void Process() override;

    ActorLink dart{this};
    float cooldown = 0.0f;

  private:
    void Touched(const ColObj *other, ParamBlock block);
    void Throw(uint32_t targetId, ParamBlock block);
};
