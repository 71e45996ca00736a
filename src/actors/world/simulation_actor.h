// The Simulation actor (class 43): a ready-made physical object. "Create"
// gives it a dynamic collision sphere, its page edits its simulation record,
// "Action Start" lets the collision pass move it and "Action Stop Post" or
// "Kill Post" stops it. It notes, at most once per interval, when other
// objects start and stop touching it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class SimulationActor : public Actor {
  public:
    SimulationActor() : toucher(this) { classId = kSimulationClassId; }

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Process() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    uint32_t touchedNow = 0;
    uint32_t touchedBefore = 0;
    float interval = 0.0f; // least time between two noted touches (seconds)
    float second = 0.0f;   // stored with the interval, read by nothing
    float lastNotedTime = 0.0f;
    ActorLink toucher; // owner of the last object that touched this one

  private:
    void NoteTouchTime();
    // Out of the draw group, collision switched, back in.
    void SwitchCollision(bool on);
};
