// Null actors: harmless actors handed out wherever a command needs an actor
// and none is given. They live outside the actor table (id -1), have class
// id 39, which no class uses, answer 1 to every command and change nothing.
// Two exist for the whole run, "NULLACTOR(safe)" and "NULLACTOR".
#pragma once

#include <cstdint>

#include "core/actors/actor.h"

class NullActor : public Actor {
  public:
    explicit NullActor(const char *actorName);

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    void Process() override {}
    void Update() override {}
    void Slot5() override {}
};

// The "(safe)" instance when safe is set, else the plain one.
NullActor *GetNullActor(bool safe);
// The first instance, which the actor system renames "NULLACTOR(safe)".
NullActor *FirstNullActor();
// Tests only: both instances get their first names back.
void ResetNullActorsForTests();
