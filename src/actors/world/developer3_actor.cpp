#include "actors/world/developer3_actor.h"

#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/process_entry.h"

void Developer3Actor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kDeveloper3ClassId);
    descriptor.lineage = {0, kDeveloper3ClassId};
    descriptor.items.clear();
}

int Developer3Actor::HandleCommand(uint32_t commandId, ParamBlock block) {
    if (commandId == cmd::base::Precalculate) {
        EnsureProcessEntry(*this);
    }
    return Actor::HandleCommand(commandId, block);
}
