// The world-structure actors (draw groups, collision, File and FileIO
// actors, Time Instances...) as the engine core sees them: their class
// factory rows and the hooks they fill.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "actors/world/file_io_actor.h"
#include "core/actors/class_factory.h"
#include "core/actors/subsystem_hooks.h"

// The rows of the class factory for this subsystem's classes.
std::span<const ActorClassRow> WorldClassRows();

// The hooks this subsystem fills in the engine core.
WorldHooks WorldSubsystemHooks();
