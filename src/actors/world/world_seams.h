// Placeholder services of the world-structure actors (draw groups, collision,
// File and FileIO actors, Time Instances), as far as the engine core needs
// them until those classes are built. Each class's own code replaces its
// part.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "actors/world/file_io_actor.h"
#include "core/actors/class_factory.h"
#include "core/actors/placeholder_actor.h"
#include "core/actors/subsystem_hooks.h"

// The rows of the class factory for this subsystem's classes.
std::span<const ActorClassRow> WorldClassRows();

// The hooks this subsystem fills in the engine core.
WorldHooks WorldSubsystemHooks();
