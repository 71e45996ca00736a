// The Developer 2 actor (class 23), a test actor: it remembers, for two
// frames, the owner of an object that touches it while its parent looks that
// way, and "Send Ai Player2 Voice Command" passes a voice command to that
// actor's "AI".
#pragma once

#include <cstdint>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class Developer2Actor : public Actor {
  public:
    Developer2Actor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override {
        return SerializeWithEightSpareWords(*this, archive, mode);
    }
    void Update() override;

    ActorLink lookedAt{this};
    uint32_t frameCounter = 0;

  private:
    void Touched(const ColObj *other);
    void SendVoiceCommand(uint32_t value);
};
