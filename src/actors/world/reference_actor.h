// The Reference actor (class 37): a passive placeholder in the actor tree
// that names another actor by id and by path. It keeps the two values in
// actor files and takes part in nothing else: it hangs in the tree below its
// parent and goes with its file and its parent like any actor, but every
// other command is accepted and ignored, so it stays in no draw group and
// bound to no global slot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class ReferenceActor : public Actor {
  public:
    ReferenceActor() { classId = kReferenceClassId; }

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    uint32_t referencedId = 0;
    std::string referencePath;
};
