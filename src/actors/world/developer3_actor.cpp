#include "actors/world/developer3_actor.h"

#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"

namespace {

constexpr uint32_t kProcessFlags = 0x100;
constexpr uint32_t kProcessLayer = 2;

} // namespace

void Developer3Actor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kDeveloper3ClassId);
    descriptor.lineage = {0, kDeveloper3ClassId};
    descriptor.items.clear();
}

int Developer3Actor::HandleCommand(uint32_t commandId, ParamBlock block) {
    if (commandId == cmd::base::Precalculate && processEntry == nullptr) {
        processEntry = ::ScheduleCommand(this, cmd::base::Process, ParamBlock(), kProcessFlags,
                                         0.0f, 0.0f,
                                         0.0f, nullptr, kProcessLayer);
    }
    return Actor::HandleCommand(commandId, block);
}
