// The presentation actors (camera, environment, meshes, sounds...) as the
// engine core sees them: their class factory rows and the hooks they fill.
#pragma once

#include <span>

#include "actors/presentation/camera_actor.h"
#include "core/actors/class_factory.h"
#include "core/actors/subsystem_hooks.h"

// The rows of the class factory for this subsystem's classes.
std::span<const ActorClassRow> PresentationClassRows();

// The hooks this subsystem fills in the engine core.
PresentationHooks PresentationSubsystemHooks();
