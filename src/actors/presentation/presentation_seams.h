// Placeholder services of the presentation actors (camera, environment,
// meshes, sounds...), as far as the engine core needs them until those
// classes are built. Each class's own code replaces its part.
#pragma once

#include <span>

#include "actors/presentation/camera_actor.h"
#include "core/actors/class_factory.h"
#include "core/actors/placeholder_actor.h"
#include "core/actors/subsystem_hooks.h"

// The rows of the class factory for this subsystem's classes.
std::span<const ActorClassRow> PresentationClassRows();

// The hooks this subsystem fills in the engine core.
PresentationHooks PresentationSubsystemHooks();
