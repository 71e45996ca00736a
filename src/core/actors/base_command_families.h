// Internal to the base command handler: the families of base commands that
// live in their own files, and helpers they share.
#pragma once

#include <cstdint>

#include "core/actors/actor.h"
#include "core/actors/param_block.h"

// Each answers true when it served the command.
bool HandleActionCommand(Actor &actor, uint32_t commandId, ParamBlock block);
bool HandleCollisionCommand(Actor &actor, uint32_t commandId, ParamBlock block);

// Runs an embedded command on target; nothing for a null target and for
// "Recursive Command", whose block can only come from memory of its sender.
int ExecuteCommand(Actor *target, uint32_t commandId, ParamBlock block);

// The actor's world position (brought up to date).
Vector3 WorldPositionOf(Actor &actor);
