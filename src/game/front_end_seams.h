// The user interface, saving and game front end (the Inventory game actor,
// the UI classes, Save Game) as the engine core sees them: their class
// factory rows.
#pragma once

#include <span>

#include "core/actors/class_factory.h"

// The rows of the class factory for this subsystem's classes.
std::span<const ActorClassRow> FrontEndClassRows();
