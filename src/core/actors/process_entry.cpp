#include "core/actors/process_entry.h"

#include <cstdint>

#include "core/actors/actor.h"
#include "core/actors/scheduled_command.h"

namespace {

constexpr uint32_t kProcessFlags = uint32_t{kScheduleEveryPass} << kScheduleKindShift;
constexpr uint32_t kProcessLayer = 2;

} // namespace

void EnsureProcessEntry(Actor &actor) {
    if (actor.processEntry == nullptr) {
        actor.processEntry =
            ::ScheduleCommand(&actor, cmd::base::Process, ParamBlock(), kProcessFlags, 0.0f, 0.0f,
                              0.0f, nullptr, kProcessLayer);
    }
}
