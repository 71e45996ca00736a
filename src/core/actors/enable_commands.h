// Start and Stop for actors whose only answer to them is their Enabled bit.
#pragma once

#include <cstdint>

class Actor;

// "Start" and "Action Start" set the actor's Enabled bit, "Stop" and "Action
// Stop Post" clear it: true. False, with nothing done, for any other command.
bool ServeEnableCommands(Actor &actor, uint32_t commandId);
