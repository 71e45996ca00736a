#include "core/actors/enable_commands.h"

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

bool ServeEnableCommands(Actor &actor, uint32_t commandId) {
    switch (commandId) {
    case cmd::base::Start:
    case cmd::base::ActionStart:
        actor.state |= kActorEnabled;
        return true;
    case cmd::base::Stop:
    case cmd::base::ActionStopPost:
        actor.state &= ~kActorEnabled;
        return true;
    default:
        return false;
    }
}
