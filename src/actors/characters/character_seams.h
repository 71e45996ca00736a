// Placeholder services of the characters, AI and items, as far as the engine
// core needs them until those classes are built. Each class's own code
// replaces its part. The hit-effect multiplier and the debug text flag they
// share with the core are declared in core/actors/subsystem_hooks.h.
#pragma once

#include <cstdint>
#include <span>

#include "core/actors/class_factory.h"
#include "core/actors/subsystem_hooks.h"

// The rows of the class factory for this subsystem's classes.
std::span<const ActorClassRow> CharacterClassRows();
