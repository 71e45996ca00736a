// Placeholder services of the user interface, saving and game front end
// (the Inventory game actor, the UI classes, Save Game), as far as the
// engine core needs them until those classes are built. Each class's own
// code replaces its part.
#pragma once

#include <span>

#include "core/actors/class_factory.h"

// The rows of the class factory for this subsystem's classes.
std::span<const ActorClassRow> FrontEndClassRows();
